#include "SimAppFixture.h"

#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "start.h"

SimAppFixture::SimAppFixture() {
  qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
  Globals::tearDown();
  Globals::setSerialFactory([this] {
    auto control = std::make_unique<LoopbackSerialControl>(rig, [this] { return clock.now(); });
    serial = control.get();
    return control;
  });
  previousBox_ = Common::SetMsgBoxHandler([this](const std::string& text) {
    messages.push_back(text);
    return Common::ButtonOk;
  });
  EXPECT_TRUE(start::Main());
  Globals::com().timSolid().stop();  // the test runs the ticks
}

SimAppFixture::~SimAppFixture() {
  Globals::tearDown();
  Globals::setSerialFactory({});
  start::ReleaseInstanceLock();
  Common::SetMsgBoxHandler(previousBox_);
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_RUNTIME_DIR");
}

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
