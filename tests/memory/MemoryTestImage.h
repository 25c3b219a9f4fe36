#pragma once
// Writes parameter tables and channel records into a test image read by the utility.
#include <cstdint>
#include <vector>

#include "clsCmcEeprom.h"
#include "clsIndEep_RigVela.h"

namespace MemoryTestImage {

struct Entry {
  uint16_t obj, size, number, address;
};

// Usual layout: table at 0x130 with 10-byte entries; channels (object 2, 40 x 24) at 0x200,
// second block (object 3, 40 x 8) at 0x600, common block (object 6, 1 x 64) at 0x800.
inline constexpr int32_t TableAdr = 0x130;
inline constexpr int32_t ChannelAdr = 0x200;
inline constexpr int32_t ChannelSize = 24;
inline constexpr int32_t Block2Adr = 0x600;
inline constexpr int32_t Block2Size = 8;
inline constexpr int32_t CommonAdr = 0x800;

inline void put16(clsCmcEeprom& ee, int32_t adr, uint16_t v) {
  ee.WriteByte(adr, static_cast<uint8_t>(v >> 8));
  ee.WriteByte(adr + 1, static_cast<uint8_t>(v));
}
inline void put32(clsCmcEeprom& ee, int32_t adr, uint32_t v) {
  put16(ee, adr, static_cast<uint16_t>(v >> 16));
  put16(ee, adr + 2, static_cast<uint16_t>(v));
}

// Header says count = the given count; entries are written in order from entry0.
inline void putTable(clsCmcEeprom& ee, uint16_t entryLength, uint16_t count, uint16_t entry0,
                     const std::vector<Entry>& entries) {
  put16(ee, 290, entryLength);
  put16(ee, 292, count);
  put16(ee, 294, entry0);
  int32_t p = entry0;
  for (const Entry& e : entries) {
    put16(ee, p, e.obj);
    put16(ee, p + 2, e.size);
    put16(ee, p + 4, e.number);
    put16(ee, p + 6, e.address);
    p += entryLength;
  }
}
// The usual table (header count 2, so entries 0..2 are scanned).
inline void putUsualTable(clsCmcEeprom& ee, uint16_t channelCount = 40) {
  putTable(ee, 10, 2, TableAdr,
           {{2, ChannelSize, channelCount, ChannelAdr}, {3, Block2Size, channelCount, Block2Adr}, {6, 64, 1, CommonAdr}});
}

struct Channel {
  uint32_t rxHz = 0;
  uint32_t txHz = 0;
  bool rxInhibit = false;
  bool txInhibit = false;
  uint8_t modeByte = 0;  // record byte 20
  bool highPower = false;
  bool cb = false;
};
inline void putChannel(clsCmcEeprom& ee, int c, const Channel& ch) {
  const int32_t rec = ChannelAdr + c * ChannelSize, rec2 = Block2Adr + c * Block2Size;
  put32(ee, rec, ch.rxHz | (ch.rxInhibit ? 0x80000000u : 0));
  put32(ee, rec + 4, ch.txHz | (ch.txInhibit ? 0x80000000u : 0));
  ee.WriteByte(rec + 20, ch.modeByte);
  ee.WriteByte(rec2, ch.highPower ? 0x01 : 0x00);
  ee.WriteByte(rec2 + 4, ch.cb ? 0x80 : 0x00);
}
inline void setMid(clsCmcEeprom& ee, bool mid) { ee.WriteByte(CommonAdr + 37, mid ? 0x80 : 0x7F); }

// An image with the utility's readers on it.
struct Readers {
  clsCmcEeprom ee;
  clsIndPtbl_RigVela table{ee};
  clsIndEep_RigVela eep{ee, table};
};

}  // namespace MemoryTestImage
