#include "clsCmcProfileIO.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <system_error>

#include "ProfileFile.h"

namespace {

constexpr const char* kUtilityFolder = "ravlen-adj";

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A '+' sign is accepted in front of a number; the converters below only take '-'.
std::string_view numberText(const std::string& text) {
  std::string_view s = trimBlanks(text);
  if (s.size() >= 2 && s[0] == '+' && (isDigit(s[1]) || s[1] == '.')) s.remove_prefix(1);
  return s;
}

// The whole text must be the number and the number must fit T.
template <typename T>
bool parseWhole(const std::string& text, T& v) {
  const std::string_view s = numberText(text);
  if (s.empty()) return false;
  T parsed{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), parsed);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  v = parsed;
  return true;
}

template <typename T>
std::string shortestText(T v) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
  if (ec != std::errc()) return {};
  return std::string(text, end);
}

bool digitsValue(std::string_view s, int& v) {
  int n = 0;
  for (char c : s) {
    if (!isDigit(c)) return false;
    n = n * 10 + (c - '0');
  }
  v = n;
  return true;
}

}  // namespace

void clsCmcProfileIO::setFullPath(const std::string& text) {
  const std::string dir = directoryPart(text, '/');
  path_ = dir == "/" ? dir : dir + "/";
  name_ = GetFileName(text);
}

void clsCmcProfileIO::SetCurrentPath() {
  const std::string dir = UtilityDirectory();
  path_ = dir == "/" ? dir : dir + "/";
}

std::string clsCmcProfileIO::StripTerminator(const std::string& text) {
  const size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string clsCmcProfileIO::GetFileName(const std::string& path) {
  const size_t last = path.find_last_of("\\/:");
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string clsCmcProfileIO::GetPathName(const std::string& path) { return directoryPart(path, '\\'); }

std::string clsCmcProfileIO::directoryPart(const std::string& path, char separator) {
  const char other = separator == '\\' ? '/' : '\\';
  std::string s = path;
  for (char& c : s) {
    if (c == other) c = separator;
  }
  // Positions count from 1; 0 means none.
  const size_t length = s.size();
  const size_t first = s.find(separator);
  const size_t firstPos = first == std::string::npos ? 0 : first + 1;
  size_t cut = 0;
  if (firstPos == length) {
    cut = length > 1 ? length - 1 : length;
  } else {
    const size_t last = s.rfind(separator);
    cut = last == std::string::npos ? 0 : last + 1;
  }

  std::string dir;
  if (cut > 0) {
    dir = s.substr(0, cut);
    if (dir.back() == ':') dir += separator;
  } else {
    dir = UtilityDirectory();
  }
  if (!dir.empty() && dir.back() == separator) dir.pop_back();
  return dir;
}

std::string clsCmcProfileIO::UtilityDirectory() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = getpwuid(getuid());
      home = user != nullptr ? user->pw_dir : nullptr;
    }
    base = std::string(home != nullptr ? home : "") + "/.config";
  }
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/" + kUtilityFolder;
}

bool clsCmcProfileIO::writeText(const std::string& key, const std::string& text) {
  const std::string file = GetMyProfile();
  std::string refusal;
  if (ProfileFile::WriteString(file, section_, key, text, &refusal)) {
    lastRefusal_.clear();
    return true;
  }
  if (!refusal.empty() && file + '\n' + refusal != lastRefusal_) {
    lastRefusal_ = file + '\n' + refusal;
    std::fprintf(stderr, "ravlen-adj: settings not saved: %s %s\n", file.c_str(), refusal.c_str());
  }
  return false;
}

std::string clsCmcProfileIO::readText(const std::string& key, const std::string& defaultText) const {
  std::string text = ProfileFile::ReadString(GetMyProfile(), section_, key, defaultText);
  if (text.size() > ReadBufferSize - 1) text.resize(ReadBufferSize - 1);
  return text;
}

std::string clsCmcProfileIO::withoutTrailingBlanks(const std::string& text) {
  const size_t last = text.find_last_not_of(' ');
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string clsCmcProfileIO::ToText(int16_t v) { return std::to_string(v); }
std::string clsCmcProfileIO::ToText(int32_t v) { return std::to_string(v); }
std::string clsCmcProfileIO::ToText(uint8_t v) { return std::to_string(static_cast<unsigned>(v)); }
// The shortest text that reads back as the same number.
std::string clsCmcProfileIO::ToText(float v) { return shortestText(v); }
std::string clsCmcProfileIO::ToText(double v) { return shortestText(v); }

// Whole part, then up to four decimals without trailing zeros: 12.5, -0.0001, 3.
std::string clsCmcProfileIO::ToText(const ProfileCurrency& v) {
  const bool negative = v.TenThousandths < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v.TenThousandths)
                                      : static_cast<uint64_t>(v.TenThousandths);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / ProfileCurrency::Scale);
  uint64_t fraction = magnitude % ProfileCurrency::Scale;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    digits.erase(digits.find_last_not_of('0') + 1);
    text += "." + digits;
  }
  return text;
}

std::string clsCmcProfileIO::ToText(const ProfileDateTime& v) { return v.ToProfileText(); }

bool clsCmcProfileIO::FromText(const std::string& text, int16_t& v) { return parseWhole(text, v); }
bool clsCmcProfileIO::FromText(const std::string& text, int32_t& v) { return parseWhole(text, v); }
bool clsCmcProfileIO::FromText(const std::string& text, uint8_t& v) { return parseWhole(text, v); }
bool clsCmcProfileIO::FromText(const std::string& text, float& v) { return parseWhole(text, v); }
bool clsCmcProfileIO::FromText(const std::string& text, double& v) { return parseWhole(text, v); }

// Decimal text with an optional sign and point; digits past the fourth decimal round
// half to even.
bool clsCmcProfileIO::FromText(const std::string& text, ProfileCurrency& v) {
  std::string_view s = numberText(text);
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  uint64_t units = 0;  // ten-thousandths
  bool anyDigit = false;
  size_t i = 0;
  for (; i < s.size() && isDigit(s[i]); ++i) {
    if (__builtin_mul_overflow(units, 10u, &units) ||
        __builtin_add_overflow(units, static_cast<uint64_t>(s[i] - '0'), &units)) {
      return false;
    }
    anyDigit = true;
  }
  if (__builtin_mul_overflow(units, static_cast<uint64_t>(ProfileCurrency::Scale), &units)) return false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    uint64_t place = ProfileCurrency::Scale / 10;
    int roundDigit = -1;       // the fifth decimal
    bool restNonZero = false;  // any later decimal
    for (; i < s.size() && isDigit(s[i]); ++i) {
      const int d = s[i] - '0';
      if (place > 0) {
        units += static_cast<uint64_t>(d) * place;
        place /= 10;
      } else if (roundDigit < 0) {
        roundDigit = d;
      } else if (d != 0) {
        restNonZero = true;
      }
      anyDigit = true;
    }
    const bool up = roundDigit > 5 || (roundDigit == 5 && (restNonZero || (units % 2) == 1));
    if (up && __builtin_add_overflow(units, 1u, &units)) return false;
  }
  if (!anyDigit || i != s.size()) return false;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  if (units > limit) return false;
  v.TenThousandths = negative ? static_cast<int64_t>(0 - units) : static_cast<int64_t>(units);
  return true;
}

// yyyy.mm.dd-hh:mm:ss, read by position; a text of another length is left alone.
bool clsCmcProfileIO::FromText(const std::string& text, ProfileDateTime& v) {
  if (text.size() != 19) return true;
  const std::string_view s = text;
  ProfileDateTime t;
  if (!digitsValue(s.substr(0, 4), t.Year) || !digitsValue(s.substr(5, 2), t.Month) ||
      !digitsValue(s.substr(8, 2), t.Day) || !digitsValue(s.substr(11, 2), t.Hour) ||
      !digitsValue(s.substr(14, 2), t.Minute) || !digitsValue(s.substr(17, 2), t.Second) || !t.IsValid()) {
    return false;
  }
  v = t;
  return true;
}

bool clsCmcProfileIO::FromText(const std::string& text, std::string& v) {
  v = text;
  return true;
}

bool clsCmcProfileIO::FromText(const std::string& text, bool& v) {
  v = text != "0";
  return true;
}
