#pragma once
// The global objects with a fake serial control; the test runs the ticks.
#include <string>

#include "FakeClock.h"
#include "FakeSerialControl.h"
#include "GlobalsFixture.h"

class AppFixture : public GlobalsFixture {
 protected:
  AppFixture();

  std::string profilePath() const;
  void writeProfile(const std::string& text) const;
  std::string readProfile() const;
  // One tick of the utility after the clock moved on by ms.
  void tick(int32_t ms = 50);

  FakeClock clock;
  FakeSerialControl* serial = nullptr;  // the control of the current frmCom
};
