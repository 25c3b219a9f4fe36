#pragma once
// Decodes the Selvik memory image: channel records, the "Mid" variant flag, the base
// frequency, the stored adjustment values as a parameter text, and a hex dump.
// Nothing is cached except channel names: every call reads the image afresh.
//
// Channel record (object 2): bytes 0-3 receive Hz, 4-7 transmit Hz (big-endian, bit 7
// of the first byte = side inhibited), byte 20 bits 0-1 digital mode, bit 6 mode flag.
// Second block (object 3): byte 0 bit 0 set = high power, byte 4 bit 7 set = CB.
#include <array>
#include <cstdint>
#include <string>

#include "clsCmcEeprom.h"
#include "clsIndPtbl_RigVela.h"

class clsIndEep_RigVela {
 public:
  static constexpr int16_t ChNameCount = 42;

  // Both are held by reference and must outlive the decoder.
  clsIndEep_RigVela(const clsCmcEeprom& image, const clsIndPtbl_RigVela& table);

  void RigVelaEep_SetCommonAddress(int32_t start_address) { commonAdr_ = start_address; }
  int32_t commonAdr() const { return commonAdr_; }
  bool RigVelaEep_GetMid() const;

  bool RigVelaEep_GetChAppear(int32_t start_address, int16_t chNo) const;
  std::string RigVelaEep_GetChName(int16_t chNo);
  // Cached name of chNo (one blank until RigVelaEep_GetChName was asked for it).
  const std::string& chNames(int16_t chNo) const;
  int32_t RigVelaEep_GetChFreqRxReal(int32_t start_address, int16_t chNo) const;
  int32_t RigVelaEep_GetChFreqTxReal(int32_t start_address, int16_t chNo) const;
  int16_t RigVelaEep_GetChRFPower(int32_t start_address, int16_t chNo) const;
  bool RigVelaEep_GetChModeCB(int32_t start_address, int16_t chNo) const;
  int16_t RigVelaEep_GetChModeDig(int32_t start_address, int16_t chNo) const;
  bool RigVelaEep_GetChMode(int32_t start_address, int16_t chNo) const;

  // Frequency in Hz of the block at adr; the inhibit bit is not part of it.
  int32_t ReadFreqBlock(int64_t adr) const;
  bool Check_Inh(int64_t adr) const;
  bool Check_MRCH(int64_t adr) const;
  // Base frequency in Hz: bytes 80-81 in 100 kHz units, 0 when above 800 MHz.
  int32_t ReadBaseFreqBlock() const;
  // Bytes 172-173, or 174-175 when sft is true, as one number.
  int32_t ReadLSD(bool sft) const;

  // The 63 labelled lines of stored adjustment values, each ending in CR LF.
  std::string RigVelaEep_DispPara() const;
  // The whole image as rows of 16 hex bytes under the heading "         EEPROM Data".
  std::string RigVelaEep_DispDebug() const;

  static std::string RigVelaEep_FmtUnsigned(int32_t v);
  static std::string RigVelaEep_FmtSigned(int32_t v);

 private:
  int32_t byteAt(int64_t adr) const;
  bool bitAt(int64_t adr, int bit) const { return (byteAt(adr) >> bit) & 1; }
  static int64_t recordAddress(int32_t start_address, int16_t chNo, int32_t recordSize);
  int64_t channelRecord(int32_t start_address, int16_t chNo) const;
  int64_t block2Record(int32_t start_address, int16_t chNo) const;

  const clsCmcEeprom& image_;
  const clsIndPtbl_RigVela& table_;
  int32_t commonAdr_ = 0;
  std::array<std::string, ChNameCount> chNames_;
};
