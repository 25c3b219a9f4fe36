#include "MemoryTestImage.h"

namespace MemoryTestImage {

void put16(clsCmcEeprom& ee, int32_t adr, uint16_t v) {
  ee.WriteByte(adr, static_cast<uint8_t>(v >> 8));
  ee.WriteByte(adr + 1, static_cast<uint8_t>(v));
}

void put32(clsCmcEeprom& ee, int32_t adr, uint32_t v) {
  put16(ee, adr, static_cast<uint16_t>(v >> 16));
  put16(ee, adr + 2, static_cast<uint16_t>(v));
}

void putTable(clsCmcEeprom& ee, uint16_t entryLength, uint16_t count, uint16_t entry0,
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

void putUsualTable(clsCmcEeprom& ee, uint16_t channelCount) {
  putTable(ee, 10, 2, TableAdr,
           {{2, ChannelSize, channelCount, ChannelAdr}, {3, Block2Size, channelCount, Block2Adr}, {6, 64, 1, CommonAdr}});
}

void putChannel(clsCmcEeprom& ee, int c, const Channel& ch) {
  const int32_t rec = ChannelAdr + c * ChannelSize;
  put32(ee, rec, ch.rxHz | (ch.rxInhibit ? 0x80000000u : 0));
  put32(ee, rec + 4, ch.txHz | (ch.txInhibit ? 0x80000000u : 0));
  ee.WriteByte(rec + 20, ch.modeByte);
  const int32_t rec2 = Block2Adr + c * Block2Size;
  ee.WriteByte(rec2, ch.highPower ? 0x01 : 0x00);
  ee.WriteByte(rec2 + 4, ch.cb ? 0x80 : 0x00);
}

void setMid(clsCmcEeprom& ee, bool mid) { ee.WriteByte(CommonAdr + 37, mid ? 0x80 : 0x7F); }

}  // namespace MemoryTestImage
