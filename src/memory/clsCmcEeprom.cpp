#include "clsCmcEeprom.h"

#include <algorithm>
#include <cstring>

clsCmcEeprom::clsCmcEeprom() : image_(DefaultSize, 0) {}

void clsCmcEeprom::seteeSize(int32_t lo) {
  image_.assign(static_cast<size_t>(std::max<int32_t>(lo, 0)), 0);
}

int16_t clsCmcEeprom::ReadByte(int32_t adr) const { return valid(adr) ? image_[adr] : 0; }

int16_t clsCmcEeprom::WriteByte(int32_t adr, uint8_t data) {
  if (!valid(adr)) return 1;
  image_[adr] = data;
  return 0;
}

int16_t clsCmcEeprom::ReadBit(int32_t adr, int16_t bit) const {
  if (!valid(adr) || bit < 0 || bit > 7) return 0;
  return (image_[adr] >> bit) & 1;
}

int16_t clsCmcEeprom::FillBlock(int32_t adr, uint8_t data, int32_t siz) {
  if (!validRange(adr, siz)) return 1;
  if (siz > 0) std::fill_n(image_.begin() + adr, siz, data);
  return 0;
}

int16_t clsCmcEeprom::WriteBlock(int32_t adr, const uint8_t* data, int32_t count) {
  if (!validRange(adr, count)) return 1;
  if (count > 0) std::memcpy(image_.data() + adr, data, static_cast<size_t>(count));
  return 0;
}

int16_t clsCmcEeprom::WriteBlock(int32_t adr, const Bytes& vr) {
  return WriteBlock(adr, vr.data(), static_cast<int32_t>(vr.size()));
}

Bytes clsCmcEeprom::ReadBlock(int32_t adr, int32_t siz) const {
  if (siz <= 0) return {};
  Bytes out(static_cast<size_t>(siz), 0);
  const int64_t first = std::max<int64_t>(adr, 0);
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(adr) + siz, eeSize());
  for (int64_t a = first; a < end; ++a) out[static_cast<size_t>(a - adr)] = image_[a];
  return out;
}
