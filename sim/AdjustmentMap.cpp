#include "AdjustmentMap.h"

#include <array>
#include <utility>

#include "ImageLayout.h"

std::optional<int32_t> AdjustmentMap::addressOf(uint8_t command) {
  namespace L = ImageLayout;
  static constexpr std::array<std::pair<uint8_t, int32_t>, 18> kMap{{
      {0x05, L::kRef},        {0x06, L::kRxLva},      {0x07, L::kTxLva},      {0x08, L::kSql},
      {0x09, L::kPowHighCb},  {0x0A, L::kPowHighPrivate}, {0x0B, L::kPowLow}, {0x0C, L::kModW},
      {0x0D, L::kRatioLevel}, {0x0E, L::kModWMid},    {0x0F, L::kToneLevel},  {0x10, L::kBal},
      {0x11, L::kBal2},       {0x12, L::kBalMid},     {0x13, L::kBpfT1},      {0x14, L::kBpfT2},
      {0x15, L::kRssiS1},     {0x16, L::kRssiS3},
  }};
  for (const auto& [cmd, adr] : kMap) {
    if (cmd == command) return adr;
  }
  return std::nullopt;
}
