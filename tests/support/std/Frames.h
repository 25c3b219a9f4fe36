#pragma once
// Builders for the frames a transceiver sends, for feeding the driver by hand.
#include <cstdint>
#include <string>

#include "Common.h"

namespace Frames {

Bytes frame(const Bytes& body);  // FE FE body FD
Bytes concat(std::initializer_list<Bytes> parts);
Bytes identificationBody(const std::string& endDigits = "7D6F", size_t length = 69, uint8_t format = 0x01);
Bytes cloneDataBody(uint16_t adr, const Bytes& data);
Bytes cloneEndBody(uint8_t count);
Bytes adjustAnswerBody(uint8_t command, uint8_t value);
Bytes pcFrame(const std::string& payloadHex);  // FE FE EE EF payload FD

}  // namespace Frames
