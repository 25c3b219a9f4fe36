#pragma once
// Builds a realistic memory image for the virtual transceiver: parameter table,
// channel memory, second per-channel block, common block and adjustment bytes.
//
// Layout (addresses decimal / hex):
//   290..295        table header: entry length 10, entry count 6, entry 0 at 304 (0x130)
//   304..373        7 entries of 10 bytes; the 7th (object 0xFFFF) is only scanned
//   384  (0x180)    object 1, identity block, 1 x 32 bytes
//   512  (0x200)    object 2, channel memory, 40 x 24 bytes
//   1536 (0x600)    object 3, second per-channel block, 40 x 8 bytes
//   1920 (0x780)    object 4, scan flags, 40 x 2 bytes
//   2048 (0x800)    object 6, common block, 1 x 64 bytes ("Mid" = bit 7 of byte +37)
//   2304 (0x900)    object 5, call-sign block, 8 x 16 bytes
// Unused memory reads FF, as erased memory does; unprogrammed channel records are 0.
#include <cstdint>
#include <map>

#include "Common.h"

class MemoryImageBuilder {
 public:
  static constexpr int32_t kTableAddress = 0x130;
  static constexpr int32_t kEntryLength = 10;
  static constexpr int32_t kEntryCount = 6;
  static constexpr int32_t kIdentityAddress = 0x180;
  static constexpr int32_t kChannelAddress = 0x200;
  static constexpr int32_t kChannelRecordLength = 24;
  static constexpr int32_t kChannelCount = 40;
  static constexpr int32_t kBlock2Address = 0x600;
  static constexpr int32_t kBlock2RecordLength = 8;
  static constexpr int32_t kScanAddress = 0x780;
  static constexpr int32_t kCommonAddress = 0x800;
  static constexpr int32_t kCommonLength = 64;
  static constexpr int32_t kCallSignAddress = 0x900;

  // LV targets the level model reaches strictly between its readings at 0 and 255.
  static constexpr uint8_t kDefaultLvRxTarget = 150;
  static constexpr uint8_t kDefaultLvTxTarget = 100;

  struct Channel {
    uint32_t rxHz = 0;
    uint32_t txHz = 0;
    bool rxInhibit = false;
    bool txInhibit = false;
    bool cb = false;
    bool highPower = true;
    uint8_t digitalMode = 0;  // 0..3
    bool modeFlag = false;
  };

  // Starts with the standard channel plan:
  //   0..5  CB simplex, high power           6  CB, receive side inhibited
  //   7     CB, transmit side inhibited      8  not programmed
  //   9     private, TX 5 MHz below RX, low power
  //   10    private simplex, high power, digital mode 1, mode flag
  //   11    private simplex, low power       12..39 not programmed
  MemoryImageBuilder();

  MemoryImageBuilder& setMid(bool mid);
  MemoryImageBuilder& setChannel(int index, const Channel& channel);
  MemoryImageBuilder& clearChannel(int index);
  MemoryImageBuilder& setLvTargets(uint8_t rx, uint8_t tx);

  const std::map<int, Channel>& channels() const { return channels_; }

  Bytes build() const;

 private:
  static void put16(Bytes& image, int32_t adr, uint16_t v);
  static void put32(Bytes& image, int32_t adr, uint32_t v);
  void writeTable(Bytes& image) const;
  void writeChannels(Bytes& image) const;
  void writeCommonBlock(Bytes& image) const;
  void writeAdjustments(Bytes& image) const;
  static void writeOtherObjects(Bytes& image);

  bool mid_ = false;
  uint8_t lvRxTarget_ = kDefaultLvRxTarget;
  uint8_t lvTxTarget_ = kDefaultLvTxTarget;
  std::map<int, Channel> channels_;
};
