#include "RigVelaReadingText.h"

#include <cmath>
#include <cstdio>

#include "NumberFormat.h"

namespace {

enum class Scale { Volts10, Volts5, Percent, Temperature, None };

struct Slot {
  const char* label;
  Scale scale;
};

constexpr Slot kAdSlots[RigVelaReadingText::AdSlots] = {
    {"VIN  :", Scale::Volts10}, {"TEMPS:", Scale::Temperature}, {"LVIN :", Scale::Volts5},
    {"SD   :", Scale::Volts5},  {"", Scale::None},
};

constexpr Slot kDaSlots[RigVelaReadingText::DaSlots] = {
    {"T1/POW :", Scale::Volts5}, {"BPF T2 :", Scale::Volts5}, {"TX LVA :", Scale::Volts5},
    {"RX LVA :", Scale::Volts5}, {"REF    :", Scale::Volts5}, {"MOD BAL:", Scale::Percent},
    {"Dev    :", Scale::Volts5}, {"CTCSS  :", Scale::Volts5}, {"SQL Lev:", Scale::Percent},
};

std::string valueText(Scale scale, int16_t v) {
  switch (scale) {
    case Scale::Volts10: return NumberFormat::RightAligned(NumberFormat::Format(v * 10.0 / 255, "##0.#0V"), 7);
    case Scale::Volts5: return NumberFormat::RightAligned(NumberFormat::Format(v * 5.0 / 255, "##0.#0V"), 7);
    case Scale::Percent: return NumberFormat::RightAligned(NumberFormat::Format(v / 255.0, "0.00%"), 7);
    case Scale::Temperature: {
      if (v <= 0 || v >= 255) return NumberFormat::RightAligned("*Error", 8);
      return NumberFormat::RightAligned(NumberFormat::Format(RigVelaReadingText::Temperature(v), "###.#0'C"), 8);
    }
    case Scale::None: break;
  }
  return {};
}

std::string line(const Slot& slot, int16_t v) {
  if (slot.scale == Scale::None) return {};
  return slot.label + RigVelaReadingText::Prefix(v) + valueText(slot.scale, v);
}

}  // namespace

std::string RigVelaReadingText::AdLine(int16_t slot, int16_t v) {
  if (slot < 0 || slot >= AdSlots) return {};
  return line(kAdSlots[slot], v);
}

std::string RigVelaReadingText::DaLine(int16_t slot, int16_t v) {
  if (slot < 0 || slot >= DaSlots) return {};
  return line(kDaSlots[slot], v);
}

std::string RigVelaReadingText::Prefix(int16_t v) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(v) & 0xFFu);
  return NumberFormat::RightAligned(std::to_string(v), 3) + ":" + hex + "h:";
}

double RigVelaReadingText::Temperature(int16_t v) {
  const double x = 5.0 * v / 255;
  const double r = (500000 - 100000 * x) / x / 47000;
  return 1 / (std::log(r) / 4000 + 1 / 298.15) - 273.15;
}
