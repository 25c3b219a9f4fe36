#pragma once
// The whole utility, started, against the virtual transceiver through the
// loopback control on the fake clock; the test runs the ticks.
#include "FakeClock.h"
#include "GlobalsFixture.h"
#include "LoopbackSerialControl.h"
#include "VirtualTransceiver.h"

class SimAppFixture : public GlobalsFixture {
 protected:
  SimAppFixture();
  ~SimAppFixture() override;

  // One 50 ms timer tick; the receive event may run the tick before it.
  void tick();
  void ticksFor(int32_t ms);
  // Ticks until the sequencer is idle; false if it still runs after limitMs.
  bool runOperation(int32_t limitMs = 600000);

  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl* serial = nullptr;
};
