#pragma once
// Turns a wrapping signed 32-bit millisecond tick count into a 64-bit microsecond
// timeline that starts at 0 and never runs backwards.
#include <cstdint>
#include <functional>

class MillisecondTimeline {
 public:
  using Clock = std::function<int32_t()>;

  explicit MillisecondTimeline(Clock clock);

  // Reads the clock; a step back is ignored, a wrap past 2^31 - 1 counts forward.
  int64_t nowUs();

 private:
  Clock clock_;
  int32_t lastTick_;
  int64_t elapsedMs_ = 0;
};
