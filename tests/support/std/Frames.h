#pragma once
// Frames on the cable for tests: the utility's requests, a transceiver's answers,
// and a plain reading of a received stream, apart from the code under test.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Common.h"

namespace Frames {

Bytes frame(const Bytes& body);  // FE FE body FD
Bytes concat(std::initializer_list<Bytes> parts);
Bytes pcFrame(const std::string& payloadHex);  // FE FE EE EF payload FD
Bytes identify();                              // E0 29 28 00 00
Bytes cloneRead();                             // E2 29 28 01 00
// E8 29 28 01 00 command, then the value as two upper-case ASCII hex digits.
Bytes adjust(uint8_t command, uint8_t value);

Bytes identificationBody(const std::string& endDigits = "7D6F", size_t length = 69, uint8_t format = 0x01);
Bytes cloneDataBody(uint16_t adr, const Bytes& data);
Bytes cloneEndBody(uint8_t count);
Bytes adjustAnswerBody(uint8_t command, uint8_t value);

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

}  // namespace Frames
