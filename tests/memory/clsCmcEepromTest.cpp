#include <gtest/gtest.h>

#include "clsCmcEeprom.h"

namespace {

TEST(Eeprom, SingleBytesAreRangeChecked) {
  clsCmcEeprom ee;
  EXPECT_EQ(ee.eeSize(), 32112);
  EXPECT_EQ(ee.ReadByte(32111), 0);
  EXPECT_EQ(ee.WriteByte(32111, 5), 0);
  EXPECT_EQ(ee.ReadByte(32111), 5);
  EXPECT_EQ(ee.WriteByte(32112, 5), 1);
  EXPECT_EQ(ee.WriteByte(-1, 5), 1);
  EXPECT_EQ(ee.ReadByte(-1), 0);
  EXPECT_EQ(ee.ReadByte(32112), 0);
  EXPECT_EQ(ee.ReadByte(INT32_MIN), 0);
  EXPECT_EQ(ee.ReadByte(INT32_MAX), 0);
}

TEST(Eeprom, BlocksCheckFirstAndLastAddress) {
  clsCmcEeprom ee;
  const Bytes block(16, 0xAB);
  EXPECT_EQ(ee.WriteBlock(ee.eeSize() - 15, block), 1);
  for (int32_t a = ee.eeSize() - 16; a < ee.eeSize(); ++a) EXPECT_EQ(ee.ReadByte(a), 0);
  EXPECT_EQ(ee.WriteBlock(ee.eeSize() - 16, block), 0);
  for (int32_t a = ee.eeSize() - 16; a < ee.eeSize(); ++a) EXPECT_EQ(ee.ReadByte(a), 0xAB);
  EXPECT_EQ(ee.WriteBlock(-1, block), 1);
  // An address near the top of the 32-bit range must not wrap into the image.
  EXPECT_EQ(ee.WriteBlock(INT32_MAX, block), 1);
  EXPECT_EQ(ee.FillBlock(INT32_MAX, 1, INT32_MAX), 1);
}

TEST(Eeprom, EmptyBlockChecksTheAddressBefore) {
  clsCmcEeprom ee;
  EXPECT_EQ(ee.WriteBlock(0, Bytes{}), 1);
  EXPECT_EQ(ee.WriteBlock(100, Bytes{}), 0);
  EXPECT_EQ(ee.FillBlock(0, 7, 0), 1);
  EXPECT_EQ(ee.FillBlock(100, 7, 0), 0);
  EXPECT_EQ(ee.ReadByte(100), 0);
}

TEST(Eeprom, FillBlockSetsTheWholeRange) {
  clsCmcEeprom ee;
  EXPECT_EQ(ee.FillBlock(ee.eeSize() - 16, 0xFF, 16), 0);
  EXPECT_EQ(ee.ReadByte(ee.eeSize() - 17), 0);
  for (int32_t a = ee.eeSize() - 16; a < ee.eeSize(); ++a) EXPECT_EQ(ee.ReadByte(a), 255);
  EXPECT_EQ(ee.FillBlock(ee.eeSize() - 15, 0xFF, 16), 1);
}

TEST(Eeprom, ResizingClearsTheImage) {
  clsCmcEeprom ee;
  ee.WriteByte(5, 9);
  ee.seteeSize(100);
  EXPECT_EQ(ee.eeSize(), 100);
  EXPECT_EQ(ee.ReadByte(5), 0);
  EXPECT_EQ(ee.WriteByte(99, 1), 0);
  EXPECT_EQ(ee.WriteByte(100, 1), 1);
  ee.seteeSize(-5);
  EXPECT_EQ(ee.eeSize(), 0);
  EXPECT_EQ(ee.WriteByte(0, 1), 1);
}

TEST(Eeprom, ReadBitFollowsTheByte) {
  clsCmcEeprom ee;
  for (int v = 0; v < 256; ++v) {
    ee.WriteByte(10, static_cast<uint8_t>(v));
    EXPECT_EQ(ee.ReadBit(10, 7), v >= 128 ? 1 : 0) << v;
    EXPECT_EQ(ee.ReadBit(10, 0), v & 1) << v;
  }
  ee.WriteByte(10, 0xFF);
  EXPECT_EQ(ee.ReadBit(10, 8), 0);
  EXPECT_EQ(ee.ReadBit(10, 30), 0);
  EXPECT_EQ(ee.ReadBit(10, -1), 0);
  EXPECT_EQ(ee.ReadBit(40000, 0), 0);
}

TEST(Eeprom, ReadBlockOutsideTheImageReadsZero) {
  clsCmcEeprom ee;
  ee.FillBlock(0, 0x11, ee.eeSize());
  EXPECT_TRUE(ee.ReadBlock(0, 0).empty());
  EXPECT_TRUE(ee.ReadBlock(0, -3).empty());
  EXPECT_EQ(ee.ReadBlock(ee.eeSize() - 2, 4), (Bytes{0x11, 0x11, 0, 0}));
  EXPECT_EQ(ee.ReadBlock(-2, 4), (Bytes{0, 0, 0x11, 0x11}));
  EXPECT_EQ(ee.ReadBlock(INT32_MAX, 2), (Bytes{0, 0}));
}

}  // namespace
