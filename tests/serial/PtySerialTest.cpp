#include <gtest/gtest.h>

#include <QTest>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "ComHost.h"
#include "Frames.h"
#include "ProfileFile.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"
#include "frmCom.h"

namespace {

class CountingHost : public ComHost {
 public:
  void task() override { ++tasks; }
  void ReportError() override { ++reports; }
  void saveData(clsCmcProfileIO&) override {}
  void loadData(clsCmcProfileIO&) override {}
  int tasks = 0;
  int reports = 0;
};

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000) {
  return QTest::qWaitFor(condition, timeoutMs);
}

class PtySerialTest : public ::testing::Test {
 protected:
  PtySerialTest() {
    qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
    com = std::make_unique<frmCom>(std::make_unique<QtSerialControl>(), &host);
    profile = com->profMain().GetMyProfile();
  }
  ~PtySerialTest() override {
    com.reset();
    qunsetenv("XDG_CONFIG_HOME");
  }

  QTemporaryDir configDir;
  CountingHost host;
  std::unique_ptr<frmCom> com;
  std::string profile;
};

TEST_F(PtySerialTest, OpensWritesAndReceivesThroughTheReceiveEvent) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM1", pty.slavePath()));

  com->setcomOpen(true);
  ASSERT_TRUE(com->comOpen());
  EXPECT_FALSE(com->errCannotOpen());  // no DTR/RTS on a pseudo-terminal is no failure
  EXPECT_EQ(com->MsCom().Settings(), "9600,N,8,1");

  clsCmcLnk3Drv& drv = com->lnk3D();
  drv.setworkMode(1);
  ASSERT_EQ(drv.Send(Common::HexStrToBin("E029280000")), 0);
  const Bytes sent{0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD};
  // The write is flushed by the event loop.
  Bytes got;
  ASSERT_TRUE(waitFor([&] {
    const Bytes part = pty.read(sent.size() - got.size(), 10);
    got.insert(got.end(), part.begin(), part.end());
    return got.size() >= sent.size();
  }));
  EXPECT_EQ(got, sent);

  pty.write(Frames::concat({sent, Frames::frame(Frames::identificationBody())}));
  ASSERT_TRUE(waitFor([&] { return !drv.Running(); }));
  EXPECT_GT(host.tasks, 0);
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.ansInfo().size(), 69u);
}

TEST_F(PtySerialTest, AMissingDeviceSetsCannotOpen) {
  ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM2", "/nonexistent/ttyRavlen"));
  com->setcomPortNum(2);
  com->setcomOpen(true);
  EXPECT_FALSE(com->comOpen());
  EXPECT_TRUE(com->errCannotOpen());
  EXPECT_TRUE(com->totalError());
}

TEST_F(PtySerialTest, ADeviceThatGoesAwayClosesThePort) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM1", pty.slavePath()));
  com->setcomOpen(true);
  ASSERT_TRUE(com->comOpen());
  pty.closeMaster();
  ASSERT_TRUE(waitFor([&] { return !com->comOpen(); }));
  EXPECT_TRUE(com->errCannotOpen());
}

}  // namespace
