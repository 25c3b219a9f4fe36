#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "FakeClock.h"
#include "FakeSerialControl.h"
#include "Frames.h"
#include "LineSettings.h"
#include "ProfileFile.h"
#include "QtSerialControl.h"
#include "RecordingHost.h"
#include "clsCmcProfileIO.h"
#include "frmCom.h"

namespace {

class ComFormTest : public ::testing::Test {
 protected:
  ComFormTest() {
    qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
    auto control = std::make_unique<FakeSerialControl>();
    fake = control.get();
    com = std::make_unique<frmCom>(std::move(control), &host);
    host.com = com.get();
  }
  ~ComFormTest() override { qunsetenv("XDG_CONFIG_HOME"); }

  QTemporaryDir configDir;
  FakeClock clock;
  RecordingHost host;
  FakeSerialControl* fake = nullptr;
  std::unique_ptr<frmCom> com;
};

TEST_F(ComFormTest, HighSpeedRaisesBaudAndThreshold) {
  EXPECT_EQ(fake->RThreshold(), 1);
  com->HighSpeedBRatioSet();
  EXPECT_EQ(com->comBaud(), 38400);
  EXPECT_EQ(fake->RThreshold(), 1024);
}

TEST_F(ComFormTest, OpeningTwiceConfiguresOnceKeepsTheOutputAndResetsTheDriverEachTime) {
  com->setcomPortNum(3);
  com->setcomBaud(38400);
  com->setcomOpen(true);
  ASSERT_TRUE(com->comOpen());
  EXPECT_EQ(fake->openedWith, (std::vector<std::pair<int16_t, std::string>>{{3, "38400,N,8,1"}}));

  com->lnk3D().setworkMode(1);
  ASSERT_EQ(com->lnk3D().Send(Common::HexStrToBin("E029280000")), 0);
  ASSERT_TRUE(com->lnk3D().Running());
  com->setcomPortNum(4);
  const int clears = fake->clears;
  com->setcomOpen(true);
  EXPECT_TRUE(com->comOpen());
  EXPECT_EQ(fake->clears, clears) << "what waits to be sent stays";
  EXPECT_EQ(fake->openedWith.size(), 1u);
  EXPECT_EQ(fake->CommPort(), 3);  // not rewritten while open
  EXPECT_FALSE(com->lnk3D().Running());
  EXPECT_FALSE(com->errCannotOpen());
}

TEST_F(ComFormTest, AFailedOpeningSetsCannotOpenUntilReset) {
  fake->failOpen = true;
  com->setcomOpen(true);
  EXPECT_FALSE(com->comOpen());
  EXPECT_TRUE(com->errCannotOpen());
  EXPECT_TRUE(com->totalError());
  fake->failOpen = false;
  com->setcomOpen(false);
  EXPECT_TRUE(com->totalError());
  com->Reset();
  EXPECT_FALSE(com->totalError());

  fake->failClear = true;  // the device refusing to drop its output also counts
  com->setcomOpen(true);
  EXPECT_FALSE(com->comOpen());
  EXPECT_TRUE(com->errCannotOpen());
}

TEST_F(ComFormTest, PortNumbersOutsideOneToTenAreIgnored) {
  com->setcomPortNum(5);
  for (int16_t bad : {0, 11, -1}) com->setcomPortNum(bad);
  EXPECT_EQ(com->comPortNum(), 5);
  com->setcomPortNum(10);
  EXPECT_EQ(com->comPortNum(), 10);
}

// An overflow or a vanished device: flag set, port closed, one report.
TEST_F(ComFormTest, PortTroubleClosesAndIsReportedOnce) {
  for (const bool overflow : {true, false}) {
    com->Reset();
    host.reports = 0;
    fake->present = true;
    com->setcomOpen(true);
    if (overflow) fake->event(SerialControl::comEventRxOver);
    else fake->vanish();
    EXPECT_EQ(overflow ? com->errOverflow() : com->errCannotOpen(), true) << overflow;
    EXPECT_FALSE(com->comOpen()) << overflow;
    for (int i = 0; i < 5; ++i) com->timSolid_Timer();
    EXPECT_EQ(host.reports, 1) << overflow;
  }
}

TEST_F(ComFormTest, AnErrorStillPendingAfterTheReportClosesThePort) {
  host.resetOnReport = false;
  com->setcomOpen(true);
  com->lnk3D().setnowError(2);
  com->timSolid_Timer();
  EXPECT_EQ(host.reports, 1);
  EXPECT_FALSE(com->comOpen());
}

TEST_F(ComFormTest, TheTickIsNotReenteredWhileTheReportIsOpen) {
  com->setcomOpen(true);
  com->lnk3D().setnowError(1);
  host.reenter = [this] {
    com->timSolid_Timer();
    com->timSolid_Timer();
  };
  com->timSolid_Timer();
  EXPECT_EQ(host.reports, 1);
  EXPECT_EQ(host.tasks, 1);
}

TEST_F(ComFormTest, AReceiveEventWithNothingWaitingDoesNothing) {
  com->setcomOpen(true);
  fake->event(SerialControl::comEvReceive);
  EXPECT_EQ(host.tasks, 0);
}

TEST_F(ComFormTest, LineErrorsDropThePartialAnswerAndTheirOwnChunk) {
  com->setcomOpen(true);
  clsCmcLnk3Drv& drv = com->lnk3D();
  drv.setworkMode(1);
  drv.Send(Common::HexStrToBin("E029280000"));
  fake->receive(fake->tx.back());
  const Bytes answer = Frames::frame(Frames::identificationBody());
  for (int16_t e : {1001, 1004, 1006, 1009}) {
    fake->receive(Bytes(answer.begin(), answer.begin() + 20));
    fake->event(e);
    fake->receive(Bytes(answer.begin() + 20, answer.end()));
    EXPECT_TRUE(drv.Running()) << e;
    fake->receive(answer, true, e);  // the error came with the chunk that holds the answer
    EXPECT_TRUE(drv.Running()) << e;
  }
  EXPECT_EQ(com->errOverflow(), false);
  fake->receive(answer);
  EXPECT_FALSE(drv.Running());
}

TEST_F(ComFormTest, PortNumbersMapToDevicesThroughTheProfile) {
  EXPECT_EQ(com->DevicePath(1), "/dev/ttyUSB0");
  EXPECT_EQ(com->DevicePath(10), "/dev/ttyUSB9");
  ASSERT_TRUE(ProfileFile::WriteString(com->profMain().GetMyProfile(), "PORTS", "COM3", "/dev/ttyS4"));
  ASSERT_TRUE(ProfileFile::WriteString(com->profMain().GetMyProfile(), "ports", "com2", ""));
  EXPECT_EQ(com->DevicePath(3), "/dev/ttyS4");
  EXPECT_EQ(com->DevicePath(2), "/dev/ttyUSB1");
}

TEST(LineSettings, ParsesTheSettingsText) {
  struct Case { const char* text; int baud; char parity; int dataBits, stopTenths; };
  for (const Case& c : {Case{"9600,N,8,1", 9600, 'N', 8, 10}, Case{"38400,e,7,2", 38400, 'E', 7, 20}}) {
    const auto s = LineSettings::Parse(c.text);
    ASSERT_TRUE(s.has_value()) << c.text;
    EXPECT_EQ(std::make_tuple(s->baud, s->parity, s->dataBits, s->stopTenths),
              std::make_tuple(c.baud, c.parity, c.dataBits, c.stopTenths)) << c.text;
  }
  for (const char* bad : {"", "9600", "9600,N,8", "x,N,8,1", "9600,Q,8,1", "9600,N,9,1", "9600,N,8,3", "-1,N,8,1",
                          "9600,N,8,1,1"})
    EXPECT_FALSE(LineSettings::Parse(bad).has_value()) << bad;
}

TEST(LineErrorEvents, CounterChangesMapToTheirEvents) {
  QtSerialControl::LineCounts before;
  QtSerialControl::LineCounts after = before;
  EXPECT_TRUE(QtSerialControl::LineErrorEvents(before, after).empty());
  after.frame = 2;
  after.parity = 1;
  EXPECT_EQ(QtSerialControl::LineErrorEvents(before, after), (std::vector<int16_t>{1004, 1009}));
  after = before;
  after.bufOverrun = 1;
  after.brk = 1;
  EXPECT_EQ(QtSerialControl::LineErrorEvents(before, after), (std::vector<int16_t>{1001, 1006}));
}

}  // namespace
