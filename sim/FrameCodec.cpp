#include "FrameCodec.h"

#include <algorithm>

namespace {

const char kDigits[] = "0123456789ABCDEF";

}  // namespace

Bytes FrameCodec::frame(uint8_t dest, uint8_t src, uint8_t cmd, const Bytes& data) {
  Bytes out(data.size() + 6);
  out[0] = kPreamble;
  out[1] = kPreamble;
  out[2] = dest;
  out[3] = src;
  out[4] = cmd;
  std::copy(data.begin(), data.end(), out.begin() + 5);
  out.back() = kEnd;
  return out;
}

Bytes FrameCodec::bodyOf(const Bytes& frame) {
  if (frame.size() < 3) return {};
  return Bytes(frame.begin() + 2, frame.end() - 1);
}

Bytes FrameCodec::asciiHex(uint8_t v) {
  return {static_cast<uint8_t>(kDigits[v >> 4]), static_cast<uint8_t>(kDigits[v & 0x0F])};
}

Bytes FrameCodec::asciiHex16(uint16_t v) {
  Bytes out = asciiHex(static_cast<uint8_t>(v >> 8));
  const Bytes low = asciiHex(static_cast<uint8_t>(v & 0xFF));
  out.insert(out.end(), low.begin(), low.end());
  return out;
}

std::optional<uint8_t> FrameCodec::hexPairValue(uint8_t high, uint8_t low) {
  const int h = Common::HexDigitValue(high);
  const int l = Common::HexDigitValue(low);
  if (h < 0 || l < 0) return std::nullopt;
  return static_cast<uint8_t>(h * 16 + l);
}

uint8_t FrameCodec::otherHexDigit(uint8_t d) {
  const int v = Common::HexDigitValue(d);
  return static_cast<uint8_t>(kDigits[(v < 0 ? 0 : v + 1) & 0x0F]);
}

uint8_t FrameCodec::checksum(const Bytes& bytes) {
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  return static_cast<uint8_t>((256 - sum % 256) % 256);
}

Bytes FrameCodec::cloneDataText(uint16_t address, const uint8_t* data, size_t count,
                                uint8_t checksumOffset) {
  Bytes raw{static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>(count)};
  raw.insert(raw.end(), data, data + count);
  raw.push_back(static_cast<uint8_t>(checksum(raw) + checksumOffset));
  Bytes text;
  text.reserve(raw.size() * 2);
  for (uint8_t b : raw) {
    const Bytes pair = asciiHex(b);
    text.insert(text.end(), pair.begin(), pair.end());
  }
  return text;
}
