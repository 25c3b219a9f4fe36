#include "Frames.h"

#include <algorithm>

namespace Frames {

Bytes frame(const Bytes& body) {
  Bytes out(body.size() + 3, 0xFE);
  std::copy(body.begin(), body.end(), out.begin() + 2);
  out.back() = 0xFD;
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
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
  Bytes raw(data.size() + 3);
  raw[0] = static_cast<uint8_t>(adr >> 8);
  raw[1] = static_cast<uint8_t>(adr & 0xFF);
  raw[2] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), raw.begin() + 3);
  unsigned sum = 0;
  for (uint8_t b : raw) sum += b;
  raw.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));
  const std::string text = Common::BinToHexStr(raw);
  Bytes body(text.size() + 3);
  body[0] = 0xEF;
  body[1] = 0xEE;
  body[2] = 0xE4;
  std::copy(text.begin(), text.end(), body.begin() + 3);
  return body;
}

Bytes cloneEndBody(uint8_t count) {
  Bytes body{0xEF, 0xEE, 0xE5};
  const Bytes ident = Common::HexStrToBin("5461767520496E632E");
  body.insert(body.end(), ident.begin(), ident.end());
  const std::string digits = Common::ByteToHexStr(count);
  body.insert(body.end(), digits.begin(), digits.end());
  return body;
}

Bytes adjustAnswerBody(uint8_t command, uint8_t value) {
  Bytes body{0xEF, 0xEE, 0xE8, 0x29, 0x28, 0x01, 0x00, command};
  const std::string digits = Common::ByteToHexStr(value);
  body.insert(body.end(), digits.begin(), digits.end());
  return body;
}

Bytes pcFrame(const std::string& payloadHex) {
  Bytes out{0xFE, 0xFE, 0xEE, 0xEF};
  const Bytes payload = Common::HexStrToBin(payloadHex);
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(0xFD);
  return out;
}

}  // namespace Frames
