#include <gtest/gtest.h>

#include "Globals.h"
#include "SimAppFixture.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "frmCom.h"
#include "frmMain.h"

namespace {

using CloneReadTest = SimAppFixture;

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
