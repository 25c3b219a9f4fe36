#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "AppFixture.h"
#include "DetailBoxRecorder.h"
#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "frmMain.h"

namespace {

class PortVanishedTest : public AppFixture {
 protected:
  DetailBoxRecorder box;
  std::vector<std::pair<std::string, std::string>>& shown = box.shown;
};

TEST_F(PortVanishedTest, ACablePulledMidSessionIsReportedWithTheMissingDevice) {
  const std::string gone = configDir.path().toStdString() + "/ttyUSB4";
  writeProfile("[PORTS]\nCOM1=" + gone + "\n");
  Globals::mainWindow();
  Globals::com().setcomOpen(true);
  ASSERT_TRUE(Globals::com().comOpen());
  serial->vanish();
  EXPECT_TRUE(Globals::com().errCannotOpen());
  tick();
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].first.rfind("Cannot access COM 1.\r\n", 0), 0u);
  EXPECT_NE(shown[0].second.find("Device tried: " + gone + "\n"), std::string::npos) << shown[0].second;
  EXPECT_NE(shown[0].second.find("This device does not exist"), std::string::npos) << shown[0].second;
  tick();
  EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
