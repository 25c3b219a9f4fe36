#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "NumberFormat.h"

namespace {

using R = NumberFormat::Rounding;
constexpr R A = R::HalfAwayFromZero;
constexpr R E = R::HalfEven;

// Base frequency, channel frequencies, volts, temperature, percentages, then ties:
// away from zero (A) or to even (E), decided on the decimal form as written.
TEST(NumberFormat, RendersPattern) {
  const std::tuple<double, const char*, R, const char*> cases[] = {
      {146.1, "###0.##0", A, "146.100"}, {800.0, "###0.##0", A, "800.000"}, {12345.5, "###0.##0", A, "12345.500"},
      {999.9995, "###0.##0", A, "1000.000"}, {146.52, "###0.#####0", A, "146.520000"},
      {27.185, "###0.#####0", A, "27.185000"}, {446.00625, "###0.#####0", A, "446.006250"},
      {2147.483647, "###0.#####0", A, "2147.483647"}, {128 * 5 / 255.0, "##0.#0V", A, "2.51V"},
      {10.0, "##0.#0V", A, "10.00V"}, {254 * 10 / 255.0, "##0.#0V", A, "9.96V"}, {0.004, "##0.#0V", A, "0.00V"},
      {0.006, "##0.#0V", A, "0.01V"}, {0.0004, "##0.#0V", A, "0.00V"}, {25.0, "###.#0'C", A, "25.00'C"},
      {0.5, "###.#0'C", A, ".50'C"}, {-3.456, "###.#0'C", A, "-3.46'C"}, {-0.001, "###.#0'C", A, ".00'C"},
      {-25.4, "###.#0'C", A, "-25.40'C"}, {1.0, "0.00%", A, "100.00%"}, {128 / 255.0, "0.00%", A, "50.20%"},
      {1 / 255.0, "0.00%", A, "0.39%"}, {0.125, "0.#0", A, "0.13"}, {0.125, "0.#0", E, "0.12"},
      {0.135, "0.#0", E, "0.14"}, {2.675, "0.#0", A, "2.68"}, {2.665, "0.#0", E, "2.66"},
      {-1.005, "0.#0", A, "-1.01"}, {-1.005, "0.#0", E, "-1.00"}, {0.5, "0", E, "0"}, {1.5, "0", E, "2"},
      {0.5, "0", A, "1"}, {1.5, "0.##", A, "1.5"}, {2.0, "0.##", A, "2"}, {1.25, "0.#0#", A, "1.25"},
      {1.2, "0.#0#", A, "1.20"}, {1.234, "0.#0#", A, "1.234"}, {7.0, "000.0", A, "007.0"},
      {1e20, "###0.##0", A, "100000000000000000000.000"}, {1e-20, "###0.##0", A, "0.000"},
  };
  for (const auto& [value, pattern, rounding, expected] : cases)
    EXPECT_EQ(NumberFormat::Format(value, pattern, rounding), expected) << value << " with " << pattern;
}

TEST(NumberFormat, EveryVoltReadingHasTwoDecimals) {
  // v x 5 / 255 over the whole byte range: never a tie, always "d.ddV" or "dd.ddV".
  for (int v = 0; v <= 255; ++v) {
    const double volts = v * 5 / 255.0;
    const std::string text = NumberFormat::Format(volts, "##0.#0V");
    ASSERT_EQ(text.substr(text.size() - 4, 1), ".") << text;
    EXPECT_NEAR(std::stod(text), volts, 0.005 + 1e-12) << text;
  }
}

TEST(NumberFormat, NonFiniteValuesStillCarryTheSuffix) {
  EXPECT_EQ(NumberFormat::Format(std::numeric_limits<double>::quiet_NaN(), "##0.#0V"), "NaN" "V");
  EXPECT_EQ(NumberFormat::Format(-std::numeric_limits<double>::infinity(), "###.#0'C"), "-Inf'C");
}

TEST(NumberFormat, RightAlignedKeepsTheLastCharacters) {
  const std::tuple<const char*, size_t, const char*> cases[] = {
      {"5", 4, "   5"}, {"-56", 4, " -56"}, {"-128", 4, "-128"}, {"12345", 4, "2345"},
      {"", 3, "   "},  {"146.100", 8, " 146.100"}, {"2.51V", 7, "  2.51V"},
  };
  for (const auto& [text, width, expected] : cases) EXPECT_EQ(NumberFormat::RightAligned(text, width), expected) << text;
}

TEST(NumberFormat, RoundHalfEvenSendsHalvesToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {{2.5, 2}, {7.5, 8}, {0.5, 0}, {1.5, 2}, {-2.5, -2}, {-3.5, -4},
                                             {2.4999, 2}, {2.5001, 3}, {-0.4, 0}, {19.5, 20}, {6.0, 6}};
  for (const auto& [in, out] : cases) EXPECT_EQ(NumberFormat::RoundHalfEven(in), out) << in;
}

}  // namespace
