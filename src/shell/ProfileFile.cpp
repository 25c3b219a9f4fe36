#include "ProfileFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QString>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView v) {
  qsizetype begin = 0;
  qsizetype end = v.size();
  while (begin < end && isBlank(v[begin])) ++begin;
  while (end > begin && isBlank(v[end - 1])) --end;
  return v.sliced(begin, end - begin);
}

QByteArrayView unquoted(QByteArrayView v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.sliced(1, v.size() - 2);
  return v;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(QByteArrayView a, QByteArrayView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

QByteArray bytesOf(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

QString pathOf(const std::string& path) { return QFile::decodeName(bytesOf(path)); }

// One line of the file: its text is [begin, end), its terminator [end, next).
struct LineRef {
  qsizetype begin;
  qsizetype end;
  qsizetype next;
};

// A line ends at LF; a CR right before the LF belongs to the terminator.
QList<LineRef> splitLines(const QByteArray& data) {
  QList<LineRef> lines;
  qsizetype begin = 0;
  // A UTF-8 byte order mark is not part of the first line's text.
  if (data.startsWith("\xEF\xBB\xBF")) begin = 3;
  while (begin < data.size()) {
    const qsizetype lf = data.indexOf('\n', begin);
    if (lf < 0) {
      lines.append({begin, data.size(), data.size()});
      break;
    }
    const qsizetype end = (lf > begin && data[lf - 1] == '\r') ? lf - 1 : lf;
    lines.append({begin, end, lf + 1});
    begin = lf + 1;
  }
  return lines;
}

enum class LineKind { Other, Comment, Section, BrokenSection, Key };

struct LineInfo {
  LineKind kind = LineKind::Other;
  QByteArrayView name;   // section or key name, trimmed
  QByteArrayView value;  // key value, trimmed and unquoted
};

LineInfo classify(QByteArrayView text) {
  const QByteArrayView t = trimmed(text);
  if (t.isEmpty()) return {};
  if (t.front() == ';') return {LineKind::Comment, {}, {}};
  if (t.front() == '[') {
    const qsizetype close = t.indexOf(']');
    // Keys after a header without ']' belong to no section anyone can name.
    if (close < 0) return {LineKind::BrokenSection, {}, {}};
    return {LineKind::Section, trimmed(t.sliced(1, close - 1)), {}};
  }
  const qsizetype eq = t.indexOf('=');
  if (eq <= 0) return {};
  const QByteArrayView name = trimmed(t.first(eq));
  if (name.isEmpty()) return {};
  return {LineKind::Key, name, unquoted(trimmed(t.sliced(eq + 1)))};
}

enum class FileState { Missing, Loaded, Unusable };

// Reads the whole file when it exists and looks like a profile.
FileState loadFile(const QString& path, QByteArray& data) {
  data.clear();
  if (path.isEmpty()) return FileState::Unusable;
  const QFileInfo info(path);
  if (!info.exists()) return info.isSymLink() ? FileState::Unusable : FileState::Missing;
  // Directories, devices and pipes are never opened: a pipe would block the reader.
  if (!info.isFile() || info.size() > ProfileFile::MaxFileSize) return FileState::Unusable;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return FileState::Unusable;
  data = file.read(ProfileFile::MaxFileSize + 1);
  if (file.error() != QFileDevice::NoError || data.size() > ProfileFile::MaxFileSize ||
      data.contains('\0')) {
    data.clear();
    return FileState::Unusable;
  }
  return FileState::Loaded;
}

bool hasLineBreakOrNul(QByteArrayView v) {
  return v.contains('\r') || v.contains('\n') || v.contains('\0');
}

bool validSection(QByteArrayView section) { return !hasLineBreakOrNul(section) && !section.contains(']'); }

bool validKey(QByteArrayView key) {
  return !key.isEmpty() && !hasLineBreakOrNul(key) && !key.contains('=') && key.front() != '[' &&
         key.front() != ';';
}

// The new text of the file, or an empty array when data already holds the value.
QByteArray withKey(const QByteArray& data, QByteArrayView section, QByteArrayView key,
                   QByteArrayView value) {
  const QList<LineRef> lines = splitLines(data);
  const QByteArray newline = [&] {
    const qsizetype lf = data.indexOf('\n');
    return (lf > 0 && data[lf - 1] == '\r') ? QByteArray("\r\n") : QByteArray("\n");
  }();

  qsizetype insertAfter = -1;  // line after which a new key goes
  bool inSection = false;
  bool inFirstSection = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const LineRef& line = lines[i];
    const LineInfo info = classify(QByteArrayView(data).sliced(line.begin, line.end - line.begin));
    switch (info.kind) {
      case LineKind::Section:
        inSection = sameName(info.name, section);
        inFirstSection = inSection && insertAfter < 0;
        if (inFirstSection) insertAfter = i;
        break;
      case LineKind::BrokenSection:
        inSection = inFirstSection = false;
        break;
      case LineKind::Key:
        if (!inSection) break;
        if (sameName(info.name, key)) {
          // The file's spelling of the key stays; indentation and spacing do not.
          QByteArray text = info.name.toByteArray() + '=' + value.toByteArray();
          if (QByteArrayView(data).sliced(line.begin, line.end - line.begin) == text) return {};
          QByteArray out = data;
          out.replace(line.begin, line.end - line.begin, text);
          return out;
        }
        if (inFirstSection) insertAfter = i;
        break;
      default:
        break;
    }
  }

  const QByteArray keyLine = key.toByteArray() + '=' + value.toByteArray() + newline;
  QByteArray out = data;
  if (insertAfter >= 0) {
    const LineRef& line = lines[insertAfter];
    // The last line of a file may lack its terminator.
    out.insert(line.next, line.end == line.next ? newline + keyLine : keyLine);
    return out;
  }
  if (!lines.isEmpty() && lines.last().end == lines.last().next) out += newline;
  out += '[' + section.toByteArray() + ']' + newline + keyLine;
  return out;
}

bool saveFile(const QString& path, const QByteArray& data) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace

std::string ProfileFile::ReadString(const std::string& path, const std::string& section,
                                    const std::string& key, const std::string& def) {
  const QByteArray sectionBytes = bytesOf(section);
  const QByteArray keyBytes = bytesOf(key);
  const QByteArrayView wantedSection = trimmed(sectionBytes);
  const QByteArrayView wantedKey = trimmed(keyBytes);
  if (wantedKey.isEmpty()) return def;

  QByteArray data;
  if (loadFile(pathOf(path), data) != FileState::Loaded) return def;

  bool inSection = false;
  for (const LineRef& line : splitLines(data)) {
    const LineInfo info = classify(QByteArrayView(data).sliced(line.begin, line.end - line.begin));
    if (info.kind == LineKind::Section) {
      inSection = sameName(info.name, wantedSection);
    } else if (info.kind == LineKind::BrokenSection) {
      inSection = false;
    } else if (inSection && info.kind == LineKind::Key && sameName(info.name, wantedKey)) {
      return std::string(info.value.data(), static_cast<size_t>(info.value.size()));
    }
  }
  return def;
}

bool ProfileFile::WriteString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& value) {
  const QByteArray sectionBytes = bytesOf(section);
  const QByteArray keyBytes = bytesOf(key);
  const QByteArray valueBytes = bytesOf(value);
  const QByteArrayView wantedSection = trimmed(sectionBytes);
  const QByteArrayView wantedKey = trimmed(keyBytes);
  if (!validSection(wantedSection) || !validKey(wantedKey) || hasLineBreakOrNul(valueBytes)) {
    return false;
  }

  const QString filePath = pathOf(path);
  QByteArray data;
  if (loadFile(filePath, data) == FileState::Unusable) return false;
  const QByteArray out = withKey(data, wantedSection, wantedKey, valueBytes);
  if (out.isEmpty()) return true;  // the file already says so
  if (out.size() > MaxFileSize) return false;
  return saveFile(filePath, out);
}
