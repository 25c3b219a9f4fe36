#include <gtest/gtest.h>

#include "clsCmcRadio.h"

namespace {

TEST(Radio, WriteListEntriesAreTenCharacters) {
  clsCmcRadio r;
  r.cloneWriteAdrList_Add(0, 32111);
  r.cloneWriteAdrList_Add(256, 511);
  EXPECT_EQ(r.cloneWriteAdrList(), "0000-7D6F,0100-01FF,");
  r.cloneWriteAdrList_Clear();
  r.cloneWriteAdrList_Add(0x12345, -1);
  EXPECT_EQ(r.cloneWriteAdrList(), "2345-FFFF,");
}

}  // namespace
