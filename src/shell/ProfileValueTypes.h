#pragma once
// Value kinds the profile stores besides plain numbers, texts and booleans.
#include <cstdint>
#include <cstdio>
#include <string>

// Fixed-point money value: a count of ten-thousandths (four decimal places).
struct ProfileCurrency {
  static constexpr int64_t Scale = 10000;

  int64_t TenThousandths = 0;

  friend bool operator==(const ProfileCurrency&, const ProfileCurrency&) = default;
};

// Calendar date and time of day, to the second, without a time zone.
struct ProfileDateTime {
  int Year = 1;
  int Month = 1;
  int Day = 1;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;

  friend bool operator==(const ProfileDateTime&, const ProfileDateTime&) = default;

  static constexpr bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

  static constexpr int DaysInMonth(int y, int m) {
    constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return (m == 2 && IsLeapYear(y)) ? 29 : days[m - 1];
  }

  // Years 1 to 9999, a real calendar day, 00:00:00 to 23:59:59.
  constexpr bool IsValid() const {
    return Year >= 1 && Year <= 9999 && Day >= 1 && Day <= DaysInMonth(Year, Month) && Hour >= 0 &&
           Hour <= 23 && Minute >= 0 && Minute <= 59 && Second >= 0 && Second <= 59;
  }

  // The ordinary text form, "yyyy-mm-dd hh:mm:ss".
  std::string ToString() const { return format("%04d-%02d-%02d %02d:%02d:%02d"); }

  // The form stored in a profile, "yyyy.mm.dd-hh:mm:ss".
  std::string ToProfileText() const { return format("%04d.%02d.%02d-%02d:%02d:%02d"); }

 private:
  std::string format(const char* pattern) const {
    char text[80];
    const int n = std::snprintf(text, sizeof text, pattern, Year, Month, Day, Hour, Minute, Second);
    if (n <= 0) return {};
    return std::string(text, static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1);
  }
};
