#pragma once
// A transceiver driven on a clock the test moves by hand.
#include "Frames.h"
#include "VirtualTransceiver.h"

struct Bench {
  explicit Bench(const TransceiverSettings& settings = {}) : rig(settings) {}
  Bench(const TransceiverSettings& settings, Bytes image) : rig(settings, std::move(image)) {}

  // Writes at the current time, waits, returns everything that came back.
  Bytes exchange(const Bytes& bytes, int64_t waitUs = 10'000'000) {
    rig.fromPc(bytes, nowUs);
    nowUs += waitUs;
    return rig.toPc(nowUs);
  }
  // What came back after the echo; nothing if the echo is missing.
  std::optional<Bytes> ask(const Bytes& sent) { return Frames::afterEcho(exchange(sent), sent); }
  // Sends E8 03 code and returns the reading from its answer; -1 if none came.
  int read(uint8_t code) {
    const auto frames = Frames::bodies(ask(Frames::adjust(0x03, code)).value_or(Bytes{}));
    if (frames.size() != 1 || frames[0].size() != 10 || frames[0][2] != 0xE8) return -1;
    return Frames::digitsValue(frames[0], 9, 10);
  }
  void adjust(uint8_t command, uint8_t value) { exchange(Frames::adjust(command, value)); }

  VirtualTransceiver rig;
  int64_t nowUs = 0;
};
