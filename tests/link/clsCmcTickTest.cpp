#include <gtest/gtest.h>

#include <vector>

#include "FakeClock.h"
#include "clsCmcTick.h"

namespace {

// The clock starts at start, the countdown is set to duration; then each step moves
// the clock (by ms, or to ms when absolute) and reads the countdown.
TEST(Countdown, FollowsTheClockAcrossItsWrapAndNeverRevives) {
  struct Step {
    int32_t ms;
    int32_t expected;
    bool absolute = false;
  };
  const struct {
    const char* name;
    int32_t start, duration;
    std::vector<Step> steps;
  } cases[] = {
      {"counts down", 5000, 1000, {{0, 1000}, {400, 600}, {599, 1}, {1, 0}, {5000, 0, true}}},
      {"zero", 1000, 0, {{0, 0}}},
      {"negative", 1000, -50, {{0, 0}}},
      // One millisecond less than the true interval is counted across the wrap.
      {"across the wrap", INT32_MAX - 100, 1000, {{300, 1000 - 299}, {698, 3}, {3, 0}}},
      {"from the top", INT32_MAX, INT32_MAX, {{0, INT32_MAX}, {1, INT32_MAX}, {10, INT32_MAX - 10}}},
      {"over 2^31 later", -2000000000, INT32_MAX, {{1500000000, 0, true}}},
      {"back across zero", 1500000000, INT32_MAX, {{-10, 0, true}}},
      {"2^31 - 2 later", -1073741824, INT32_MAX, {{1073741822, 1, true}}},
  };
  for (const auto& c : cases) {
    FakeClock clock(c.start);
    clsCmcTick t;
    t.setcounter(c.duration);
    for (const Step& s : c.steps) {
      s.absolute ? clock.set(s.ms) : clock.advance(s.ms);
      EXPECT_EQ(t.counter(), s.expected) << c.name << " at " << clock.now();
    }
  }
}

}  // namespace
