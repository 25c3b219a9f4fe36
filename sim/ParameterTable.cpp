#include "ParameterTable.h"

#include "ImageLayout.h"

int32_t ParameterTable::byteAt(int32_t adr) const {
  if (adr < 0 || static_cast<size_t>(adr) >= image_.size()) return 0;
  return image_[static_cast<size_t>(adr)];
}

int32_t ParameterTable::word(int32_t adr) const {
  return static_cast<int16_t>(byteAt(adr) * 256 + byteAt(adr + 1));
}

int32_t ParameterTable::entryOf(int16_t obj) const {
  const int32_t length = word(ImageLayout::kTableEntryLength);
  const int32_t count = word(ImageLayout::kTableEntryCount);
  int32_t p = word(ImageLayout::kTableStart);
  int32_t found = 0;
  for (int32_t i = 0; i <= count; ++i) {
    if (word(p) == obj) found = p;
    p += length;
  }
  return found;
}
