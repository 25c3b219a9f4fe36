#include <gtest/gtest.h>

#include "Globals.h"
#include "SimAppFixture.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "frmCom.h"
#include "frmMain.h"

namespace {

using CloneReadTest = SimAppFixture;

TEST_F(CloneReadTest, AWholeCloneReadThroughTheTickReproducesTheImage) {
  Globals::seq().easyCloneRead();
  ASSERT_TRUE(runOperation());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Globals::seq().Operation(), 0);
  EXPECT_EQ(Globals::seq().error(), 0);
  EXPECT_EQ(Globals::radio().eepImage().bytes(), rig.memory());
  EXPECT_TRUE(Globals::com().comOpen());
  tick();
  EXPECT_EQ(Globals::mainWindow().lblComBusy().text().toStdString(), "COM 1: OPEN");
}

TEST_F(CloneReadTest, PacedAt9600BaudTheReadTakesItsWireTime) {
  TransceiverSettings s;
  s.baud = 9600;
  rig.setSettings(s);
  const int32_t start = clock.now();
  Globals::seq().easyCloneRead();
  ASSERT_TRUE(runOperation());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Globals::radio().eepImage().bytes(), rig.memory());
  const int32_t took = clock.now() - start;
  EXPECT_GT(took, 90000);  // about 92 kB at 960 bytes a second
  EXPECT_LT(took, 110000);
}

TEST_F(CloneReadTest, AFloodOverflowsTheReceiveBufferAndIsReportedOnce) {
  TransceiverSettings s;
  s.floodBytes = 40000;
  rig.setSettings(s);
  Globals::seq().easyCloneRead();
  runOperation();
  ticksFor(500);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("COM buffer overflow.", 0), 0u);
  EXPECT_FALSE(Globals::com().comOpen());
  EXPECT_FALSE(Globals::seq().OpRunning());
}

TEST_F(CloneReadTest, AnUnpluggedCableIsReportedAsAPortThatCannotBeReached) {
  TransceiverSettings s;
  s.baud = 9600;
  rig.setSettings(s);
  Globals::seq().easyCloneRead();
  ticksFor(3000);
  serial->Unplug();
  ticksFor(500);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Cannot access COM 1.", 0), 0u);
  EXPECT_FALSE(Globals::seq().OpRunning());
  EXPECT_FALSE(Globals::com().comOpen());
}

TEST_F(CloneReadTest, ADriverErrorClosesThePortAndShowsOneMessage) {
  TransceiverSettings s;
  s.wrongE5Count = true;
  rig.setSettings(s);
  Globals::seq().easyCloneRead();
  ASSERT_TRUE(runOperation());
  ticksFor(200);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Data counter error.", 0), 0u);
  EXPECT_FALSE(Globals::com().comOpen());
}

TEST_F(CloneReadTest, TheSubCodeMismatchMessageIsTwoLines) {
  TransceiverSettings s;
  s.subCode = 0x0101;
  rig.setSettings(s);
  Globals::seq().easyCloneRead();
  ASSERT_TRUE(runOperation());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Version number does not match\r\nfor this transceiver.");
}

TEST_F(CloneReadTest, ThePortIsReleasedAfterTheChosenTime) {
  Globals::mainWindow().mnuOptionSelAutoRelease(3).trigger();
  Globals::seq().easyCloneRead();
  ASSERT_TRUE(runOperation());
  ASSERT_TRUE(Globals::com().comOpen());
  ticksFor(2900);
  EXPECT_TRUE(Globals::com().comOpen());
  ticksFor(200);
  EXPECT_FALSE(Globals::com().comOpen());
  EXPECT_TRUE(messages.empty());
}

}  // namespace
