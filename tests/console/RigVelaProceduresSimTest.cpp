// The automatic procedures through the whole utility against the virtual
// transceiver (see ProcedureSimFixture for its physical model and image).
#include <gtest/gtest.h>

#include <vector>

#include "ProcedureSimFixture.h"

namespace {

using ProceduresSimTest = ProcedureSimFixture;

// A sweep keeps the task in its step until the stage is swept; the Enter then
// ends the tuning before its second stage.
TEST_F(ProceduresSimTest, EnterOnAnotherProceduresRowEndsTheRunningOne) {
  connect();
  enter(kBpfAllRow);
  ticksFor(2000);
  enter(kRxLvaRow);
  runToEnd();
  EXPECT_EQ(rig.memoryByte(84), 71);
  EXPECT_EQ(rig.memoryByte(85), 64);  // parked, never swept
  EXPECT_EQ(count(0x14), 1);  // its parking only
  EXPECT_EQ(rig.memoryByte(92), 150);
  EXPECT_EQ(beeps, 1);
  expectPausesAtRest();
  EXPECT_TRUE(messages.empty());
}

class ButtonSimTest : public ProceduresSimTest, public ::testing::WithParamInterface<int> {};

TEST_P(ButtonSimTest, AnyButtonEndsASweepAtOnce) {
  connect();
  enter(kBpfT1Row);
  ticksFor(3000);
  ASSERT_EQ(autoCode(), 15);
  Globals::mainWindow().cmd00(GetParam()).click();
  EXPECT_EQ(autoCode(), 0);
  const int swept = count(0x13);
  ticksFor(3000);
  // At most the point on its way and the value reached, sent as a change.
  EXPECT_LE(count(0x13), swept + 2);
  expectPausesAtRest();
  EXPECT_EQ(beeps, 0);
  EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Procedures, ButtonSimTest, ::testing::Values(0, 1, 2));

TEST_F(ProceduresSimTest, AMalformedReadingDuringASweepGivesOneMessageAndIdle) {
  connect();
  enter(kBpfT1Row);
  ticksFor(1000);
  TransceiverSettings s = rig.settings();
  s.corruptAnswerFrame = static_cast<int>(rig.framesSent()) + 10;
  rig.setSettings(s);
  for (int t = 0; t < 60000 && messages.empty(); t += 50) tick();
  const std::vector<E8> atMessage = frames;
  ticksFor(3000);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(model().opState(), 0);
  EXPECT_EQ(autoCode(), 0);
  EXPECT_EQ(atMessage.back(), (E8{0x03, 4}));  // nothing sent after the bad answer
  EXPECT_EQ(frames, atMessage);
  EXPECT_EQ(beeps, 0);
  expectPausesAtRest();
}

}  // namespace
