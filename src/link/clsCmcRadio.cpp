#include "clsCmcRadio.h"

clsCmcEeprom& clsCmcRadio::eepImage() {
  if (!eepImage_) eepImage_ = std::make_unique<clsCmcEeprom>();
  return *eepImage_;
}

std::string clsCmcRadio::AddressText(int32_t adr) {
  const uint16_t low = static_cast<uint16_t>(static_cast<uint32_t>(adr) & 0xFFFF);
  const uint8_t bytes[2] = {static_cast<uint8_t>(low >> 8), static_cast<uint8_t>(low & 0xFF)};
  return Common::BinToHexStr(bytes, 2);
}

void clsCmcRadio::cloneWriteAdrList_Add(int32_t adr0, int32_t adr1) {
  cloneWriteAdrList_ += AddressText(adr0) + "-" + AddressText(adr1) + ",";
}
