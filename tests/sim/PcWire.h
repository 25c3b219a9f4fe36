#pragma once
// The PC's side of the cable for tests: frames as the utility writes them, and a
// plain reading of what comes back. Kept apart from the transceiver's own code.
#include <cstdint>
#include <optional>
#include <vector>

#include "Common.h"
#include "VirtualTransceiver.h"

namespace pcwire {

Bytes frame(uint8_t cmd, const Bytes& data);  // FE FE EE EF cmd data FD
Bytes identify();                             // E0 29 28 00 00
Bytes cloneRead();                            // E2 29 28 01 00
// E8 29 28 01 00 command, then the value as two upper-case ASCII hex digits.
Bytes adjust(uint8_t command, uint8_t value);

std::vector<Bytes> bodies(const Bytes& stream);  // of complete frames: FE restarts, FD ends
Bytes commands(const Bytes& stream);              // the third byte of each body
// The stream without the echo of sent at its front; nothing if it does not start so.
std::optional<Bytes> afterEcho(const Bytes& stream, const Bytes& sent);
// Value of the upper-case ASCII hex digits at body positions from..to (from 1); -1 if none.
int digitsValue(const Bytes& body, size_t from, size_t to);

// A clone read stream taken apart: E4 frames must be EF EE E4, well formed and
// contiguous from address 0; checksums are verified.
struct Clone {
  Bytes image;
  int e4Frames = 0;
  bool wellFormed = true;
  std::vector<int> badChecksums;  // E4 frame numbers, from 1
  std::optional<Bytes> e5;        // the last E5 body
};
Clone decodeClone(const Bytes& stream);

// A transceiver driven on a clock the test moves by hand.
struct Bench {
  explicit Bench(const TransceiverSettings& settings = {}) : rig(settings) {}
  Bench(const TransceiverSettings& settings, Bytes image) : rig(settings, std::move(image)) {}

  // Writes at the current time, waits, returns everything that came back.
  Bytes exchange(const Bytes& bytes, int64_t waitUs = 10'000'000);
  // What came back after the echo; nothing if the echo is missing.
  std::optional<Bytes> ask(const Bytes& sent) { return afterEcho(exchange(sent), sent); }
  // Sends E8 03 code and returns the reading from its answer; -1 if none came.
  int read(uint8_t code);
  void adjust(uint8_t command, uint8_t value) { exchange(pcwire::adjust(command, value)); }

  VirtualTransceiver rig;
  int64_t nowUs = 0;
};

}  // namespace pcwire
