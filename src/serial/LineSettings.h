#pragma once
// A settings text such as "9600,N,8,1" taken apart.
#include <cstdint>
#include <optional>
#include <string>

struct LineSettings {
  int32_t baud = 9600;
  char parity = 'N';  // N, E, O, M or S
  int dataBits = 8;
  int stopTenths = 10;  // 10, 15 or 20

  // Line time of one character: start bit, data, parity and stop bits.
  int64_t ByteTimeNs() const {
    const int64_t tenthBits = 10 * (1 + dataBits + (parity == 'N' ? 0 : 1)) + stopTenths;
    return tenthBits * 100'000'000 / baud;
  }

  // Empty when the text is not four comma-separated fields of sound values.
  static std::optional<LineSettings> Parse(const std::string& text);
};
