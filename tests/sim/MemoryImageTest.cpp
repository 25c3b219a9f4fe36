#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "ImageFile.h"
#include "MemoryImageBuilder.h"
#include "VirtualTransceiver.h"

namespace {

int word(const Bytes& image, int adr) { return image.at(adr) * 256 + image.at(adr + 1); }
bool bit(const Bytes& image, int adr, int b) { return (image.at(adr) >> b) & 1; }
uint32_t freq(const Bytes& image, int adr) {  // 31 bits; bit 7 of the first byte is a flag
  return (uint32_t(word(image, adr)) << 16 | uint32_t(word(image, adr + 2))) & 0x7FFFFFFF;
}

// The utility's lookup: count + 1 entries from the header at 290, the last match wins.
struct Found {
  int entry = 0, size = 0, count = 0, address = 0;
};
Found lookUp(const Bytes& image, int obj) {
  int entry = 0;
  for (int i = 0, p = word(image, 294); i <= word(image, 292); ++i, p += word(image, 290)) {
    if (word(image, p) == obj) entry = p;
  }
  return {entry, word(image, entry + 2), word(image, entry + 4), word(image, entry + 6)};
}

TEST(ImageBuilder, ParameterTableAsTheReaderScansItAndTheMidFlag) {
  const Bytes image = MemoryImageBuilder().build();
  ASSERT_EQ(image.size(), 32112u);
  const Found channels = lookUp(image, 2), block2 = lookUp(image, 3), common = lookUp(image, 6);
  EXPECT_GE(channels.size, 21);
  EXPECT_GE(channels.count, 40);
  EXPECT_GE(block2.size, 5);
  EXPECT_GE(block2.count, channels.count);
  EXPECT_GE(common.size, 38);
  // The entry after the last counted one is scanned too and matches nothing.
  const int tableEnd = word(image, 294) + word(image, 290) * (word(image, 292) + 1);
  EXPECT_EQ(word(image, tableEnd - word(image, 290)), 0xFFFF);
  // Objects overlap neither each other, nor the table, nor the fixed bytes below 296.
  std::vector<std::pair<int, int>> ranges{{0, 296}, {word(image, 294), tableEnd}};
  for (int obj = 1; obj <= 6; ++obj) {
    const Found f = lookUp(image, obj);
    ASSERT_NE(f.entry, 0) << obj;
    ranges.emplace_back(f.address, f.address + f.size * f.count);
    EXPECT_LE(ranges.back().second, 32112) << obj;
  }
  for (size_t i = 0; i < ranges.size(); ++i) {
    for (size_t j = i + 1; j < ranges.size(); ++j) {
      EXPECT_TRUE(ranges[i].second <= ranges[j].first || ranges[j].second <= ranges[i].first)
          << i << " and " << j;
    }
  }
  // "Mid" is bit 7 of byte 37 of the common block, and nothing else changes with it.
  const Bytes mid = MemoryImageBuilder().setMid(true).build();
  Bytes changed = mid;
  changed[size_t(common.address + 37)] ^= 0x80;
  EXPECT_TRUE(changed == image && !bit(image, common.address + 37, 7));
  EXPECT_TRUE(VirtualTransceiver({}, mid).midVariant());
  EXPECT_FALSE(VirtualTransceiver({}, image).midVariant());
}

TEST(ImageBuilder, ChannelsPresentAndInhibitedAsPlanned) {
  const Bytes image = MemoryImageBuilder().build();
  const Found ch = lookUp(image, 2);
  std::set<int> present;
  for (int c = 0; c < 40; ++c) {
    const int rx = ch.address + c * ch.size, tx = rx + 4;
    // The utility's test for a programmed channel.
    if (!bit(image, rx, 7) && freq(image, rx) == 0) continue;
    present.insert(c);
    EXPECT_EQ(bit(image, rx, 7), c == 6) << c;  // receive side inhibited
    EXPECT_EQ(bit(image, tx, 7), c == 7) << c;  // transmit side inhibited
    EXPECT_EQ(freq(image, rx) != freq(image, tx), c == 9) << c;  // split channel
  }
  EXPECT_EQ(present, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11}));
}

TEST(ImageFile, RoundTripAndWrongSizesRefused) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("ravlen-sim-image-" + std::to_string(::getpid()) + ".bin"))
                               .string();
  Bytes image = MemoryImageBuilder().setMid(true).build();
  image[12345] = 0x5A;
  ImageFile::save(path, image);
  EXPECT_EQ(std::filesystem::file_size(path), 32112u);
  EXPECT_TRUE(ImageFile::load(path) == image);
  EXPECT_THROW(ImageFile::save(path, Bytes(32113, 0)), std::runtime_error);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(100, 'x');
  std::string message = "loaded";
  try {
    ImageFile::load(path);
  } catch (const std::runtime_error& e) {
    message = e.what();
  }
  EXPECT_NE(message.find(path + " has 100 bytes"), std::string::npos) << message;
  std::remove(path.c_str());
}

}  // namespace
