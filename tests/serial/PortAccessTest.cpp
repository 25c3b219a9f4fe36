#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cerrno>
#include <string>

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

// Another program's attempt to open the device: 0 opened, else its errno. The
// super-user's CAP_SYS_ADMIN would open a device held exclusively anyway.
int openInAnotherProcess(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    const WithoutCapabilities lowered({CAP_SYS_ADMIN});
    if (!lowered.ok()) ::_exit(255);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::_exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The whole utility on the device control; the test runs the ticks and the box
// records text and details.
class PortAccessTest : public GlobalsFixture {
 protected:
  PortAccessTest() : GlobalsFixture([] { return std::make_unique<QtSerialControl>(); }) {
    EXPECT_TRUE(start::Main());
    Globals::com().timSolid().stop();
  }

  void setDevice(int16_t portNo, const std::string& path) {
    const std::string profile = Globals::com().profMain().GetMyProfile();
    ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM" + std::to_string(portNo), path));
    Globals::mainWindow().setComPortNo(portNo);
  }
  // A clone read from the current port, to its message.
  void cloneRead() {
    box.shown.clear();
    Globals::seq().easyCloneRead();
    for (int i = 0; i < 15; ++i) {
      clock.advance(50);
      Globals::com().timSolid_Timer();
    }
  }

  FakeClock clock;
  QTemporaryDir dir;
  DetailBoxRecorder box;
};

TEST_F(PortAccessTest, AnOpenDeviceIsRefusedToOtherProgramsUntilClosed) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  setDevice(1, pty.slavePath());
  ASSERT_EQ(openInAnotherProcess(pty.slavePath()), 0);
  Globals::com().setcomOpen(true);
  ASSERT_TRUE(Globals::com().comOpen());
  EXPECT_EQ(openInAnotherProcess(pty.slavePath()), EBUSY);
  Globals::com().setcomOpen(false);
  EXPECT_EQ(openInAnotherProcess(pty.slavePath()), 0);
}

TEST_F(PortAccessTest, ADeviceHeldByAnotherProgramIsReportedAndUsableOnceFree) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  setDevice(2, pty.slavePath());
  const int holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  const WithoutCapabilities lowered({CAP_SYS_ADMIN});
  ASSERT_TRUE(lowered.ok());
  cloneRead();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].first.rfind("Cannot access COM 2.", 0), 0u) << box.shown[0].first;
  EXPECT_FALSE(Globals::com().comOpen());

  // A pseudo-terminal keeps the flag past the last close of its slave side.
  ASSERT_EQ(::ioctl(holder, TIOCNXCL), 0);
  ::close(holder);
  Globals::com().setcomPortNum(2);
  Globals::com().setcomOpen(true);
  EXPECT_TRUE(Globals::com().comOpen());
  EXPECT_FALSE(Globals::com().errCannotOpen());
}

TEST_F(PortAccessTest, TheMessageKeepsItsTextAndItsDetailsSayWhy) {
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
    const char *says, *also;
  } cases[] = {{"", (dir.path() + "/ttyUSB9").toStdString(), "This device does not exist", ""},
               {"", locked, "Permission denied: the device belongs to user ", "(mode ---------)"},
               {pty.slavePath().substr(5), pty.slavePath(), "Permission denied", ""},
               {"", dir.path().toStdString(), "This is a directory, not a serial device.", ""},
               {"", (dir.path() + "/plain").toStdString(), "not a serial device (an ordinary file)", ""},
               {"", (dir.path() + "/pipe").toStdString(), "not a serial device (not a terminal)", ""},
               {"", "/dev/null", "not a serial device (not a terminal)", ""},
               {"", "/dev/ptmx", "not a serial device (a pseudo-terminal master)", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    setDevice(1, c.name.empty() ? c.path : c.name);
    cloneRead();
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(messages.empty());
    const auto& [text, details] = box.shown[0];
    EXPECT_EQ(text, kCannotAccess1);
    for (const std::string part : {"Device tried: " + c.path + "\n", std::string(c.says), std::string(c.also)})
      EXPECT_NE(details.find(part), std::string::npos) << part << "\n" << details;
    EXPECT_FALSE(Globals::seq().OpRunning());
    EXPECT_FALSE(Globals::com().comOpen());
  }
  EXPECT_EQ(fileBytes(dir.path() + "/plain"), "not a port\n");
}

TEST_F(PortAccessTest, OtherMessagesComeWithoutDetails) {
  Common::SetMsgBoxDetailHandler(nullptr);
  Globals::mainWindow().MsgBoxCloneErr(Globals::seq());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Communication failed.", 0), 0u) << messages[0];
}

}  // namespace
