#include "PcWire.h"

#include <algorithm>

namespace pcwire {

Bytes frame(uint8_t cmd, const Bytes& data) {
  Bytes out(data.size() + 6);
  out[0] = 0xFE;
  out[1] = 0xFE;
  out[2] = 0xEE;
  out[3] = 0xEF;
  out[4] = cmd;
  std::copy(data.begin(), data.end(), out.begin() + 5);
  out.back() = 0xFD;
  return out;
}

Bytes identify() { return frame(0xE0, {0x29, 0x28, 0x00, 0x00}); }
Bytes cloneRead() { return frame(0xE2, {0x29, 0x28, 0x01, 0x00}); }
Bytes cloneWrite() { return frame(0xE3, {0x29, 0x28, 0x01, 0x00}); }

Bytes adjust(uint8_t command, uint8_t value) {
  const char* digits = "0123456789ABCDEF";
  return frame(0xE8, {0x29, 0x28, 0x01, 0x00, command, static_cast<uint8_t>(digits[value >> 4]),
                      static_cast<uint8_t>(digits[value & 15])});
}

std::vector<Bytes> bodies(const Bytes& stream) {
  std::vector<Bytes> out;
  bool inside = false;
  Bytes body;
  for (uint8_t b : stream) {
    if (b == 0xFE) {
      inside = true;
      body.clear();
    } else if (b == 0xFD) {
      if (inside) out.push_back(body);
      inside = false;
    } else if (inside) {
      body.push_back(b);
    }
  }
  return out;
}

std::optional<Bytes> afterEcho(const Bytes& stream, const Bytes& sent) {
  if (stream.size() < sent.size() || !std::equal(sent.begin(), sent.end(), stream.begin())) {
    return std::nullopt;
  }
  return Bytes(stream.begin() + static_cast<std::ptrdiff_t>(sent.size()), stream.end());
}

int hexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int digitsValue(const Bytes& body, size_t from, size_t to) {
  int v = 0;
  for (size_t p = from; p <= to; ++p) {
    if (p == 0 || p > body.size()) return -1;
    const int d = hexValue(body[p - 1]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

std::optional<CloneBlock> decodeCloneData(const Bytes& body) {
  if (body.size() < 13 || body.size() % 2 == 0 || body[2] != 0xE4) return std::nullopt;
  CloneBlock block;
  block.address = digitsValue(body, 4, 7);
  const int count = digitsValue(body, 8, 9);
  if (block.address < 0 || count < 0 || static_cast<size_t>(11 + 2 * count) != body.size()) {
    return std::nullopt;
  }
  unsigned sum = static_cast<unsigned>(block.address / 256 + block.address % 256 + count);
  for (int i = 0; i < count; ++i) {
    const int v = digitsValue(body, 10 + 2 * i, 11 + 2 * i);
    if (v < 0) return std::nullopt;
    block.data.push_back(static_cast<uint8_t>(v));
    sum += static_cast<unsigned>(v);
  }
  const int check = digitsValue(body, body.size() - 1, body.size());
  if (check < 0) return std::nullopt;
  block.checksumOk = (sum + static_cast<unsigned>(check)) % 256 == 0;
  return block;
}

Bench::Bench(const TransceiverSettings& settings) : rig(settings) {}
Bench::Bench(const TransceiverSettings& settings, Bytes image) : rig(settings, std::move(image)) {}

Bytes Bench::exchange(const Bytes& bytes, int64_t waitUs) {
  rig.fromPc(bytes, nowUs);
  nowUs += waitUs;
  return rig.toPc(nowUs);
}

std::optional<int> Bench::read(uint8_t code) {
  const Bytes sent = pcwire::adjust(0x03, code);
  const auto answer = afterEcho(exchange(sent), sent);
  if (!answer) return std::nullopt;
  const auto frames = bodies(*answer);
  if (frames.size() != 1 || frames[0].size() != 10 || frames[0][2] != 0xE8) return std::nullopt;
  const int value = digitsValue(frames[0], 9, 10);
  if (value < 0) return std::nullopt;
  return value;
}

}  // namespace pcwire
