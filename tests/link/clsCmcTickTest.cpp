#include <gtest/gtest.h>

#include "FakeClock.h"
#include "clsCmcTick.h"

namespace {

TEST(Countdown, NeverSetReadsZero) {
  FakeClock clock;
  clsCmcTick t;
  EXPECT_EQ(t.counter(), 0);
}

TEST(Countdown, CountsDownThenStaysOff) {
  FakeClock clock(5000);
  clsCmcTick t;
  t.setcounter(1000);
  EXPECT_EQ(t.counter(), 1000);
  clock.advance(400);
  EXPECT_EQ(t.counter(), 600);
  clock.advance(599);
  EXPECT_EQ(t.counter(), 1);
  clock.advance(1);
  EXPECT_EQ(t.counter(), 0);
  clock.set(5000);  // even a clock that went back does not revive it
  EXPECT_EQ(t.counter(), 0);
}

TEST(Countdown, ZeroOrNegativeDurationExpiresAtOnce) {
  FakeClock clock;
  clsCmcTick t;
  t.setcounter(0);
  EXPECT_EQ(t.counter(), 0);
  t.setcounter(-50);
  EXPECT_EQ(t.counter(), 0);
}

TEST(Countdown, KeepsCountingAcrossTheSignedWrap) {
  FakeClock clock(INT32_MAX - 100);
  clsCmcTick t;
  t.setcounter(1000);
  clock.advance(300);  // now past -2^31
  ASSERT_LT(clock.now(), 0);
  // One millisecond less than the true interval is counted across the wrap.
  EXPECT_EQ(t.counter(), 1000 - 299);
  clock.advance(698);
  EXPECT_EQ(t.counter(), 3);
  clock.advance(3);
  EXPECT_EQ(t.counter(), 0);
}

TEST(Countdown, StartingAtTheVeryTopOfTheRange) {
  FakeClock clock(INT32_MAX);
  clsCmcTick t;
  t.setcounter(INT32_MAX);
  EXPECT_EQ(t.counter(), INT32_MAX);
  clock.advance(1);
  EXPECT_EQ(t.counter(), INT32_MAX);  // the wrap itself counts nothing
  clock.advance(10);
  EXPECT_EQ(t.counter(), INT32_MAX - 10);
}

TEST(Countdown, HugeIntervalsReadAsExpired) {
  FakeClock clock(-2000000000);
  clsCmcTick t;
  t.setcounter(INT32_MAX);
  clock.set(1500000000);  // more than 2^31 ms later in the same direction
  EXPECT_EQ(t.counter(), 0);
  t.setcounter(INT32_MAX);
  clock.set(-10);  // back across zero, neither case: off
  EXPECT_EQ(t.counter(), 0);
}

TEST(Countdown, ElapsedJustBelowTheLimitStillCounts) {
  FakeClock clock(-1073741824);
  clsCmcTick t;
  t.setcounter(INT32_MAX);
  clock.set(1073741822);  // 2^31 - 2 ms later
  EXPECT_EQ(t.counter(), INT32_MAX - 2147483646);
}

}  // namespace
