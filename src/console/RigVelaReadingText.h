#pragma once
// The lines of the two reading lists: label, "123:7Bh:" prefix and the value in
// volts, degrees or percent.
#include <cstdint>
#include <string>

class RigVelaReadingText {
 public:
  static constexpr int16_t AdSlots = 5;
  static constexpr int16_t DaSlots = 9;

  // Line of A/D slot 0..4 (slot 4 is an empty line) or D/A slot 0..8 for v (0..255).
  static std::string AdLine(int16_t slot, int16_t v);
  static std::string DaLine(int16_t slot, int16_t v);
  static std::string Prefix(int16_t v);
  // Thermistor temperature in degrees Celsius for an A/D byte of 1 to 254.
  static double Temperature(int16_t v);
};
