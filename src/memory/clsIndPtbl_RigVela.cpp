#include "clsIndPtbl_RigVela.h"

namespace {
constexpr int64_t EntryFieldsLength = 8;
}

int32_t clsIndPtbl_RigVela::byteAt(int64_t adr) const {
  return adr >= 0 && adr < image_.eeSize() ? image_.ReadByte(static_cast<int32_t>(adr)) : 0;
}

int32_t clsIndPtbl_RigVela::word(int64_t adr) const { return byteAt(adr) * 256 + byteAt(adr + 1); }

int32_t clsIndPtbl_RigVela::RigVelaFunc_Ptbl_Search(int16_t obj) const {
  const int64_t entryLength = word(HeaderAddress);
  const int64_t count = word(HeaderAddress + 2);
  int64_t p = word(HeaderAddress + 4);
  int32_t result = 0;
  for (int64_t i = 0; i <= count; ++i, p += entryLength) {
    if (p + EntryFieldsLength > image_.eeSize()) break;
    if (word(p) == static_cast<int32_t>(obj)) result = static_cast<int32_t>(p);
  }
  return result;
}
