#pragma once
// The PC's copy of the transceiver's memory, with range-checked access.
#include <cstdint>
#include <vector>

#include "Common.h"

class clsCmcEeprom {
 public:
  static constexpr int32_t DefaultSize = 32112;

  clsCmcEeprom();

  int32_t eeSize() const { return static_cast<int32_t>(image_.size()); }
  void seteeSize(int32_t lo);  // the image becomes lo zero bytes

  int16_t ReadByte(int32_t adr) const;
  int16_t WriteByte(int32_t adr, uint8_t data);
  int16_t ReadBit(int32_t adr, int16_t bit) const;
  int16_t FillBlock(int32_t adr, uint8_t data, int32_t siz);
  int16_t WriteBlock(int32_t adr, const uint8_t* data, int32_t count);
  int16_t WriteBlock(int32_t adr, const Bytes& vr);
  // Addresses outside the image read as 0.
  Bytes ReadBlock(int32_t adr, int32_t siz) const;

  const Bytes& bytes() const { return image_; }

 private:
  bool valid(int64_t adr) const { return adr >= 0 && adr < static_cast<int64_t>(image_.size()); }
  bool validRange(int32_t adr, int64_t count) const { return valid(adr) && valid(adr + count - 1); }

  Bytes image_;
};
