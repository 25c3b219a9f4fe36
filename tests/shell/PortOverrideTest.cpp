#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "AppFixture.h"
#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "frmMain.h"
#include "frmCom.h"
#include "start.h"

namespace {

class PortOverrideTest : public AppFixture {
 protected:
  PortOverrideTest() { qputenv("XDG_CACHE_HOME", cacheDir.path().toUtf8()); }
  ~PortOverrideTest() override {
    start::ReleaseInstanceLock();
    qunsetenv("XDG_CACHE_HOME");
  }
  QTemporaryDir cacheDir;
};

// The device given stands for the port the profile chose; the other numbers keep
// their mapping.
TEST_F(PortOverrideTest, ACommandLineDeviceStandsForTheChosenPortOnlyAndLeavesTheProfileAlone) {
  const struct {
    std::string profile;
    int16_t chosen, other;
    const char* otherDevice;
  } cases[] = {
      {"[PORTS]\r\nCOM1=/dev/ttyS0\r\nCOM2=/dev/ttyACM0\r\n", 1, 2, "/dev/ttyACM0"},
      {"[PORTS]\r\nCOM1=/dev/ttyS0\r\n[OPTION]\r\nComPort=2\r\n", 2, 1, "/dev/ttyS0"},
      {"[OPTION]\r\nComPort=7\r\n", 7, 3, "/dev/ttyUSB2"},
  };
  const std::string cable = "/dev/serial/by-id/usb-cable-if00-port0";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    Globals::tearDown();
    start::ReleaseInstanceLock();
    writeProfile(c.profile);
    ASSERT_TRUE(start::Main(cable));
    SerialControl& control = Globals::com().MsCom();
    ASSERT_TRUE(control.DeviceFor);
    EXPECT_EQ(control.DeviceFor(c.chosen), cable);
    EXPECT_EQ(control.DeviceFor(c.other), c.otherDevice);
    // Connecting opens that device.
    Globals::seq().easyCloneRead();
    tick();
    ASSERT_TRUE(Globals::com().comOpen());
    EXPECT_EQ(Globals::com().comPortNum(), c.chosen);
    EXPECT_EQ(serial->DeviceFor(serial->CommPort()), cable);
    Globals::mainWindow().mnuFileExit().trigger();
    EXPECT_EQ(readProfile().substr(0, c.profile.size()), c.profile);
  }
}

TEST_F(PortOverrideTest, WithoutADeviceTheProfileDecides) {
  writeProfile("[PORTS]\r\nCOM1=/dev/ttyS0\r\n");
  ASSERT_TRUE(start::Main());
  EXPECT_EQ(Globals::com().MsCom().DeviceFor(1), "/dev/ttyS0");
}

}  // namespace
