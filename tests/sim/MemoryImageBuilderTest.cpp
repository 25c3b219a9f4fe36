#include <gtest/gtest.h>

#include <array>
#include <set>

#include "ImageLayout.h"
#include "MemoryImageBuilder.h"
#include "ParameterTable.h"
#include "PcWire.h"

namespace {

int word(const Bytes& image, int adr) { return image.at(adr) * 256 + image.at(adr + 1); }

// The utility's lookup: count + 1 entries from the header at 290, last match wins.
struct Found {
  int entry = 0;
  int size = 0;
  int count = 0;
  int address = 0;
};

Found lookUp(const Bytes& image, int obj) {
  const int length = word(image, 290);
  const int n = word(image, 292);
  int p = word(image, 294);
  Found f;
  for (int i = 0; i <= n; ++i) {
    if (word(image, p) == obj) f.entry = p;
    p += length;
  }
  f.size = word(image, f.entry + 2);
  f.count = word(image, f.entry + 4);
  f.address = word(image, f.entry + 6);
  return f;
}

bool bit(const Bytes& image, int adr, int b) { return (image.at(adr) >> b) & 1; }

uint32_t freq(const Bytes& image, int adr) {
  return static_cast<uint32_t>(word(image, adr)) << 16 | static_cast<uint32_t>(word(image, adr + 2));
}

// The utility's test for a programmed channel.
bool appears(const Bytes& image, int c) {
  const Found ch = lookUp(image, 2);
  const int adr = ch.address + c * ch.size;
  return bit(image, adr, 7) || freq(image, adr) > 0;
}

TEST(ImageBuilder, ParameterTableHoldsTheThreeObjects) {
  const Bytes image = MemoryImageBuilder().build();
  ASSERT_EQ(image.size(), 32112u);
  const Found channels = lookUp(image, 2);
  const Found block2 = lookUp(image, 3);
  const Found common = lookUp(image, 6);
  ASSERT_NE(channels.entry, 0);
  ASSERT_NE(block2.entry, 0);
  ASSERT_NE(common.entry, 0);
  EXPECT_GE(channels.size, 21);
  EXPECT_GE(block2.size, 5);
  EXPECT_GE(channels.count, 40);
  EXPECT_GE(block2.count, channels.count);
  EXPECT_GE(common.size, 38);
  // The entry after the last counted one takes part in the scan and matches nothing.
  const int lastScanned = word(image, 294) + word(image, 290) * word(image, 292);
  EXPECT_EQ(word(image, lastScanned), 0xFFFF);
  // All values stay inside the 16-bit signed range the reader handles.
  for (const Found& f : {channels, block2, common}) {
    EXPECT_LT(f.address + f.size * f.count, 32768);
    EXPECT_LE(f.address + f.size * f.count, 32112);
  }
}

TEST(ImageBuilder, ObjectsOverlapNeitherEachOtherNorTheFixedBytes) {
  const Bytes image = MemoryImageBuilder().build();
  const int tableEnd = word(image, 294) + word(image, 290) * (word(image, 292) + 1);
  std::vector<std::pair<int, int>> ranges{{0, 296}, {word(image, 294), tableEnd}};
  for (int obj : {1, 2, 3, 4, 5, 6}) {
    const Found f = lookUp(image, obj);
    ASSERT_NE(f.entry, 0) << obj;
    ranges.emplace_back(f.address, f.address + f.size * f.count);
  }
  for (size_t i = 0; i < ranges.size(); ++i) {
    for (size_t j = i + 1; j < ranges.size(); ++j) {
      const bool apart = ranges[i].second <= ranges[j].first || ranges[j].second <= ranges[i].first;
      EXPECT_TRUE(apart) << i << " and " << j;
    }
  }
}

TEST(ImageBuilder, ProgrammedChannelsAsPlanned) {
  const Bytes image = MemoryImageBuilder().build();
  std::set<int> present;
  for (int c = 0; c < 40; ++c) {
    if (appears(image, c)) present.insert(c);
  }
  EXPECT_EQ(present, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11}));

  const Found ch = lookUp(image, 2);
  const Found b2 = lookUp(image, 3);
  auto rx = [&](int c) { return ch.address + c * ch.size; };
  auto tx = [&](int c) { return ch.address + 4 + c * ch.size; };
  auto flags = [&](int c) { return b2.address + c * b2.size; };

  // Receive side inhibited on 6, transmit side on 7, nowhere else.
  for (int c : present) {
    EXPECT_EQ(bit(image, rx(c), 7), c == 6) << c;
    EXPECT_EQ(bit(image, tx(c), 7), c == 7) << c;
  }
  // A channel whose transmit frequency differs from its receive frequency.
  EXPECT_NE(freq(image, rx(9)), freq(image, tx(9)));
  EXPECT_GT(freq(image, tx(9)), 0u);
  EXPECT_EQ(freq(image, rx(0)), freq(image, tx(0)));
  // CB and private channels, high and low power.
  for (int c = 0; c <= 7; ++c) EXPECT_TRUE(bit(image, flags(c) + 4, 7)) << c;
  for (int c : {9, 10, 11}) EXPECT_FALSE(bit(image, flags(c) + 4, 7)) << c;
  EXPECT_TRUE(bit(image, flags(0), 0));
  EXPECT_FALSE(bit(image, flags(9), 0));
  EXPECT_EQ(image.at(rx(10) + 20) & 3, 1);
  EXPECT_TRUE(bit(image, rx(10) + 20, 6));
}

TEST(ImageBuilder, ChannelsCanBeChanged) {
  MemoryImageBuilder builder;
  builder.clearChannel(0).setChannel(20, {446000000, 446000000, false, false, false, true, 0, false});
  const Bytes image = builder.build();
  EXPECT_FALSE(appears(image, 0));
  EXPECT_TRUE(appears(image, 20));
  EXPECT_THROW(builder.setChannel(40, {}), std::out_of_range);
}

TEST(ImageBuilder, MidFlagIsSwitchable) {
  const Bytes narrow = MemoryImageBuilder().build();
  const Bytes mid = MemoryImageBuilder().setMid(true).build();
  const int flagByte = lookUp(narrow, 6).address + 37;
  EXPECT_FALSE(bit(narrow, flagByte, 7));
  EXPECT_TRUE(bit(mid, flagByte, 7));
  // Only that bit differs.
  Bytes changed = mid;
  changed[static_cast<size_t>(flagByte)] ^= 0x80;
  EXPECT_EQ(changed, narrow);
  EXPECT_TRUE(VirtualTransceiver(TransceiverSettings{}, mid).midVariant());
  EXPECT_FALSE(VirtualTransceiver(TransceiverSettings{}, narrow).midVariant());
}

TEST(ImageBuilder, AdjustmentBytesArePlausible) {
  using namespace ImageLayout;
  const Bytes image = MemoryImageBuilder().build();
  const int base = word(image, kBaseFrequency) * 100;  // kHz
  EXPECT_GT(base, 0);
  EXPECT_LE(base, 800000);
  EXPECT_LT(image[kPowLow], image[kPowHighPrivate]);
  EXPECT_GT(image[kPowHighCb], image[kPowLow]);
  // Signed slants carry both signs.
  int negative = 0, positive = 0;
  for (int a = kFreqSlants; a < kFreqSlants + 42; ++a) {
    if (image[a] > 127) ++negative;
    else if (image[a] > 0) ++positive;
  }
  for (int a = kTempSlants; a < kTempSlants + 4; ++a) {
    if (image[a] > 127) ++negative;
  }
  EXPECT_GT(negative, 0);
  EXPECT_GT(positive, 0);
  // Every byte of the parameter display holds a set value, not erased memory.
  for (int a : {kToneLevel, kBpfT1, kBpfT2, kBpfCorrection, kRxLva, kTxLva, kModW, kBal,
                kModWMid, kBalMid, kRssiS1, kRssiS3, kRef, kSql, kPowLow}) {
    EXPECT_NE(image[a], 0xFF) << a;
  }
  EXPECT_NE(image[kModW], image[kModWMid]) << "the middle-bandwidth bytes are told apart";
}

TEST(ImageBuilder, LevelTargetsAreReachableStrictlyInside) {
  const Bytes image = MemoryImageBuilder().setLvTargets(17, 230).build();
  EXPECT_EQ(image[ImageLayout::kLvRxTarget], 17);
  EXPECT_EQ(image[ImageLayout::kLvTxTarget], 230);
  pcwire::Bench bench;
  for (uint8_t command : {uint8_t{0x06}, uint8_t{0x07}}) {
    bench.adjust(command, 0);
    const int low = *bench.read(5);
    bench.adjust(command, 255);
    const int high = *bench.read(5);
    for (int adr : {ImageLayout::kLvRxTarget, ImageLayout::kLvTxTarget}) {
      EXPECT_GT(bench.rig.memoryByte(adr), low);
      EXPECT_LT(bench.rig.memoryByte(adr), high);
    }
  }
}

// ---- the transceiver's own lookup ------------------------------------------------------

Bytes tableImage(int length, int count, int start, const std::vector<std::array<int, 4>>& entries) {
  Bytes image(1000, 0);
  auto put = [&image](int adr, int v) {
    image[static_cast<size_t>(adr)] = static_cast<uint8_t>(v >> 8);
    image[static_cast<size_t>(adr) + 1] = static_cast<uint8_t>(v & 0xFF);
  };
  put(290, length);
  put(292, count);
  put(294, start);
  for (size_t i = 0; i < entries.size(); ++i) {
    for (int k = 0; k < 4; ++k) put(start + static_cast<int>(i) * length + 2 * k, entries[i][k]);
  }
  for (int a = 2; a < 8; ++a) image[static_cast<size_t>(a)] = static_cast<uint8_t>(a);
  return image;
}

TEST(ParameterTableLookup, LaterEntryWins) {
  const Bytes image = tableImage(12, 2, 400, {{2, 24, 40, 500}, {2, 30, 10, 600}});
  const ParameterTable table(image);
  EXPECT_EQ(table.entryOf(2), 412);
  EXPECT_EQ(table.address(2), 600);
  EXPECT_EQ(table.recordSize(2), 30);
  EXPECT_EQ(table.recordCount(2), 10);
}

TEST(ParameterTableLookup, ScansCountPlusOneEntries) {
  const Bytes image = tableImage(8, 1, 400, {{1, 1, 1, 1}, {6, 64, 1, 700}, {3, 8, 40, 800}});
  const ParameterTable table(image);
  EXPECT_EQ(table.address(6), 700);  // entry 1 of a count of 1
  EXPECT_EQ(table.entryOf(3), 0);     // entry 2 is beyond the scan
}

TEST(ParameterTableLookup, MissingObjectReadsTheStartOfTheImage) {
  const Bytes image = tableImage(8, 0, 400, {{1, 1, 1, 1}});
  const ParameterTable table(image);
  EXPECT_EQ(table.entryOf(2), 0);
  EXPECT_EQ(table.recordSize(2), 0x0203);
  EXPECT_EQ(table.recordCount(2), 0x0405);
  EXPECT_EQ(table.address(2), 0x0607);
}

}  // namespace
