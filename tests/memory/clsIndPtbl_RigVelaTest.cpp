#include <gtest/gtest.h>

#include <vector>

#include "MemoryTestImage.h"
#include "clsIndPtbl_RigVela.h"

namespace {

using MemoryTestImage::Entry;

// The entry found for an object (its address, 0 for none), table by table.
TEST(Ptbl, SearchFindsTheEntry) {
  const std::vector<Entry> usual{{2, 24, 40, 0x200}, {3, 8, 40, 0x600}, {6, 64, 1, 0x800}};
  const struct {
    const char* name;
    uint16_t entryLength, count, entry0;
    std::vector<Entry> entries;
    int16_t obj;
    int32_t expected;
  } cases[] = {
      {"first entry", 10, 2, 0x130, usual, 2, 0x130},
      {"middle entry", 10, 2, 0x130, usual, 3, 0x13A},
      {"entry n is scanned", 10, 2, 0x130, usual, 6, 0x144},
      {"entry n + 1 is not", 10, 1, 0x130, usual, 6, 0},
      {"count 0 scans one entry", 10, 0, 0x130, {{6, 64, 1, 0x800}}, 6, 0x130},
      {"last duplicate wins", 12, 3, 0x140, {{2, 24, 40, 0x200}, {6, 64, 1, 0x800}, {2, 16, 20, 0x400}}, 2, 0x158},
      {"absent object", 10, 2, 0x130, {{3, 8, 40, 0x600}, {6, 64, 1, 0x800}}, 2, 0},
      {"object number is a whole word", 10, 1, 0x130, {{0x0102, 1, 1, 0x700}, {0x0202, 1, 1, 0x710}}, 2, 0},
      {"long entries", 0x100, 1, 0x300, {{5, 1, 1, 0x1000}, {2, 30, 50, 0x2000}}, 2, 0x400},
      {"entry length 0 repeats entry 0", 0, 5, 0x130, {{2, 24, 40, 0x200}}, 2, 0x130},
      // Running off the image end: bytes outside read as 0, which must not make object
      // 0 match at an address the image does not have, nor an entry 0 ending outside.
      {"table past the end", 0xFFFF, 0xFFFF, 0x7D60, {{9, 1, 1, 0x100}}, 9, 0x7D60},
      {"no object 0 past the end", 0xFFFF, 0xFFFF, 0x7D60, {{9, 1, 1, 0x100}}, 0, 0},
      {"entry 0 ending past the end", 0xFFFF, 0xFFFF, 0x7D6C, {}, 0, 0},
  };
  for (const auto& c : cases) {
    clsCmcEeprom ee;
    MemoryTestImage::putTable(ee, c.entryLength, c.count, c.entry0, c.entries);
    EXPECT_EQ(clsIndPtbl_RigVela(ee).RigVelaFunc_Ptbl_Search(c.obj), c.expected) << c.name;
  }
}

// Words above the signed 16-bit range stay positive.
TEST(Ptbl, FieldsComeFromTheMatchingEntry) {
  clsCmcEeprom ee;
  MemoryTestImage::putTable(ee, 10, 3, 0x130,
                            {{2, 24, 40, 0x200}, {3, 8, 40, 0x600}, {6, 0xFFFF, 0x8000, 0xFFFE}, {2, 0x0123, 0x4567, 0x7654}});
  clsIndPtbl_RigVela table(ee);
  const std::vector<Entry> expected{{2, 0x0123, 0x4567, 0x7654}, {3, 8, 40, 0x600}, {6, 0xFFFF, 0x8000, 0xFFFE}};
  for (const Entry& e : expected) {
    EXPECT_EQ(table.RigVelaFunc_Obj_Size(e.obj), e.size) << e.obj;
    EXPECT_EQ(table.RigVelaFunc_Obj_Number(e.obj), e.number) << e.obj;
    EXPECT_EQ(table.RigVelaFunc_Obj_Address(e.obj), e.address) << e.obj;
  }
}

// A missing object reads the words at the image start; every call reads the image afresh.
TEST(Ptbl, MissingObjectReadsTheImageStartAndEveryCallReadsAfresh) {
  clsCmcEeprom ee;
  clsIndPtbl_RigVela table(ee);
  EXPECT_EQ(table.RigVelaFunc_Obj_Address(6), 0);
  MemoryTestImage::putUsualTable(ee);
  EXPECT_EQ(table.RigVelaFunc_Obj_Address(6), MemoryTestImage::CommonAdr);
  MemoryTestImage::putTable(ee, 10, 1, 0x130, {{3, 8, 40, 0x600}, {6, 64, 1, 0x800}});
  MemoryTestImage::put16(ee, 2, 0x0011);
  MemoryTestImage::put16(ee, 4, 0x0203);
  MemoryTestImage::put16(ee, 6, 0x1A2B);
  EXPECT_EQ(table.RigVelaFunc_Ptbl_Search(2), 0);
  EXPECT_EQ(table.RigVelaFunc_Obj_Size(2), 0x11);
  EXPECT_EQ(table.RigVelaFunc_Obj_Number(2), 0x203);
  EXPECT_EQ(table.RigVelaFunc_Obj_Address(2), 0x1A2B);
  ee.seteeSize(ee.eeSize());
  EXPECT_EQ(table.RigVelaFunc_Obj_Address(6), 0);
}

}  // namespace
