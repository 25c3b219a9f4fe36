#pragma once
// The global objects with a fake serial control; the test runs the ticks.
#include <string>

#include "FakeClock.h"
#include "FakeSerialControl.h"
#include "GlobalsFixture.h"
#include "TestFiles.h"
#include "frmCom.h"

class AppFixture : public GlobalsFixture {
 protected:
  AppFixture()
      : GlobalsFixture([this] {
          auto control = std::make_unique<FakeSerialControl>();
          serial = control.get();
          return control;
        }) {}

  std::string profilePath() const { return configDir.path().toStdString() + "/ravlen-adj/TB4410K.rs"; }
  void writeProfile(const std::string& text) const {
    putFile(QString::fromStdString(profilePath()), QByteArray::fromStdString(text));
  }
  std::string readProfile() const { return fileBytes(QString::fromStdString(profilePath())).toStdString(); }
  // One tick of the utility after the clock moved on by ms.
  void tick(int32_t ms = 50) {
    clock.advance(ms);
    Globals::com().timSolid_Timer();
  }

  FakeClock clock;
  FakeSerialControl* serial = nullptr;  // the control of the current frmCom
};
