#include "CurvesReadingScale.h"

#include <limits>

#include "RigVelaReadingText.h"

namespace {

struct Slot {
  const char* name;
  CurvesReadingScale::Unit unit;
  double fullScale;
};

using U = CurvesReadingScale::Unit;
constexpr Slot kAd[] = {{"VIN", U::Volts, 10.0},      {"TEMPS", U::Celsius, 0.0}, {"LVIN", U::Volts, 5.0},
                        {"SD", U::Volts, 5.0},        {"", U::None, 0.0}};
constexpr Slot kDa[] = {{"T1/POW", U::Volts, 5.0}, {"BPF T2", U::Volts, 5.0},   {"TX LVA", U::Volts, 5.0},
                        {"RX LVA", U::Volts, 5.0}, {"REF", U::Volts, 5.0},      {"MOD BAL", U::Percent, 100.0},
                        {"Dev", U::Volts, 5.0},    {"CTCSS", U::Volts, 5.0},    {"SQL Lev", U::Percent, 100.0}};

const Slot* slotOf(int list, int slot) {
  if (list == 0 && slot >= 0 && slot < static_cast<int>(std::size(kAd))) return &kAd[slot];
  if (list == 1 && slot >= 0 && slot < static_cast<int>(std::size(kDa))) return &kDa[slot];
  return nullptr;
}

}  // namespace

CurvesReadingScale::Unit CurvesReadingScale::unit(int list, int slot) {
  const Slot* s = slotOf(list, slot);
  return s ? s->unit : None;
}

QString CurvesReadingScale::name(int list, int slot) {
  const Slot* s = slotOf(list, slot);
  return s ? QString::fromLatin1(s->name) : QString();
}

QString CurvesReadingScale::unitName(Unit unit) {
  switch (unit) {
    case Volts: return "V";
    case Percent: return "%";
    case Celsius: return QString::fromUtf8("\u00B0C");
    case None: break;
  }
  return {};
}

double CurvesReadingScale::value(int list, int slot, int16_t v) {
  const Slot* s = slotOf(list, slot);
  if (s == nullptr || s->unit == None) return std::numeric_limits<double>::quiet_NaN();
  if (s->unit == Celsius) {
    if (v <= 0 || v >= 255) return std::numeric_limits<double>::quiet_NaN();
    return RigVelaReadingText::Temperature(v);
  }
  return v * s->fullScale / 255.0;
}
