#pragma once
// Numeric display patterns such as "###0.##0", "##0.#0V", "###.#0'C" and "0.00%".
//
// Pattern: integer placeholders, optionally "." and fraction placeholders, then
// literal text. "0" is a digit always shown, "#" a digit shown only when significant;
// every fraction digit up to the last "0" is shown, later ones only when not zero.
// A "%" in the literal text multiplies the value by 100.
// Rounding works on the value's 15-significant-digit decimal form, so 2.675 is a
// tie (as written) rather than the binary 2.67499...
#include <cstddef>
#include <string>
#include <string_view>

class NumberFormat {
 public:
  enum class Rounding { HalfAwayFromZero, HalfEven };

  static std::string Format(double value, std::string_view pattern,
                            Rounding rounding = Rounding::HalfAwayFromZero);

  // The last width characters of width blanks followed by text.
  static std::string RightAligned(std::string_view text, size_t width);

  // Rounds to a whole number; halves go to the even neighbour (2.5 -> 2, 7.5 -> 8).
  static double RoundHalfEven(double value);
};
