#pragma once
// What the transceiver's A/D inputs and D/A outputs read, 0 to 255.
//   A/D 0 VIN    supply voltage, v x 10 / 255 volts
//   A/D 3 TEMPS  thermistor (B 4000 K, 47 kOhm at 25 C) against 100 kOhm from 5 V
//   A/D 4 SD     detector level: peaks on a 4-value plateau from each BPF stage's tuned point
//                -1 to +2, so that its middle rounds down to the tuned point
//   A/D 5 LVIN   level voltage: equals the LVA value last sent (RX or TX)
//   D/A 11..19   read back the adjustment values that drive them
#include <cstdint>
#include <optional>

#include "TransceiverSettings.h"

class PhysicalModel {
 public:
  static constexpr uint8_t kAdSupply = 0;
  static constexpr uint8_t kAdTemperature = 3;
  static constexpr uint8_t kAdSignal = 4;
  static constexpr uint8_t kAdLevel = 5;
  static constexpr uint8_t kDaTone = 11;
  static constexpr uint8_t kDaRef = 12;
  static constexpr uint8_t kDaBalance = 13;
  static constexpr uint8_t kDaDeviation = 14;
  static constexpr uint8_t kDaSquelch = 15;
  static constexpr uint8_t kDaBpfT1 = 16;
  static constexpr uint8_t kDaBpfT2 = 17;
  static constexpr uint8_t kDaTxLva = 18;
  static constexpr uint8_t kDaRxLva = 19;

  // Signal level: a floor plus one response per BPF stage.
  static constexpr int kSignalFloor = 20;
  static constexpr int kStagePeak = 110;
  static constexpr int kStageSlope = 3;  // per step off the plateau
  static constexpr int kPlateauBelow = 1, kPlateauAbove = 2;  // around the tuned point

  // The live adjustment values the readings depend on.
  struct Inputs {
    uint8_t bpfT1 = 0;
    uint8_t bpfT2 = 0;
    uint8_t rxLva = 0;
    uint8_t txLva = 0;
    bool txLvaLastSent = false;  // which LVA drives LVIN
    uint8_t ref = 0;
    uint8_t balance = 0;
    uint8_t deviation = 0;
    uint8_t tone = 0;
    uint8_t squelch = 0;
  };

  explicit PhysicalModel(const TransceiverSettings& settings);

  // The reading for an A/D or D/A code; nothing for a code the transceiver lacks.
  std::optional<uint8_t> reading(uint8_t code, const Inputs& in) const;

  uint8_t supplyCode() const;
  uint8_t temperatureCode() const;
  uint8_t signalLevel(uint8_t t1, uint8_t t2) const;
  static uint8_t levelVoltage(uint8_t lva) { return lva; }

 private:
  static int stageResponse(int value, int centre);

  double temperatureC_;
  double supplyVolts_;
  int t1Centre_;
  int t2Centre_;
};
