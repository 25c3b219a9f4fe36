#include <gtest/gtest.h>

#include <QAction>

#include "AppFixture.h"
#include "Globals.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

const std::string kChecksPCW =
    "\r\n\r\nCheck the following:\r\n- The COM port settings.\r\n- Cloning cable connections.\r\n"
    "- Transceiver power is ON.";

TEST(CloneErrorText, PortFlagsComeFirst) {
  EXPECT_EQ(frmMain::CloneErrorText(true, true, 1, 3, 2), "Cannot access COM 1." + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(false, true, 1, 3, 2), "COM buffer overflow." + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(true, false, 10, 0, 0), "Cannot access COM 10." + kChecksPCW);
}

TEST(CloneErrorText, DriverCodesBeforeSequencerCodes) {
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 1, 2), "Cannot access COM port" + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 2, 0), "No answer from transceiver." + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 3, 0), "Illegal data." + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 4, 0), "Data counter error." + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 5, 0), "Data overflow." + kChecksPCW);
  const std::string cannotWrite =
      "Cannot write cloning data.\r\n\r\nCheck the following:\r\n- Cloning cable connections.\r\n"
      "- Transceiver power is ON.";
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 6, 0), cannotWrite);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 7, 0), cannotWrite);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 8, 0),
            "Cannot Clone.\r\n\r\nCheck the following:\r\n\r\n- The COM port settings.\r\n"
            "- Cloning cable connections.\r\n- Transceiver power is ON.");
}

TEST(CloneErrorText, SequencerCodes) {
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 0, 0),
            "Communication failed.\r\n\r\nCheck the following:\r\n- Cloning cable connections.\r\n"
            "- Transceiver power is ON.");
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 0, 2), "Version number does not match\r\nfor this transceiver.");
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 0, 3),
            "Connected transceiver is not compatible model.\r\n\r\nCheck the following:\r\n"
            "- Appropriate cloning software for the transceiver is being used.\r\n"
            "- The revision number of the transceiver.");
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 0, 1), "Cannot Clone." + kChecksPCW);
  EXPECT_EQ(frmMain::CloneErrorText(false, false, 1, 0, 4), "Cannot Clone." + kChecksPCW);
}

TEST(SignedNumberText, LeadingBlankForTheSign) {
  EXPECT_EQ(frmMain::SignedNumberText(1), " 1");
  EXPECT_EQ(frmMain::SignedNumberText(0), " 0");
  EXPECT_EQ(frmMain::SignedNumberText(-3), "-3");
}

class MainWindowTest : public AppFixture {
 protected:
  MainWindowTest() { EXPECT_TRUE(start::Main()); }
};

TEST_F(MainWindowTest, TheLabelFollowsThePortState) {
  Globals::com().setcomOpen(true);
  tick();
  frmMain& w = Globals::mainWindow();
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 1: OPEN");
  const QColor openColour = w.lblComBusy().palette().color(QPalette::WindowText);
  EXPECT_EQ(openColour, w.palette().color(QPalette::Active, QPalette::ButtonText));
  Globals::com().setcomOpen(false);
  tick();
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 1: CLOSE");
  EXPECT_EQ(w.lblComBusy().palette().color(QPalette::WindowText),
            w.palette().color(QPalette::Disabled, QPalette::WindowText));
}

TEST_F(MainWindowTest, MenuChoicesReachThePortAndTheReleaseTime) {
  frmMain& w = Globals::mainWindow();
  w.mnuOptionSelAutoRelease(2).trigger();
  EXPECT_EQ(w.ComAutoRelease(), 2);
  EXPECT_EQ(Globals::seq().comHoldReload(), 2000);
  w.mnuOptSelCom(2).trigger();
  EXPECT_EQ(Globals::seq().ComPortNo(), 2);
  tick();
  EXPECT_TRUE(w.mnuOptionSelAutoRelease(2).isChecked());
  EXPECT_FALSE(w.mnuOptionSelAutoRelease(0).isChecked());
  EXPECT_TRUE(w.mnuOptSelCom(2).isChecked());
  EXPECT_FALSE(w.mnuOptSelCom(1).isChecked());
}

TEST_F(MainWindowTest, ALinkErrorIsReportedOnceAndThePortEndsClosed) {
  frmCom& com = Globals::com();
  com.setcomOpen(true);
  com.lnk3D().setnowError(2);
  tick();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "No answer from transceiver." + kChecksPCW);
  EXPECT_FALSE(com.comOpen());
  tick();
  tick();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(Globals::mainWindow().lblComBusy().text().toStdString(), "COM 1: CLOSE");
}

TEST_F(MainWindowTest, APortThatCannotOpenIsReportedOnceWithItsNumber) {
  Globals::mainWindow().setComPortNo(3);
  serial->failOpen = true;
  Globals::seq().easyCloneRead();
  tick();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], "Cannot access COM 3." + kChecksPCW);
  const size_t reported = messages.size();
  for (int i = 0; i < 5; ++i) tick();
  EXPECT_EQ(messages.size(), reported);
  EXPECT_FALSE(Globals::seq().OpRunning());
}

TEST_F(MainWindowTest, NoSecondMessageWhileTheFirstIsOpen) {
  Common::SetMsgBoxHandler([this](const std::string& text) {
    messages.push_back(text);
    // The modal box's own event loop delivers timer ticks meanwhile.
    Globals::com().timSolid_Timer();
    Globals::com().timSolid_Timer();
    return Common::ButtonOk;
  });
  frmCom& com = Globals::com();
  com.setcomOpen(true);
  com.lnk3D().setnowError(1);
  tick();
  EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
