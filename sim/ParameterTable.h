#pragma once
// Looks up data objects in an image's own parameter table, scanning the way the
// utility does: count + 1 entries, the last match wins, no match reads entry 0 as
// if it stood at address 0.
#include <cstdint>

#include "Common.h"

class ParameterTable {
 public:
  explicit ParameterTable(const Bytes& image) : image_(image) {}

  // Address of the entry for obj, 0 if none.
  int32_t entryOf(int16_t obj) const;
  int32_t recordSize(int16_t obj) const { return word(entryOf(obj) + 2); }
  int32_t recordCount(int16_t obj) const { return word(entryOf(obj) + 4); }
  int32_t address(int16_t obj) const { return word(entryOf(obj) + 6); }

  // Big-endian 16-bit value at adr (bytes outside the image read as 0).
  int32_t word(int32_t adr) const;

 private:
  int32_t byteAt(int32_t adr) const;

  const Bytes& image_;
};
