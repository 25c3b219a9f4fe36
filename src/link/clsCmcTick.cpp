#include "clsCmcTick.h"

#include <chrono>
#include <utility>

namespace {

int32_t monotonicMilliseconds() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<int32_t>(static_cast<uint32_t>(ms.count()));  // wraps like a tick count
}

clsCmcTick::ClockSource& clockSource() {
  static clsCmcTick::ClockSource source = monotonicMilliseconds;
  return source;
}

constexpr int64_t kTwo30 = int64_t{1} << 30;
constexpr int64_t kTwo31 = int64_t{1} << 31;

// Floor division by two (an arithmetic shift rounds towards minus infinity).
int64_t halfFloor(int64_t v) { return v >> 1; }

}  // namespace

void clsCmcTick::setClockSource(ClockSource source) {
  clockSource() = source ? std::move(source) : ClockSource(monotonicMilliseconds);
}

int32_t clsCmcTick::now() { return clockSource()(); }

void clsCmcTick::setcounter(int32_t ct) {
  startTick_ = now();
  duration_ = ct;
  active_ = true;
}

int32_t clsCmcTick::counter() {
  if (!active_) return 0;
  const int64_t nowTick = now();
  const int64_t start = startTick_;
  int64_t elapsed = 0;
  if (start <= nowTick) {
    if (halfFloor(nowTick) - halfFloor(start) < kTwo30) {
      elapsed = nowTick - start;
    } else {
      active_ = false;
    }
  } else if (nowTick <= -kTwo30 && start >= kTwo30) {
    elapsed = (nowTick + kTwo31) + ((kTwo31 - 1) - start);
  } else {
    active_ = false;
  }
  if (!active_) return 0;
  if (duration_ > elapsed) return static_cast<int32_t>(duration_ - elapsed);
  active_ = false;
  return 0;
}
