#pragma once
// A millisecond clock that tests set and advance; installed as the tick source
// while the object lives.
#include <cstdint>

#include "clsCmcTick.h"

class FakeClock {
 public:
  explicit FakeClock(int32_t start = 1000) : now_(start) {
    clsCmcTick::setClockSource([this] { return now_; });
  }
  ~FakeClock() { clsCmcTick::setClockSource({}); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  int32_t now() const { return now_; }
  void set(int32_t ms) { now_ = ms; }
  // Wraps from 2^31 - 1 to -2^31 like the platform tick count.
  void advance(int32_t ms) {
    now_ = static_cast<int32_t>(static_cast<uint32_t>(now_) + static_cast<uint32_t>(ms));
  }

 private:
  int32_t now_;
};
