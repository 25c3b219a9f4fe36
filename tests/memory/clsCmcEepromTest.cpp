#include <gtest/gtest.h>

#include <functional>

#include "clsCmcEeprom.h"

namespace {

// Each write of 0xAB bytes into a blank image: its result, and the range it may change
// (none when first > last). A refused write changes nothing at all.
TEST(Eeprom, WritesAreRangeCheckedAndRefusedOnesChangeNothing) {
  const Bytes block(16, 0xAB);
  const int32_t end = 32112;
  const struct {
    const char* name;
    std::function<int16_t(clsCmcEeprom&)> write;
    int16_t result;
    int32_t first = 1, last = 0;
  } cases[] = {
      {"last byte", [](clsCmcEeprom& e) { return e.WriteByte(end - 1, 0xAB); }, 0, end - 1, end - 1},
      {"byte past the end", [](clsCmcEeprom& e) { return e.WriteByte(end, 0xAB); }, 1},
      {"byte before the start", [](clsCmcEeprom& e) { return e.WriteByte(-1, 0xAB); }, 1},
      {"last block", [&](clsCmcEeprom& e) { return e.WriteBlock(end - 16, block); }, 0, end - 16, end - 1},
      {"block past the end", [&](clsCmcEeprom& e) { return e.WriteBlock(end - 15, block); }, 1},
      {"block before the start", [&](clsCmcEeprom& e) { return e.WriteBlock(-1, block); }, 1},
      // An address near the top of the 32-bit range must not wrap into the image.
      {"block at the top", [&](clsCmcEeprom& e) { return e.WriteBlock(INT32_MAX, block); }, 1},
      {"fill at the top", [](clsCmcEeprom& e) { return e.FillBlock(INT32_MAX, 0xAB, INT32_MAX); }, 1},
      {"last fill", [](clsCmcEeprom& e) { return e.FillBlock(end - 16, 0xAB, 16); }, 0, end - 16, end - 1},
      {"fill past the end", [](clsCmcEeprom& e) { return e.FillBlock(end - 15, 0xAB, 16); }, 1},
      // Empty writes check the address before.
      {"empty block at 0", [](clsCmcEeprom& e) { return e.WriteBlock(0, Bytes{}); }, 1},
      {"empty block at 100", [](clsCmcEeprom& e) { return e.WriteBlock(100, Bytes{}); }, 0},
      {"empty fill at 0", [](clsCmcEeprom& e) { return e.FillBlock(0, 0xAB, 0); }, 1},
      {"empty fill at 100", [](clsCmcEeprom& e) { return e.FillBlock(100, 0xAB, 0); }, 0},
  };
  for (const auto& c : cases) {
    clsCmcEeprom ee;
    EXPECT_EQ(c.write(ee), c.result) << c.name;
    Bytes expected(end, 0);
    for (int32_t a = c.first; a <= c.last; ++a) expected[a] = 0xAB;
    EXPECT_TRUE(ee.bytes() == expected) << c.name;
  }
}

TEST(Eeprom, ReadsOutsideTheImageGiveZeroAndResizingClearsIt) {
  clsCmcEeprom ee;
  ee.FillBlock(0, 0xFF, ee.eeSize());
  for (int32_t adr : {-1, 32112, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(ee.ReadByte(adr), 0) << adr;
    EXPECT_EQ(ee.ReadBit(adr, 0), 0) << adr;
  }
  EXPECT_TRUE(ee.ReadBlock(0, 0).empty());
  EXPECT_TRUE(ee.ReadBlock(0, -3).empty());
  EXPECT_EQ(ee.ReadBlock(ee.eeSize() - 2, 4), (Bytes{0xFF, 0xFF, 0, 0}));
  EXPECT_EQ(ee.ReadBlock(-2, 4), (Bytes{0, 0, 0xFF, 0xFF}));
  EXPECT_EQ(ee.ReadBlock(INT32_MAX, 2), (Bytes{0, 0}));
  for (int16_t bit : {8, 30, -1}) EXPECT_EQ(ee.ReadBit(10, bit), 0) << bit;
  ee.seteeSize(100);
  EXPECT_EQ(ee.ReadByte(5), 0);
  EXPECT_EQ(ee.WriteByte(99, 1), 0);
  EXPECT_EQ(ee.WriteByte(100, 1), 1);
  ee.seteeSize(-5);
  EXPECT_EQ(ee.eeSize(), 0);
  EXPECT_EQ(ee.WriteByte(0, 1), 1);
}

}  // namespace
