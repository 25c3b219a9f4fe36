#include <gtest/gtest.h>

#include "clsCmcRadio.h"

namespace {

TEST(Radio, StartsWithZeroCodesAndAnEmptyList) {
  clsCmcRadio r;
  EXPECT_EQ(r.radioNameM(), "0000");
  EXPECT_EQ(r.radionameS(), "0000");
  EXPECT_EQ(r.cloneWriteAdrList(), "");
  EXPECT_EQ(r.eepImage().eeSize(), 32112);
}

TEST(Radio, WriteListEntriesAreTenCharacters) {
  clsCmcRadio r;
  r.cloneWriteAdrList_Add(0, 32111);
  EXPECT_EQ(r.cloneWriteAdrList(), "0000-7D6F,");
  r.cloneWriteAdrList_Add(256, 511);
  EXPECT_EQ(r.cloneWriteAdrList(), "0000-7D6F,0100-01FF,");
  r.cloneWriteAdrList_Clear();
  r.cloneWriteAdrList_Add(0x12345, -1);
  EXPECT_EQ(r.cloneWriteAdrList(), "2345-FFFF,");
}

TEST(Radio, ImageIsCreatedOnceAndKept) {
  clsCmcRadio r;
  r.eepImage().WriteByte(3, 7);
  EXPECT_EQ(&r.eepImage(), &r.eepImage());
  EXPECT_EQ(r.eepImage().ReadByte(3), 7);
}

}  // namespace
