#include "Frames.h"

#include <algorithm>

namespace Frames {

Bytes frame(const Bytes& body) { return concat({{0xFE, 0xFE}, body, {0xFD}}); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes pcFrame(const std::string& payloadHex) { return frame(Common::HexStrToBin("EEEF" + payloadHex)); }
Bytes identify() { return pcFrame("E029280000"); }
Bytes cloneRead() { return pcFrame("E229280100"); }
Bytes adjust(uint8_t command, uint8_t value) {
  return pcFrame("E829280100" + Common::ByteToHexStr(command) + Common::ByteToAscHexStr(value));
}

Bytes identificationBody(const std::string& endDigits, size_t length, uint8_t format) {
  Bytes body(length, 0x30);
  const Bytes head{0xEF, 0xEE, 0xE1, 0x29, 0x28, 0x01, 0x00};
  std::copy(head.begin(), head.end(), body.begin());
  if (length >= 8) body[7] = static_cast<uint8_t>(length - 7);
  if (length >= 43) body[42] = format;
  if (length >= 59) body[58] = 0x00;
  for (size_t i = 0; i < endDigits.size() && 65 + i < length; ++i)
    body[65 + i] = static_cast<uint8_t>(endDigits[i]);
  return body;
}

Bytes cloneDataBody(uint16_t adr, const Bytes& data) {
  Bytes raw = concat({{static_cast<uint8_t>(adr >> 8), static_cast<uint8_t>(adr), static_cast<uint8_t>(data.size())}, data});
  unsigned sum = 0;
  for (uint8_t b : raw) sum += b;
  raw.push_back(static_cast<uint8_t>(0u - sum));  // the byte sum becomes 0
  const std::string text = Common::BinToHexStr(raw);
  return concat({{0xEF, 0xEE, 0xE4}, Bytes(text.begin(), text.end())});
}

Bytes cloneEndBody(uint8_t count) {
  const std::string digits = Common::ByteToHexStr(count);
  return concat({Common::HexStrToBin("EFEEE55461767520496E632E"), Bytes(digits.begin(), digits.end())});
}

Bytes adjustAnswerBody(uint8_t command, uint8_t value) {
  return Common::HexStrToBin("EFEEE829280100" + Common::ByteToHexStr(command) + Common::ByteToAscHexStr(value));
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

}  // namespace Frames
