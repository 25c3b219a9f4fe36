#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <string>
#include <utility>
#include <vector>

#include "DetailBoxRecorder.h"
#include "FakeClock.h"
#include "Globals.h"
#include "GlobalsFixture.h"
#include "ProfileFile.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"
#include "TestFiles.h"
#include "WithoutCapabilities.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

const std::string kCannotAccess1 =
    "Cannot access COM 1.\r\n\r\nCheck the following:\r\n- The COM port settings.\r\n"
    "- Cloning cable connections.\r\n- Transceiver power is ON.";

// The utility on the device control; the box records text and details.
class PortTroubleDetailsTest : public GlobalsFixture {
 protected:
  PortTroubleDetailsTest() : GlobalsFixture([] { return std::make_unique<QtSerialControl>(); }) {
    EXPECT_TRUE(start::Main());
    Globals::com().timSolid().stop();
  }
  ~PortTroubleDetailsTest() override { start::ReleaseInstanceLock(); }

  void cloneReadFrom(const std::string& path) {
    const std::string profile = Globals::com().profMain().GetMyProfile();
    ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM1", path));
    Globals::seq().easyCloneRead();
    for (int i = 0; i < 15; ++i) {
      clock.advance(50);
      Globals::com().timSolid_Timer();
    }
  }

  FakeClock clock;
  QTemporaryDir dir;
  DetailBoxRecorder box;
  std::vector<std::pair<std::string, std::string>>& shown = box.shown;
};

TEST_F(PortTroubleDetailsTest, TheMessageKeepsItsTextAndItsDetailsSayWhy) {
  putFile(dir.path() + "/locked", "");
  const std::string locked = (dir.path() + "/locked").toStdString();
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  const WithoutCapabilities lowered({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
  ASSERT_TRUE(lowered.ok());
  putFile(dir.path() + "/plain", "not a port\n");
  ASSERT_EQ(::mkfifo((dir.path() + "/pipe").toUtf8().constData(), 0600), 0);
  PseudoTerminal pty;  // named as a bare name, which the port opens below /dev
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0), 0);
  const struct {
    std::string name, path;
    const char* says;
  } cases[] = {{"", (dir.path() + "/ttyUSB9").toStdString(), "This device does not exist"},
               {"", locked, "Permission denied"},
               {pty.slavePath().substr(5), pty.slavePath(), "Permission denied"},
               {"", dir.path().toStdString(), "This is a directory, not a serial device."},
               {"", (dir.path() + "/plain").toStdString(), "(an ordinary file)"},
               {"", (dir.path() + "/pipe").toStdString(), "(not a terminal)"},
               {"", "/dev/null", "(not a terminal)"},
               {"", "/dev/ptmx", "(a pseudo-terminal master)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    shown.clear();
    cloneReadFrom(c.name.empty() ? c.path : c.name);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(shown[0].first, kCannotAccess1);
    EXPECT_NE(shown[0].second.find("Device tried: " + c.path + "\n"), std::string::npos) << shown[0].second;
    EXPECT_NE(shown[0].second.find(c.says), std::string::npos) << shown[0].second;
    EXPECT_FALSE(Globals::seq().OpRunning());
    EXPECT_FALSE(Globals::com().comOpen());
  }
  EXPECT_EQ(fileBytes(dir.path() + "/plain"), "not a port\n");
}

TEST_F(PortTroubleDetailsTest, OtherMessagesComeWithoutDetails) {
  Common::SetMsgBoxDetailHandler(nullptr);
  Globals::mainWindow().MsgBoxCloneErr(Globals::seq());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Communication failed.", 0), 0u) << messages[0];
}

}  // namespace
