#pragma once
// The transceiver this utility serves: identification, memory image, write list.
#include <cstdint>
#include <memory>
#include <string>

#include "clsCmcEeprom.h"

class clsCmcRadio {
 public:
  const std::string& radioNameM() const { return radioNameM_; }
  void setradioNameM(const std::string& v) { radioNameM_ = v; }
  const std::string& radionameS() const { return radionameS_; }
  void setradionameS(const std::string& v) { radionameS_ = v; }

  // Created the first time it is read.
  clsCmcEeprom& eepImage();

  void cloneWriteAdrList_Clear() { cloneWriteAdrList_.clear(); }
  void cloneWriteAdrList_Add(int32_t adr0, int32_t adr1);
  const std::string& cloneWriteAdrList() const { return cloneWriteAdrList_; }

  // Four upper-case hex digits: the last four of the 32-bit two's complement.
  static std::string AddressText(int32_t adr);

 private:
  std::string radioNameM_ = "0000";
  std::string radionameS_ = "0000";
  std::unique_ptr<clsCmcEeprom> eepImage_;
  std::string cloneWriteAdrList_;
};
