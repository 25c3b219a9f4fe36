#include "LineSettings.h"

#include <charconv>
#include <vector>

namespace {

std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == ',') {
      fields.emplace_back();
    } else if (c != ' ') {
      fields.back() += c;
    }
  }
  return fields;
}

bool parseInt(const std::string& s, int32_t& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::optional<LineSettings> LineSettings::Parse(const std::string& text) {
  const std::vector<std::string> f = splitFields(text);
  if (f.size() != 4) return std::nullopt;
  LineSettings s;
  int32_t dataBits = 0;
  if (!parseInt(f[0], s.baud) || s.baud <= 0) return std::nullopt;
  if (f[1].size() != 1) return std::nullopt;
  s.parity = static_cast<char>(f[1][0] & ~0x20);  // upper case
  if (std::string("NEOMS").find(s.parity) == std::string::npos) return std::nullopt;
  if (!parseInt(f[2], dataBits) || dataBits < 5 || dataBits > 8) return std::nullopt;
  s.dataBits = dataBits;
  if (f[3] == "1") {
    s.stopTenths = 10;
  } else if (f[3] == "1.5") {
    s.stopTenths = 15;
  } else if (f[3] == "2") {
    s.stopTenths = 20;
  } else {
    return std::nullopt;
  }
  return s;
}
