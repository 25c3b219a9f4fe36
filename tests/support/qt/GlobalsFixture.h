#pragma once
// A fresh set of global objects per test: private configuration and runtime
// directories, a serial control of the test's choosing (the device control when
// none) and a recorded message box. Everything is torn down again afterwards.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common.h"
#include "Globals.h"
#include "SerialControl.h"
#include "start.h"

class GlobalsFixture : public ::testing::Test {
 protected:
  using SerialMaker = std::function<std::unique_ptr<SerialControl>()>;

  explicit GlobalsFixture(SerialMaker makeSerial) {
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
  ~GlobalsFixture() override {
    Globals::tearDown();
    Globals::setSerialFactory({});
    start::ReleaseInstanceLock();
    Common::SetMsgBoxHandler(previousBox_);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME"}) qunsetenv(name);
  }

  QTemporaryDir configDir;
  QTemporaryDir runtimeDir;
  QTemporaryDir dataDir;
  std::vector<std::string> messages;

 private:
  Common::MsgBoxHandler previousBox_;
};
