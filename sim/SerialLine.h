#pragma once
// The one wire between the cable and the PC: bytes take turns on it, each for ten bit
// times at the set baud rate (or no time when unpaced), and wait in order until due.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "Common.h"

class SerialLine {
 public:
  struct Span {
    int64_t firstDueUs = 0;
    int64_t lastDueUs = 0;
  };

  // 0 = unpaced.
  void setBaud(int32_t baud);
  int32_t baud() const { return baud_; }

  // Puts the bytes on the line, the first no earlier than readyUs. A burst ignores the
  // pacing (it all arrives at once) but still waits for the line to be free.
  Span send(const Bytes& bytes, int64_t readyUs, bool burst = false);
  // Takes line time for count bytes that nobody receives.
  Span occupy(size_t count, int64_t readyUs);
  // When a byte put on the line at readyUs would be due.
  int64_t firstDueIfSent(int64_t readyUs) const;

  size_t availableAt(int64_t nowUs) const;
  // Takes the bytes due at nowUs, at most room of them. When room is used up, burst
  // bytes that are due are lost (counted in lost) while ordinary bytes keep waiting.
  Bytes take(int64_t nowUs, size_t room, size_t* lost);
  std::optional<int64_t> nextDueUs() const;
  size_t queued() const { return queue_.size(); }
  void clear();

 private:
  struct TimedByte {
    int64_t dueUs;
    uint8_t value;
    bool burst;
  };

  // Line time is kept in microseconds times the baud rate, so that it stays exact.
  int64_t scaled(int64_t us) const;
  int64_t toMicros(int64_t scaledTime) const;
  int64_t startFor(int64_t readyUs) const;
  int64_t claim(int64_t readyUs, bool burst);

  int32_t baud_ = 0;
  int64_t lineFreeScaled_ = 0;
  int64_t lastDueUs_ = 0;
  std::deque<TimedByte> queue_;
};
