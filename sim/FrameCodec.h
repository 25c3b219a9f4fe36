#pragma once
// Frames of the clone link and the ASCII hex forms carried inside them.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "Common.h"

class FrameCodec {
 public:
  static constexpr uint8_t kPreamble = 0xFE;
  static constexpr uint8_t kEnd = 0xFD;
  static constexpr uint8_t kRig = 0xEE;
  static constexpr uint8_t kPc = 0xEF;

  // FE FE dest src cmd data FD.
  static Bytes frame(uint8_t dest, uint8_t src, uint8_t cmd, const Bytes& data);
  // The body of a frame: everything between the second FE and the FD.
  static Bytes bodyOf(const Bytes& frame);

  // Two ASCII upper-case hex digits of v.
  static Bytes asciiHex(uint8_t v);
  static Bytes asciiHex16(uint16_t v);
  // The value of two ASCII hex digits (either case), if both are digits.
  static std::optional<uint8_t> hexPairValue(uint8_t high, uint8_t low);
  // The digit after d in 0..9A..F, wrapping; for altering a digit on purpose.
  static uint8_t otherHexDigit(uint8_t d);

  // Makes the sum of the bytes plus the result 0 modulo 256.
  static uint8_t checksum(const Bytes& bytes);
  // ASCII hex of address high, address low, count, the data and the checksum;
  // checksumOffset is added to the checksum (0 for a correct one).
  static Bytes cloneDataText(uint16_t address, const uint8_t* data, size_t count,
                             uint8_t checksumOffset = 0);
};
