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
#include "SerialControl.h"

class GlobalsFixture : public ::testing::Test {
 protected:
  using SerialMaker = std::function<std::unique_ptr<SerialControl>()>;

  explicit GlobalsFixture(SerialMaker makeSerial);
  ~GlobalsFixture() override;

  QTemporaryDir configDir;
  QTemporaryDir runtimeDir;
  QTemporaryDir dataDir;
  std::vector<std::string> messages;

 private:
  Common::MsgBoxHandler previousBox_;
};
