#include "MemoryImageBuilder.h"

#include <array>
#include <stdexcept>
#include <string>

#include "ImageLayout.h"

namespace {

constexpr uint32_t kCbFirstHz = 476425000;
constexpr uint32_t kCbStepHz = 25000;
constexpr uint16_t kBaseFrequency100kHz = 4000;  // 400.0 MHz

uint8_t signedByte(int v) { return static_cast<uint8_t>(v & 0xFF); }

}  // namespace

MemoryImageBuilder::MemoryImageBuilder() {
  for (int c = 0; c <= 7; ++c) {
    Channel ch;
    ch.rxHz = kCbFirstHz + static_cast<uint32_t>(c) * kCbStepHz;
    ch.txHz = ch.rxHz;
    ch.cb = true;
    ch.rxInhibit = (c == 6);
    ch.txInhibit = (c == 7);
    channels_[c] = ch;
  }
  channels_[9] = Channel{445500000, 440500000, false, false, false, false, 0, false};
  channels_[10] = Channel{446012500, 446012500, false, false, false, true, 1, true};
  channels_[11] = Channel{467550000, 467550000, false, false, false, false, 0, false};
}

MemoryImageBuilder& MemoryImageBuilder::setMid(bool mid) {
  mid_ = mid;
  return *this;
}

MemoryImageBuilder& MemoryImageBuilder::setChannel(int index, const Channel& channel) {
  if (index < 0 || index >= kChannelCount) throw std::out_of_range("channel index");
  channels_[index] = channel;
  return *this;
}

MemoryImageBuilder& MemoryImageBuilder::clearChannel(int index) {
  channels_.erase(index);
  return *this;
}

MemoryImageBuilder& MemoryImageBuilder::setLvTargets(uint8_t rx, uint8_t tx) {
  lvRxTarget_ = rx;
  lvTxTarget_ = tx;
  return *this;
}

void MemoryImageBuilder::put16(Bytes& image, int32_t adr, uint16_t v) {
  image.at(static_cast<size_t>(adr)) = static_cast<uint8_t>(v >> 8);
  image.at(static_cast<size_t>(adr) + 1) = static_cast<uint8_t>(v & 0xFF);
}

void MemoryImageBuilder::put32(Bytes& image, int32_t adr, uint32_t v) {
  put16(image, adr, static_cast<uint16_t>(v >> 16));
  put16(image, adr + 2, static_cast<uint16_t>(v & 0xFFFF));
}

Bytes MemoryImageBuilder::build() const {
  Bytes image(ImageLayout::kImageSize, 0xFF);
  writeTable(image);
  writeOtherObjects(image);
  writeChannels(image);
  writeCommonBlock(image);
  writeAdjustments(image);
  return image;
}

void MemoryImageBuilder::writeTable(Bytes& image) const {
  struct Entry {
    uint16_t object, size, count, address;
  };
  const std::array<Entry, kEntryCount + 1> entries{{
      {1, 32, 1, kIdentityAddress},
      {ImageLayout::kObjChannels, kChannelRecordLength, kChannelCount, kChannelAddress},
      {ImageLayout::kObjChannelBlock2, kBlock2RecordLength, kChannelCount, kBlock2Address},
      {4, 2, kChannelCount, kScanAddress},
      {ImageLayout::kObjCommon, kCommonLength, 1, kCommonAddress},
      {5, 16, 8, kCallSignAddress},
      {0xFFFF, 0, 0, 0},  // end mark; the reader scans count + 1 entries
  }};
  put16(image, ImageLayout::kTableEntryLength, kEntryLength);
  put16(image, ImageLayout::kTableEntryCount, kEntryCount);
  put16(image, ImageLayout::kTableStart, kTableAddress);
  int32_t p = kTableAddress;
  for (const Entry& e : entries) {
    put16(image, p, e.object);
    put16(image, p + 2, e.size);
    put16(image, p + 4, e.count);
    put16(image, p + 6, e.address);
    put16(image, p + 8, 0);  // reserved
    p += kEntryLength;
  }
}

void MemoryImageBuilder::writeOtherObjects(Bytes& image) {
  std::string identity = "SELVIK UHF HT REV 1.0";
  identity.resize(32, ' ');
  for (size_t i = 0; i < identity.size(); ++i) image.at(kIdentityAddress + i) = static_cast<uint8_t>(identity[i]);
  for (int32_t c = 0; c < kChannelCount; ++c) put16(image, kScanAddress + 2 * c, 0x0000);
  for (int32_t i = 0; i < 8 * 16; ++i) image.at(static_cast<size_t>(kCallSignAddress + i)) = 0x20;
}

void MemoryImageBuilder::writeChannels(Bytes& image) const {
  for (int32_t c = 0; c < kChannelCount; ++c) {
    const int32_t rec = kChannelAddress + c * kChannelRecordLength;
    const int32_t rec2 = kBlock2Address + c * kBlock2RecordLength;
    for (int32_t i = 0; i < kChannelRecordLength; ++i) image.at(static_cast<size_t>(rec + i)) = 0;
    for (int32_t i = 0; i < kBlock2RecordLength; ++i) image.at(static_cast<size_t>(rec2 + i)) = 0;
    const auto it = channels_.find(c);
    if (it == channels_.end()) continue;
    const Channel& ch = it->second;
    put32(image, rec, (ch.rxHz & 0x7FFFFFFF) | (ch.rxInhibit ? 0x80000000u : 0));
    put32(image, rec + 4, (ch.txHz & 0x7FFFFFFF) | (ch.txInhibit ? 0x80000000u : 0));
    image.at(static_cast<size_t>(rec + 8)) = 0x08;  // tone: none, step 12.5 kHz
    image.at(static_cast<size_t>(rec + 20)) =
        static_cast<uint8_t>((ch.digitalMode & 3) | (ch.modeFlag ? 0x40 : 0));
    image.at(static_cast<size_t>(rec2)) = ch.highPower ? 0x01 : 0x00;
    image.at(static_cast<size_t>(rec2 + 4)) = ch.cb ? 0x80 : 0x00;
  }
}

void MemoryImageBuilder::writeCommonBlock(Bytes& image) const {
  for (int32_t i = 0; i < kCommonLength; ++i) {
    image.at(static_cast<size_t>(kCommonAddress + i)) = static_cast<uint8_t>(i % 7);
  }
  // Other bits of the flag byte are in use too; only bit 7 is the variant.
  image.at(static_cast<size_t>(kCommonAddress + ImageLayout::kMidFlagOffset)) =
      mid_ ? 0x85 : 0x05;
}

void MemoryImageBuilder::writeAdjustments(Bytes& image) const {
  namespace L = ImageLayout;
  auto set = [&image](int32_t adr, int v) { image.at(static_cast<size_t>(adr)) = signedByte(v); };
  put16(image, L::kBaseFrequency, kBaseFrequency100kHz);
  set(L::kToneLevel, 56);
  set(L::kBpfT1, 69);
  set(L::kBpfT2, 95);
  set(L::kBpfCorrection, 8);
  set(L::kTempSlants + 0, 3);   // SQL
  set(L::kTempSlants + 1, -2);  // Tone
  set(L::kTempSlants + 2, -5);  // MOD
  set(L::kTempSlants + 3, 1);   // BAL
  set(L::kRxLva, 140);
  set(L::kTxLva, 120);
  set(L::kToneCorrection, -4);
  set(L::kModW, 110);
  set(L::kBal, 128);
  set(L::kRatioLevel, 96);
  set(L::kBal2, 128);
  set(L::kToneCorrectionMid, 2);
  set(L::kModWMid, 100);
  set(L::kBalMid, 128);
  for (int n = 0; n < L::kFreqSlantBands; ++n) {
    const int32_t band = L::kFreqSlants + L::kFreqSlantBandSize * n;
    set(band + 0, n - 3);        // Rx LVA
    set(band + 1, 3 - n);        // Tx LVA
    set(band + 2, n % 3 - 1);    // Tone
    set(band + 3, 2 * n - 6);    // MOD
    set(band + 4, -n);           // BAL
    set(band + 5, n);            // POW
  }
  set(L::kPowLow, 64);
  set(L::kPowHighPrivate, 180);
  set(L::kPowHighCb, 156);
  set(L::kRssiS1, 48);
  set(L::kRssiS3, 112);
  set(172, 0);
  set(L::kRef, 122);
  set(L::kLvRxTarget, lvRxTarget_);
  set(L::kLvTxTarget, lvTxTarget_);
  set(L::kSql, 90);
}
