#pragma once
// The live readings in the units their lists show them: volts, per cent, °C.
#include <QString>
#include <cstdint>

class CurvesReadingScale {
 public:
  enum Unit { None = -1, Volts = 0, Percent = 1, Celsius = 2 };
  static constexpr int Units = 3;

  static Unit unit(int list, int slot);
  static QString name(int list, int slot);
  static QString unitName(Unit unit);
  // NaN for a temperature the list shows as an error.
  static double value(int list, int slot, int16_t v);
};
