#include "SimAppFixture.h"

#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "start.h"

SimAppFixture::SimAppFixture()
    : GlobalsFixture([this] {
        auto control = std::make_unique<LoopbackSerialControl>(rig, [this] { return clock.now(); });
        serial = control.get();
        return control;
      }) {
  EXPECT_TRUE(start::Main());
  Globals::com().timSolid().stop();  // the test runs the ticks
}

// The port form goes before the transceiver its control talks to.
SimAppFixture::~SimAppFixture() { Globals::tearDown(); }

void SimAppFixture::tick() {
  clock.advance(50);
  serial->Poll();
  Globals::com().timSolid_Timer();
}

void SimAppFixture::ticksFor(int32_t ms) {
  for (int32_t t = 0; t < ms; t += 50) tick();
}

bool SimAppFixture::runOperation(int32_t limitMs) {
  for (int32_t t = 0; t < limitMs && Globals::seq().OpRunning(); t += 50) tick();
  return !Globals::seq().OpRunning();
}
