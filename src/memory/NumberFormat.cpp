#include "NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct Pattern {
  size_t minInt = 0;   // integer digits always shown
  size_t minFrac = 0;  // fraction digits always shown
  size_t maxFrac = 0;  // fraction digits at most
  std::string suffix;
  bool percent = false;
};

bool isPlaceholder(char c) { return c == '#' || c == '0'; }

Pattern parse(std::string_view p) {
  Pattern out;
  size_t i = 0;
  while (i < p.size() && isPlaceholder(p[i])) ++i;
  const std::string_view intPart = p.substr(0, i);
  if (const size_t z = intPart.find('0'); z != std::string_view::npos) out.minInt = intPart.size() - z;
  if (i < p.size() && p[i] == '.') {
    const size_t start = ++i;
    while (i < p.size() && isPlaceholder(p[i])) ++i;
    const std::string_view frac = p.substr(start, i - start);
    out.maxFrac = frac.size();
    if (const size_t z = frac.rfind('0'); z != std::string_view::npos) out.minFrac = z + 1;
  }
  out.suffix = std::string(p.substr(i));
  out.percent = out.suffix.find('%') != std::string::npos;
  return out;
}

// Decimal digits of a non-negative value: digits with the point after pointPos of them
// (pointPos may be negative or beyond the digits).
struct Decimal {
  std::string digits;
  long pointPos = 0;
};

Decimal toDecimal(double magnitude) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", magnitude);  // d.dddddddddddddde+XX
  const std::string text(buf);
  const size_t e = text.find('e');
  Decimal d;
  d.digits = text.substr(0, 1) + text.substr(2, e - 2);
  d.pointPos = std::strtol(text.c_str() + e + 1, nullptr, 10) + 1;
  return d;
}

// Keeps maxFrac fraction digits, rounding the first dropped one away.
Decimal roundTo(Decimal d, size_t maxFrac, NumberFormat::Rounding rounding) {
  const long keep = d.pointPos + static_cast<long>(maxFrac);
  if (keep >= static_cast<long>(d.digits.size())) return d;
  if (keep < 0) return Decimal{"0", 1};
  const std::string rest = d.digits.substr(static_cast<size_t>(keep));
  std::string kept = d.digits.substr(0, static_cast<size_t>(keep));
  bool up = rest[0] > '5';
  if (rest[0] == '5') {
    const bool beyondHalf = rest.find_first_not_of('0', 1) != std::string::npos;
    const bool lastOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    up = beyondHalf || rounding == NumberFormat::Rounding::HalfAwayFromZero || lastOdd;
  }
  if (up) {
    size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(kept.begin(), '1');
      ++d.pointPos;
    } else {
      ++kept[i - 1];
    }
  }
  if (kept.empty()) return Decimal{"0", 1};
  d.digits = kept;
  return d;
}

}  // namespace

std::string NumberFormat::Format(double value, std::string_view pattern, Rounding rounding) {
  const Pattern p = parse(pattern);
  if (p.percent) value *= 100.0;
  if (std::isnan(value)) return "NaN" + p.suffix;
  if (std::isinf(value)) return (value < 0 ? "-Inf" : "Inf") + p.suffix;

  const Decimal d = roundTo(toDecimal(std::fabs(value)), p.maxFrac, rounding);
  std::string intDigits;
  std::string fracDigits;
  for (long i = 0; i < d.pointPos; ++i)
    intDigits += i < static_cast<long>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';
  for (long i = d.pointPos; i < d.pointPos + static_cast<long>(p.maxFrac); ++i)
    fracDigits += i >= 0 && i < static_cast<long>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';

  const size_t firstSignificant = intDigits.find_first_not_of('0');
  intDigits = firstSignificant == std::string::npos ? "" : intDigits.substr(firstSignificant);
  if (intDigits.size() < p.minInt) intDigits.insert(0, p.minInt - intDigits.size(), '0');
  while (fracDigits.size() > p.minFrac && fracDigits.back() == '0') fracDigits.pop_back();

  const bool nonZero = (intDigits + fracDigits).find_first_not_of('0') != std::string::npos;
  if (intDigits.empty() && fracDigits.empty()) intDigits = "0";
  std::string out = (value < 0 && nonZero) ? "-" : "";
  out += intDigits;
  if (!fracDigits.empty()) out += "." + fracDigits;
  return out + p.suffix;
}

std::string NumberFormat::RightAligned(std::string_view text, size_t width) {
  std::string padded(width, ' ');
  padded += text;
  return padded.substr(padded.size() - width);
}

double NumberFormat::RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double diff = value - lower;
  if (diff < 0.5) return lower;
  if (diff > 0.5) return lower + 1.0;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}
