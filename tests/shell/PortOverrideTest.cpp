#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "AppFixture.h"
#include "Globals.h"
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

TEST_F(PortOverrideTest, ACommandLineDeviceStandsForCom1OnlyAndLeavesTheProfileAlone) {
  const std::string profile = "[PORTS]\r\nCOM1=/dev/ttyS0\r\nCOM2=/dev/ttyACM0\r\n";
  writeProfile(profile);
  ASSERT_TRUE(start::Main("/dev/serial/by-id/usb-cable-if00-port0"));
  SerialControl& control = Globals::com().MsCom();
  ASSERT_TRUE(control.DeviceFor);
  EXPECT_EQ(control.DeviceFor(1), "/dev/serial/by-id/usb-cable-if00-port0");
  EXPECT_EQ(control.DeviceFor(2), "/dev/ttyACM0");
  EXPECT_EQ(control.DeviceFor(3), "/dev/ttyUSB2");
  // Connecting opens that device.
  Globals::com().setcomOpen(true);
  EXPECT_EQ(serial->DeviceFor(serial->CommPort()), "/dev/serial/by-id/usb-cable-if00-port0");
  Globals::com().setcomOpen(false);
  EXPECT_EQ(readProfile().substr(0, profile.size()), profile);
}

TEST_F(PortOverrideTest, WithoutADeviceTheProfileDecides) {
  writeProfile("[PORTS]\r\nCOM1=/dev/ttyS0\r\n");
  ASSERT_TRUE(start::Main());
  EXPECT_EQ(Globals::com().MsCom().DeviceFor(1), "/dev/ttyS0");
}

}  // namespace
