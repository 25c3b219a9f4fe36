#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>

#include "AppFixture.h"
#include "Globals.h"
#include "SingleInstanceLock.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

using StartTest = AppFixture;

TEST_F(StartTest, StartsWithDefaultsWhenThereIsNoProfile) {
  ASSERT_TRUE(start::Main());
  EXPECT_TRUE(messages.empty());
  frmMain& w = Globals::mainWindow();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle().toStdString(), "Ravlen ADJ Rev.1.0");
  EXPECT_TRUE(w.lblTitle().text().startsWith("Ravlen ADJ Rev.1.0\r\nAdjust Utility for Selvik\r\n"));
  EXPECT_TRUE(Globals::com().timSolid().isActive());
  EXPECT_EQ(Globals::radio().radioNameM(), "2928");
  EXPECT_EQ(Globals::radio().radionameS(), "0100");
  EXPECT_EQ(Globals::radio().cloneWriteAdrList(), "0000-7D6F,");
  tick();
  EXPECT_TRUE(w.mnuOptSelCom(1).isChecked());
  for (int16_t n = 2; n <= 4; ++n) EXPECT_FALSE(w.mnuOptSelCom(n).isChecked());
  EXPECT_TRUE(w.mnuOptionSelAutoRelease(0).isChecked());
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 1: CLOSE");
}

TEST_F(StartTest, ASecondCopyIsRefusedWithItsMessageAndCreatesNothing) {
  SingleInstanceLock firstCopy(SingleInstanceLock::DefaultPath());
  ASSERT_EQ(firstCopy.TryAcquire(), SingleInstanceLock::Result::Acquired);
  EXPECT_FALSE(start::Main());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Cannot execute Ravlen ADJ Rev.1.0 repeatedly.\r\nRavlen ADJ Rev.1.0 is already executing.");
  EXPECT_FALSE(Globals::anyExists());
  EXPECT_TRUE(firstCopy.Held());
}

TEST_F(StartTest, ALockLeftBehindByACrashedCopyDoesNotBlock) {
  {
    SingleInstanceLock crashed(SingleInstanceLock::DefaultPath());
    ASSERT_EQ(crashed.TryAcquire(), SingleInstanceLock::Result::Acquired);
  }  // its file stays, its lock goes with it
  EXPECT_TRUE(start::Main());
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartTest, AnUnusableLockPlaceDoesNotStopTheUtility) {
  qputenv("XDG_RUNTIME_DIR", "/nonexistent/ravlen-runtime");
  EXPECT_TRUE(start::Main());
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartTest, TheProfileSetsPortAndReleaseTime) {
  writeProfile("[OPTION]\r\nComPort=3\r\nComAutoRelease=2\r\n");
  ASSERT_TRUE(start::Main());
  frmMain& w = Globals::mainWindow();
  EXPECT_EQ(w.ComPortNo(), 3);
  EXPECT_EQ(w.ComAutoRelease(), 2);
  EXPECT_EQ(Globals::seq().ComPortNo(), 3);
  EXPECT_EQ(Globals::seq().comHoldReload(), 2000);
  tick();
  EXPECT_TRUE(w.mnuOptSelCom(3).isChecked());
  EXPECT_TRUE(w.mnuOptionSelAutoRelease(2).isChecked());
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 3: CLOSE");
}

TEST_F(StartTest, APortOutsideTheMenuChecksNoEntry) {
  writeProfile("[OPTION]\nComPort=7\n");
  ASSERT_TRUE(start::Main());
  tick();
  frmMain& w = Globals::mainWindow();
  for (int16_t n = 1; n <= 4; ++n) EXPECT_FALSE(w.mnuOptSelCom(n).isChecked());
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 7: CLOSE");
}

TEST_F(StartTest, EmptyAndBrokenValuesFollowTheLoadingRule) {
  writeProfile("[OPTION]\nComPort=\nComAutoRelease=\n");
  ASSERT_TRUE(start::Main());
  EXPECT_EQ(Globals::mainWindow().ComPortNo(), 0);
  EXPECT_EQ(Globals::mainWindow().ComAutoRelease(), 0);
  Globals::tearDown();
  start::ReleaseInstanceLock();

  writeProfile("[OPTION]\nComPort=2\nComAutoRelease=x\n");
  ASSERT_TRUE(start::Main());
  EXPECT_EQ(Globals::mainWindow().ComPortNo(), 2);
  EXPECT_EQ(Globals::mainWindow().ComAutoRelease(), 2);
}

TEST_F(StartTest, AReleaseTimeBeyondThirtyTwoSecondsIsClamped) {
  writeProfile("[OPTION]\nComAutoRelease=40\n");
  ASSERT_TRUE(start::Main());
  EXPECT_EQ(Globals::mainWindow().ComAutoRelease(), 32);
  EXPECT_EQ(Globals::seq().comHoldReload(), 32000);
  tick();
  for (int16_t n = 0; n <= 5; ++n) EXPECT_FALSE(Globals::mainWindow().mnuOptionSelAutoRelease(n).isChecked());
}

TEST_F(StartTest, ClosingTheWindowClosesThePortAndSavesTheSettings) {
  ASSERT_TRUE(start::Main());
  frmMain& w = Globals::mainWindow();
  w.mnuOptSelCom(4).trigger();
  w.mnuOptionSelAutoRelease(5).trigger();
  Globals::com().setcomOpen(true);
  ASSERT_TRUE(Globals::com().comOpen());
  w.mnuFileExit().trigger();
  EXPECT_FALSE(Globals::com().comOpen());
  EXPECT_FALSE(Globals::com().timSolid().isActive());
  EXPECT_FALSE(w.isVisible());
  const std::string saved = readProfile();
  EXPECT_NE(saved.find("[OPTION]"), std::string::npos);
  EXPECT_NE(saved.find("ComPort=4"), std::string::npos);
  EXPECT_NE(saved.find("ComAutoRelease=5"), std::string::npos);
}

TEST_F(StartTest, AllGlobalsCanBeTornDownAndCreatedAfresh) {
  ASSERT_TRUE(start::Main());
  Globals::radio().setradionameS("0055");
  Globals::mainWindow().setComPortNo(4);
  Globals::tearDown();
  EXPECT_FALSE(Globals::anyExists());
  start::ReleaseInstanceLock();
  ASSERT_TRUE(start::Main());
  EXPECT_TRUE(Globals::comExists());
  EXPECT_EQ(Globals::radio().radionameS(), "0100");
  EXPECT_EQ(Globals::mainWindow().ComPortNo(), 1);
}

}  // namespace
