#include "SerialLine.h"

#include <algorithm>

namespace {

constexpr int64_t kBitsPerByte = 10;
constexpr int64_t kMicrosPerSecond = 1000000;

}  // namespace

void SerialLine::setBaud(int32_t baud) {
  const int64_t freeUs = toMicros(lineFreeScaled_);
  baud_ = std::max<int32_t>(baud, 0);
  lineFreeScaled_ = scaled(freeUs);
}

int64_t SerialLine::scaled(int64_t us) const { return baud_ > 0 ? us * baud_ : us; }

int64_t SerialLine::toMicros(int64_t scaledTime) const {
  if (baud_ <= 0) return scaledTime;
  return (scaledTime + baud_ - 1) / baud_;  // a byte is due once it is complete
}

// A byte ready by the microsecond in which the line became free follows the one
// before without a gap (due times are rounded up to whole microseconds).
int64_t SerialLine::startFor(int64_t readyUs) const {
  return readyUs <= toMicros(lineFreeScaled_) ? lineFreeScaled_ : scaled(readyUs);
}

// Returns the due time of one byte ready at readyUs and moves the line on.
int64_t SerialLine::claim(int64_t readyUs, bool burst) {
  const int64_t start = startFor(readyUs);
  const int64_t byteTime = (baud_ > 0 && !burst) ? kBitsPerByte * kMicrosPerSecond : 0;
  lineFreeScaled_ = start + byteTime;
  lastDueUs_ = std::max(lastDueUs_, toMicros(lineFreeScaled_));
  return lastDueUs_;
}

int64_t SerialLine::firstDueIfSent(int64_t readyUs) const {
  const int64_t start = startFor(readyUs);
  const int64_t byteTime = baud_ > 0 ? kBitsPerByte * kMicrosPerSecond : 0;
  return std::max(lastDueUs_, toMicros(start + byteTime));
}

SerialLine::Span SerialLine::send(const Bytes& bytes, int64_t readyUs, bool burst) {
  Span span{firstDueIfSent(readyUs), firstDueIfSent(readyUs)};
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int64_t due = claim(readyUs, burst);
    if (i == 0) span.firstDueUs = due;
    span.lastDueUs = due;
    queue_.push_back({due, bytes[i], burst});
  }
  return span;
}

SerialLine::Span SerialLine::occupy(size_t count, int64_t readyUs) {
  Span span{firstDueIfSent(readyUs), firstDueIfSent(readyUs)};
  for (size_t i = 0; i < count; ++i) {
    const int64_t due = claim(readyUs, false);
    if (i == 0) span.firstDueUs = due;
    span.lastDueUs = due;
  }
  return span;
}

size_t SerialLine::availableAt(int64_t nowUs) const {
  size_t n = 0;
  for (const TimedByte& b : queue_) {
    if (b.dueUs > nowUs) break;
    ++n;
  }
  return n;
}

Bytes SerialLine::take(int64_t nowUs, size_t room, size_t* lost) {
  Bytes out;
  while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
    if (out.size() < room) {
      out.push_back(queue_.front().value);
    } else if (queue_.front().burst) {
      if (lost) ++*lost;
    } else {
      break;
    }
    queue_.pop_front();
  }
  return out;
}

std::optional<int64_t> SerialLine::nextDueUs() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.front().dueUs;
}

void SerialLine::clear() {
  queue_.clear();
  lineFreeScaled_ = 0;
  lastDueUs_ = 0;
}
