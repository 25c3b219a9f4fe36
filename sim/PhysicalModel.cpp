#include "PhysicalModel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kKelvin = 273.15;
constexpr double kRoomKelvin = 298.15;
constexpr double kBeta = 4000.0;
constexpr double kThermistorAtRoom = 47000.0;
constexpr double kSeriesResistor = 100000.0;
constexpr double kSupplyRail = 5.0;

uint8_t toCode(double v, int lowest, int highest) {
  return static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(v)), lowest, highest));
}

}  // namespace

PhysicalModel::PhysicalModel(const TransceiverSettings& settings)
    : temperatureC_(settings.temperatureC),
      supplyVolts_(settings.supplyVolts),
      t1Centre_(settings.bpfT1Centre),
      t2Centre_(settings.bpfT2Centre) {}

uint8_t PhysicalModel::supplyCode() const { return toCode(supplyVolts_ * 255.0 / 10.0, 0, 255); }

// The divider voltage for the set temperature, as an 8-bit code of 0..5 V. The ends
// 0 and 255 mean a broken sensor and are never produced.
uint8_t PhysicalModel::temperatureCode() const {
  const double ratio = std::exp(kBeta * (1.0 / (temperatureC_ + kKelvin) - 1.0 / kRoomKelvin));
  const double volts =
      kSupplyRail * kSeriesResistor / (kThermistorAtRoom * ratio + kSeriesResistor);
  return toCode(volts * 255.0 / kSupplyRail, 1, 254);
}

int PhysicalModel::stageResponse(int value, int centre) {
  const int off = value < centre ? std::max(0, centre - kPlateauBelow - value)
                                 : std::max(0, value - centre - kPlateauAbove);
  return std::max(0, kStagePeak - kStageSlope * off);
}

uint8_t PhysicalModel::signalLevel(uint8_t t1, uint8_t t2) const {
  const int level = kSignalFloor + stageResponse(t1, t1Centre_) + stageResponse(t2, t2Centre_);
  return static_cast<uint8_t>(std::min(level, 255));
}

std::optional<uint8_t> PhysicalModel::reading(uint8_t code, const Inputs& in) const {
  switch (code) {
    case kAdSupply: return supplyCode();
    case kAdTemperature: return temperatureCode();
    case kAdSignal: return signalLevel(in.bpfT1, in.bpfT2);
    case kAdLevel: return levelVoltage(in.txLvaLastSent ? in.txLva : in.rxLva);
    case kDaTone: return in.tone;
    case kDaRef: return in.ref;
    case kDaBalance: return in.balance;
    case kDaDeviation: return in.deviation;
    case kDaSquelch: return in.squelch;
    case kDaBpfT1: return in.bpfT1;
    case kDaBpfT2: return in.bpfT2;
    case kDaTxLva: return in.txLva;
    case kDaRxLva: return in.rxLva;
    default: return std::nullopt;
  }
}
