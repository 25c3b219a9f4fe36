#include "GlobalsFixture.h"

#include "Globals.h"
#include "start.h"

GlobalsFixture::GlobalsFixture(SerialMaker makeSerial) {
  qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
  qputenv("XDG_DATA_HOME", dataDir.path().toUtf8());
  Globals::tearDown();
  Globals::setSerialFactory(std::move(makeSerial));
  previousBox_ = Common::SetMsgBoxHandler([this](const std::string& text) {
    messages.push_back(text);
    return Common::ButtonOk;
  });
}

GlobalsFixture::~GlobalsFixture() {
  Globals::tearDown();
  Globals::setSerialFactory({});
  start::ReleaseInstanceLock();
  Common::SetMsgBoxHandler(previousBox_);
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_RUNTIME_DIR");
  qunsetenv("XDG_DATA_HOME");
}
