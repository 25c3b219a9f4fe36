#pragma once
// A fresh set of global objects per test: private configuration and runtime
// directories, a fake serial control, a fake clock and a recorded message box.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "Common.h"
#include "FakeClock.h"
#include "FakeSerialControl.h"

class AppFixture : public ::testing::Test {
 protected:
  AppFixture();
  ~AppFixture() override;

  std::string profilePath() const;
  void writeProfile(const std::string& text) const;
  std::string readProfile() const;
  // One tick of the utility after the clock moved on by ms.
  void tick(int32_t ms = 50);

  QTemporaryDir configDir;
  QTemporaryDir runtimeDir;
  FakeClock clock;
  FakeSerialControl* serial = nullptr;  // the control of the current frmCom
  std::vector<std::string> messages;

 private:
  Common::MsgBoxHandler previousBox_;
};
