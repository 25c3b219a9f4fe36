#pragma once
// The PC's side of the cable for tests: frames as the utility writes them, and a
// plain reading of what comes back. Kept apart from the transceiver's own code.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Common.h"
#include "VirtualTransceiver.h"

namespace pcwire {

// FE FE EE EF cmd data FD.
Bytes frame(uint8_t cmd, const Bytes& data);
Bytes identify();    // E0 29 28 00 00
Bytes cloneRead();   // E2 29 28 01 00
Bytes cloneWrite();  // E3 29 28 01 00
// E8 29 28 01 00 cmd, then the ASCII codes of the value's two upper-case hex digits.
Bytes adjust(uint8_t command, uint8_t value);

// Bodies of the complete frames in a byte stream (every FE restarts, FD ends).
std::vector<Bytes> bodies(const Bytes& stream);
// The stream with the echo of sent removed from its front; nothing if it does not start so.
std::optional<Bytes> afterEcho(const Bytes& stream, const Bytes& sent);

int hexValue(uint8_t c);  // -1 for a non-digit
// Value of the ASCII hex digits at body positions from..to (counted from 1).
int digitsValue(const Bytes& body, size_t from, size_t to);

struct CloneBlock {
  int address = -1;
  Bytes data;
  bool checksumOk = false;
};
// Reads an E4 body: address, count, data and checksum text; nothing if malformed.
std::optional<CloneBlock> decodeCloneData(const Bytes& body);

// A transceiver driven on a clock the test moves by hand.
struct Bench {
  explicit Bench(const TransceiverSettings& settings = {});
  Bench(const TransceiverSettings& settings, Bytes image);

  // Writes at the current time, waits, returns everything that came back.
  Bytes exchange(const Bytes& bytes, int64_t waitUs = 10'000'000);
  // Sends E8 03 code and returns the reading from the answer; nothing if none came.
  std::optional<int> read(uint8_t code);
  void adjust(uint8_t command, uint8_t value) { exchange(pcwire::adjust(command, value)); }

  VirtualTransceiver rig;
  int64_t nowUs = 0;
};

}  // namespace pcwire
