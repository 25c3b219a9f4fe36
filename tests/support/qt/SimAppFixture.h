#pragma once
// The whole utility, started, against the virtual transceiver through the
// loopback control on the fake clock; the test runs the ticks.
#include "FakeClock.h"
#include "GlobalsFixture.h"
#include "LoopbackSerialControl.h"
#include "VirtualTransceiver.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"

class SimAppFixture : public GlobalsFixture {
 protected:
  SimAppFixture()
      : GlobalsFixture([this] {
          auto control = std::make_unique<LoopbackSerialControl>(rig, [this] { return clock.now(); });
          serial = control.get();
          return control;
        }) {
    EXPECT_TRUE(start::Main());
    Globals::com().timSolid().stop();  // the test runs the ticks
  }
  // The port form goes before the transceiver its control talks to.
  ~SimAppFixture() override { Globals::tearDown(); }

  // One 50 ms timer tick; the receive event may run the tick before it.
  void tick() {
    clock.advance(50);
    serial->Poll();
    Globals::com().timSolid_Timer();
  }
  void ticksFor(int32_t ms) {
    for (int32_t t = 0; t < ms; t += 50) tick();
  }
  // Ticks until the sequencer is idle; false if it still runs after limitMs.
  bool runOperation(int32_t limitMs = 600000) {
    for (int32_t t = 0; t < limitMs && Globals::seq().OpRunning(); t += 50) tick();
    return !Globals::seq().OpRunning();
  }

  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl* serial = nullptr;
};
