#pragma once
// One-shot millisecond countdown on the system's signed 32-bit tick count.
#include <cstdint>
#include <functional>

class clsCmcTick {
 public:
  using ClockSource = std::function<int32_t()>;

  // The clock every countdown reads; an empty source restores the monotonic clock.
  static void setClockSource(ClockSource source);
  static int32_t now();

  void setcounter(int32_t ct);
  // Milliseconds left; reading an expired countdown turns it off.
  int32_t counter();

 private:
  int32_t startTick_ = 0;
  int32_t duration_ = 0;
  bool active_ = false;
};
