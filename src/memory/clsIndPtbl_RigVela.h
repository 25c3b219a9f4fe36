#pragma once
// Finds data objects through the image's own parameter table.
//
// Header at 290: entry length, entry count n, address of entry 0 (big-endian words).
// An entry holds object number, record length, record count and first-record address.
// n + 1 entries are scanned and the last match wins; with no match the field
// functions read the words at 2, 4 and 6 as if an entry stood at address 0.
// Words are read as 0..65535; entries reaching past the image end are not scanned.
// The model object owns one on the radio's image and forwards its RigVelaFunc_ lookups.
#include <cstdint>

#include "clsCmcEeprom.h"

class clsIndPtbl_RigVela {
 public:
  static constexpr int32_t HeaderAddress = 290;
  static constexpr int16_t ObjChannels = 2;
  static constexpr int16_t ObjChannelBlock2 = 3;
  static constexpr int16_t ObjCommon = 6;

  explicit clsIndPtbl_RigVela(const clsCmcEeprom& image) : image_(image) {}

  // Image address of the entry for obj; 0 when there is none.
  int32_t RigVelaFunc_Ptbl_Search(int16_t obj) const;
  int32_t RigVelaFunc_Obj_Address(int16_t obj) const { return field(obj, 6); }
  int32_t RigVelaFunc_Obj_Number(int16_t obj) const { return field(obj, 4); }
  int32_t RigVelaFunc_Obj_Size(int16_t obj) const { return field(obj, 2); }

 private:
  int32_t byteAt(int64_t adr) const;
  int32_t word(int64_t adr) const;
  int32_t field(int16_t obj, int32_t offset) const { return word(int64_t{RigVelaFunc_Ptbl_Search(obj)} + offset); }

  const clsCmcEeprom& image_;
};
