#include "PcWire.h"

#include <algorithm>

namespace pcwire {

Bytes frame(uint8_t cmd, const Bytes& data) {
  Bytes out(data.size() + 6, 0xFE);
  out[2] = 0xEE;
  out[3] = 0xEF;
  out[4] = cmd;
  std::copy(data.begin(), data.end(), out.begin() + 5);
  out.back() = 0xFD;
  return out;
}

Bytes identify() { return frame(0xE0, {0x29, 0x28, 0x00, 0x00}); }
Bytes cloneRead() { return frame(0xE2, {0x29, 0x28, 0x01, 0x00}); }

Bytes adjust(uint8_t command, uint8_t value) {
  const char* digits = "0123456789ABCDEF";
  return frame(0xE8, {0x29, 0x28, 0x01, 0x00, command, static_cast<uint8_t>(digits[value >> 4]),
                      static_cast<uint8_t>(digits[value & 15])});
}

std::vector<Bytes> bodies(const Bytes& stream) {
  std::vector<Bytes> out;
  std::optional<Bytes> body;
  for (uint8_t b : stream) {
    if (b == 0xFE) {
      body.emplace();
    } else if (b == 0xFD) {
      if (body) out.push_back(*body);
      body.reset();
    } else if (body) {
      body->push_back(b);
    }
  }
  return out;
}

Bytes commands(const Bytes& stream) {
  Bytes out;
  for (const Bytes& body : bodies(stream)) out.push_back(body.size() >= 3 ? body[2] : 0);
  return out;
}

std::optional<Bytes> afterEcho(const Bytes& stream, const Bytes& sent) {
  if (stream.size() < sent.size() || !std::equal(sent.begin(), sent.end(), stream.begin())) {
    return std::nullopt;
  }
  return Bytes(stream.begin() + static_cast<std::ptrdiff_t>(sent.size()), stream.end());
}

int digitsValue(const Bytes& body, size_t from, size_t to) {
  int v = 0;
  for (size_t p = from; p <= to; ++p) {
    if (p == 0 || p > body.size()) return -1;
    const uint8_t c = body[p - 1];
    if (c >= '0' && c <= '9') v = v * 16 + (c - '0');
    else if (c >= 'A' && c <= 'F') v = v * 16 + (c - 'A' + 10);
    else return -1;
  }
  return v;
}

// E4 body: EF EE E4, address (4 digits), count (2), data (2 each), checksum (2).
Clone decodeClone(const Bytes& stream) {
  Clone c;
  for (const Bytes& body : bodies(stream)) {
    if (body.size() >= 3 && body[2] == 0xE5) c.e5 = body;
    if (body.size() < 3 || body[2] != 0xE4) continue;
    ++c.e4Frames;
    const int address = digitsValue(body, 4, 7);
    const int count = digitsValue(body, 8, 9);
    const int check = digitsValue(body, body.size() - 1, body.size());
    if (body[0] != 0xEF || body[1] != 0xEE || address != static_cast<int>(c.image.size()) ||
        count < 0 || check < 0 || body.size() != static_cast<size_t>(11 + 2 * count)) {
      c.wellFormed = false;
      continue;
    }
    int sum = address / 256 + address % 256 + count + check;
    for (int i = 0; i < count; ++i) {
      const int v = digitsValue(body, 10 + 2 * i, 11 + 2 * i);
      if (v < 0) c.wellFormed = false;
      c.image.push_back(static_cast<uint8_t>(v));
      sum += v;
    }
    if (sum % 256 != 0) c.badChecksums.push_back(c.e4Frames);
  }
  return c;
}

Bytes Bench::exchange(const Bytes& bytes, int64_t waitUs) {
  rig.fromPc(bytes, nowUs);
  nowUs += waitUs;
  return rig.toPc(nowUs);
}

int Bench::read(uint8_t code) {
  const auto frames = bodies(ask(pcwire::adjust(0x03, code)).value_or(Bytes{}));
  if (frames.size() != 1 || frames[0].size() != 10 || frames[0][2] != 0xE8) return -1;
  return digitsValue(frames[0], 9, 10);
}

}  // namespace pcwire
