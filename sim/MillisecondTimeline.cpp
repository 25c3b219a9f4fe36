#include "MillisecondTimeline.h"

#include <utility>

MillisecondTimeline::MillisecondTimeline(Clock clock)
    : clock_(std::move(clock)), lastTick_(clock_ ? clock_() : 0) {}

int64_t MillisecondTimeline::nowUs() {
  if (clock_) {
    const int32_t tick = clock_();
    const auto step =
        static_cast<int32_t>(static_cast<uint32_t>(tick) - static_cast<uint32_t>(lastTick_));
    if (step > 0) elapsedMs_ += step;
    lastTick_ = tick;
  }
  return elapsedMs_ * 1000;
}
