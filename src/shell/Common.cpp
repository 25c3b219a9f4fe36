#include "Common.h"

#include <cstdio>
#include <utility>

namespace Common {
namespace {

int16_t stderrBox(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", AppTitle, text.c_str());
  return ButtonOk;
}

MsgBoxHandler& boxHandler() {
  static MsgBoxHandler handler = stderrBox;
  return handler;
}

MsgBoxDetailHandler& detailHandler() {
  static MsgBoxDetailHandler handler;
  return handler;
}

const char kDigits[] = "0123456789ABCDEF";

// Reads up to two characters as a hex number, stopping at the first non-digit.
uint8_t readPair(char first, char second) {
  const int hi = HexDigitValue(static_cast<uint8_t>(first));
  if (hi < 0) return 0;
  const int lo = HexDigitValue(static_cast<uint8_t>(second));
  if (lo < 0) return static_cast<uint8_t>(hi);
  return static_cast<uint8_t>(hi * 16 + lo);
}

}  // namespace

int HexDigitValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int16_t MsgBoxApp(const std::string& text) {
  const MsgBoxHandler handler = boxHandler();  // a copy: the handler may replace itself
  return handler ? handler(ConvertNewLine(text)) : ButtonOk;
}

MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler handler) {
  MsgBoxHandler previous = std::move(boxHandler());
  boxHandler() = handler ? std::move(handler) : MsgBoxHandler(stderrBox);
  return previous;
}

int16_t MsgBoxApp(const std::string& text, const std::string& details) {
  const MsgBoxDetailHandler handler = detailHandler();  // a copy, as above
  if (!handler || details.empty()) return MsgBoxApp(text);
  return handler(ConvertNewLine(text), details);
}

MsgBoxDetailHandler SetMsgBoxDetailHandler(MsgBoxDetailHandler handler) {
  MsgBoxDetailHandler previous = std::move(detailHandler());
  detailHandler() = std::move(handler);
  return previous;
}

std::string ConvertNewLine(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i + 1 < out.size(); ++i) {
    if (out[i] == '\\' && out[i + 1] == 'n') {
      out[i] = '\r';
      out[i + 1] = '\n';
    }
  }
  return out;
}

Bytes StrToBin(const std::string& text) { return Bytes(text.begin(), text.end()); }

int16_t BinHexToInt(const uint8_t* chars, size_t count) {
  uint16_t value = 0;  // longer texts keep their low 16 bits
  for (size_t i = 0; i < count; ++i) {
    const int digit = HexDigitValue(chars[i]);
    if (digit < 0) break;
    value = static_cast<uint16_t>((value << 4) | digit);
  }
  return static_cast<int16_t>(value);
}

int16_t BinHexToInt(const Bytes& chars) { return BinHexToInt(chars.data(), chars.size()); }

Bytes HexStrToBin(const std::string& text) {
  Bytes out;
  out.reserve(text.size() / 2);
  size_t i = 0;
  while (text.size() - i >= 2) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(readPair(text[i], text[i + 1]));
    i += 2;
  }
  return out;
}

std::string BinToHexStr(const uint8_t* bytes, size_t count) {
  std::string out(count * 2, '0');
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return out;
}

std::string BinToHexStr(const Bytes& bytes) { return BinToHexStr(bytes.data(), bytes.size()); }

std::string ByteToHexStr(int16_t n) {
  const uint8_t low = static_cast<uint8_t>(static_cast<uint16_t>(n) & 0xFF);
  return BinToHexStr(&low, 1);
}

std::string ByteToAscHexStr(int16_t n) {
  const std::string digits = ByteToHexStr(n);
  const uint8_t codes[2] = {static_cast<uint8_t>(digits[0]), static_cast<uint8_t>(digits[1])};
  return BinToHexStr(codes, 2);
}

}  // namespace Common
