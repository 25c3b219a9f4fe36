#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cerrno>
#include <string>

#include "FakeClock.h"
#include "Globals.h"
#include "GlobalsFixture.h"
#include "ProfileFile.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"
#include "WithoutCapabilities.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

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

// The whole utility on the device control; the test runs the ticks.
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

  // A clone read from the current port; the messages it ended in.
  std::vector<std::string> cloneRead() {
    messages.clear();
    Globals::seq().easyCloneRead();
    for (int i = 0; i < 10 && Globals::seq().OpRunning(); ++i) tick();
    for (int i = 0; i < 5; ++i) tick();
    return messages;
  }

  void tick() {
    clock.advance(50);
    Globals::com().timSolid_Timer();
  }

  static std::string cannotAccess(int16_t portNo) { return "Cannot access COM " + std::to_string(portNo) + "."; }

  FakeClock clock;
  QTemporaryDir dir;
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
  const std::vector<std::string> shown = cloneRead();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind(cannotAccess(2), 0), 0u) << shown[0];
  EXPECT_FALSE(Globals::com().comOpen());

  // A pseudo-terminal keeps the flag past the last close of its slave side.
  ASSERT_EQ(::ioctl(holder, TIOCNXCL), 0);
  ::close(holder);
  Globals::com().setcomPortNum(2);
  Globals::com().setcomOpen(true);
  EXPECT_TRUE(Globals::com().comOpen());
  EXPECT_FALSE(Globals::com().errCannotOpen());
}

}  // namespace
