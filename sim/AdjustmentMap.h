#pragma once
// E8 adjustment commands and the memory bytes they set.
#include <cstdint>
#include <optional>

class AdjustmentMap {
 public:
  static constexpr uint8_t kSelectChannel = 0x00;
  static constexpr uint8_t kStart = 0x02;
  static constexpr uint8_t kRead = 0x03;
  static constexpr uint8_t kRxLva = 0x06;
  static constexpr uint8_t kTxLva = 0x07;

  // Memory address written by an adjustment command, if it is one.
  static std::optional<int32_t> addressOf(uint8_t command);
};
