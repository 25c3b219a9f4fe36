// Feeds arbitrary profile files, names and values to the profile reader and writer.
// Input: "section NUL key NUL value NUL file text"; with fewer NULs, a selector byte
// then the file text, the selector picking one of the file's own keys (or a fixed
// one) and one of a few values. Aborts when a write that succeeded does not read
// back, a write changes more than one line of the old text, a refused write touches
// the file, a repeated write changes anything, another key reads differently
// afterwards, a temporary file is left behind, or a typed value does not survive its
// own text.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ProfileFile.h"
#include "clsCmcProfileIO.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// A RAM-backed directory when there is one: every input writes files.
const QTemporaryDir& workDir() {
  static const QTemporaryDir dir(QDir("/dev/shm").exists() ? "/dev/shm/profile-fuzz-XXXXXX"
                                                            : QDir::tempPath() + "/profile-fuzz-XXXXXX");
  require(dir.isValid());
  return dir;
}

void putFile(const QString& path, std::string_view text) {
  QFile f(path);
  require(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  require(f.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()));
}

std::string fileText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  return f.readAll().toStdString();
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// What a reader gets back for a written value: blanks and one pair of quotes go.
std::string_view trimmed(std::string_view v);

std::string readBack(std::string_view v) {
  v = trimmed(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view trimmed(std::string_view v) {
  while (!v.empty() && isBlank(v.front())) v.remove_prefix(1);
  while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
  return v;
}

// Names match trimmed and without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) { return lower(trimmed(a)) == lower(trimmed(b)); }

// Everything of the old text outside one changed stretch survives, and that stretch
// lies within one line.
bool changedAtMostOneLine(const std::string& before, const std::string& after) {
  size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view lost = std::string_view(before).substr(prefix, before.size() - prefix - suffix);
  return lost.find_first_of("\r\n") == std::string_view::npos;
}

template <typename T>
void requireRoundTrip(const std::string& text) {
  T v{};
  if (!clsCmcProfileIO::FromText(text, v)) return;
  T again{};
  require(clsCmcProfileIO::FromText(clsCmcProfileIO::ToText(v), again));
  if constexpr (std::is_floating_point_v<T>) {
    require(again == v || (std::isnan(again) && std::isnan(v)));
  } else {
    require(again == v);
  }
}

struct Probe {
  std::string section, key;
};

const Probe kProbes[] = {{"OPTION", "ComPort"}, {"option", "ComAutoRelease"}, {"PORTS", "COM1"},
                         {"A", "k"},            {"", "k"},                     {"Ravlen ADJ Rev.1.0", "k"}};

std::vector<std::string> readProbes(const std::string& path, const Probe& skip) {
  std::vector<std::string> values;
  for (const Probe& p : kProbes) {
    const bool written = sameName(p.section, skip.section) && sameName(p.key, skip.key);
    values.push_back(written ? "" : ProfileFile::ReadString(path, p.section, p.key, "\x01"));
  }
  return values;
}

// The keys the file's lines look like they hold, each with the header above it.
std::vector<Probe> keysIn(std::string_view text) {
  std::vector<Probe> keys;
  std::string section;
  size_t begin = 0;
  while (begin <= text.size()) {
    const size_t end = std::min(text.find_first_of("\r\n", begin), text.size());
    const std::string_view line = trimmed(text.substr(begin, end - begin));
    const size_t eq = line.find('=');
    if (!line.empty() && line.front() == '[') {
      const size_t close = line.find(']');
      section = std::string(trimmed(close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1)));
    } else if (!line.empty() && line.front() != ';' && eq != std::string_view::npos && eq > 0) {
      keys.push_back({section, std::string(trimmed(line.substr(0, eq)))});
    }
    begin = end + 1;
  }
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  std::string_view text = input.substr(1);
  const uint8_t selector = data[0];
  const std::vector<Probe> keys = keysIn(text);
  Probe target = keys.empty() || (selector & 0x0F) == 0 ? Probe{"OPTION", "ComPort"}
                                                         : keys[(selector & 0x0F) % keys.size()];
  const char* const values[] = {"5", " 6 ", "'q'", "", "x = y", "\"open", "-7", "2024.02.29-23:59:59"};
  std::string value = values[(selector >> 4) % 8];
  const size_t a = input.find('\0');
  const size_t b = a == std::string_view::npos ? a : input.find('\0', a + 1);
  const size_t c = b == std::string_view::npos ? b : input.find('\0', b + 1);
  if (c != std::string_view::npos) {
    target = {std::string(input.substr(0, a)), std::string(input.substr(a + 1, b - a - 1))};
    value = std::string(input.substr(b + 1, c - b - 1));
    text = input.substr(c + 1);
  }

  const QString dir = workDir().path();
  const QString qpath = dir + "/p.ini";
  const std::string path = QFile::encodeName(qpath).toStdString();
  putFile(qpath, text);
  const std::string before(text);
  const std::vector<std::string> others = readProbes(path, target);

  std::string why;
  const bool saved = ProfileFile::WriteString(path, target.section, target.key, value, &why);
  const std::string after = fileText(qpath);
  if (saved) {
    require(why.empty());
    require(ProfileFile::ReadString(path, target.section, target.key, "\x01") == readBack(value));
    require(changedAtMostOneLine(before, after));
    require(after.size() <= static_cast<size_t>(ProfileFile::MaxFileSize));
    require(ProfileFile::WriteString(path, target.section, target.key, value));
    require(fileText(qpath) == after);
    require(readProbes(path, target) == others);
  } else {
    require(after == before);
  }
  require(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) == QStringList{"p.ini"});

  // The typed reading of the same key, and every kind through its own text.
  clsCmcProfileIO io;
  io.setFullPath(path);
  io.setSection(target.section);
  int16_t port = 1;
  double level = 0.5;
  ProfileDateTime when;
  io.loadData(target.key, port);
  io.loadData(target.key, level);
  io.loadData(target.key, when);
  require(when.IsValid());
  requireRoundTrip<int16_t>(value);
  requireRoundTrip<int32_t>(value);
  requireRoundTrip<uint8_t>(value);
  requireRoundTrip<float>(value);
  requireRoundTrip<double>(value);
  requireRoundTrip<ProfileCurrency>(value);
  requireRoundTrip<ProfileDateTime>(value);
  QFile::remove(qpath);
  return 0;
}
