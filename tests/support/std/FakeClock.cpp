#include "FakeClock.h"

#include "clsCmcTick.h"

FakeClock::FakeClock(int32_t start) : now_(start) {
  clsCmcTick::setClockSource([this] { return now_; });
}

FakeClock::~FakeClock() { clsCmcTick::setClockSource({}); }
