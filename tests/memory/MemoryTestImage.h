#pragma once
// Writes parameter tables and channel records into a test image read by the utility.
#include <cstdint>
#include <vector>

#include "clsCmcEeprom.h"
#include "clsIndEep_RigVela.h"

namespace MemoryTestImage {

struct Entry {
  uint16_t obj;
  uint16_t size;
  uint16_t number;
  uint16_t address;
};

// Usual layout: table at 0x130 with 10-byte entries; channels (object 2, 40 x 24) at 0x200,
// second block (object 3, 40 x 8) at 0x600, common block (object 6, 1 x 64) at 0x800.
inline constexpr int32_t TableAdr = 0x130;
inline constexpr int32_t ChannelAdr = 0x200;
inline constexpr int32_t ChannelSize = 24;
inline constexpr int32_t Block2Adr = 0x600;
inline constexpr int32_t Block2Size = 8;
inline constexpr int32_t CommonAdr = 0x800;

void put16(clsCmcEeprom& ee, int32_t adr, uint16_t v);
void put32(clsCmcEeprom& ee, int32_t adr, uint32_t v);

// Header says count = the given count; entries are written in order from entry0.
void putTable(clsCmcEeprom& ee, uint16_t entryLength, uint16_t count, uint16_t entry0,
              const std::vector<Entry>& entries);
// The usual table (header count 2, so entries 0..2 are scanned).
void putUsualTable(clsCmcEeprom& ee, uint16_t channelCount = 40);

struct Channel {
  uint32_t rxHz = 0;
  uint32_t txHz = 0;
  bool rxInhibit = false;
  bool txInhibit = false;
  uint8_t modeByte = 0;  // record byte 20
  bool highPower = false;
  bool cb = false;
};
void putChannel(clsCmcEeprom& ee, int c, const Channel& ch);
void setMid(clsCmcEeprom& ee, bool mid);

// An image with the utility's readers on it.
struct Readers {
  clsCmcEeprom ee;
  clsIndPtbl_RigVela table{ee};
  clsIndEep_RigVela eep{ee, table};
};

}  // namespace MemoryTestImage
