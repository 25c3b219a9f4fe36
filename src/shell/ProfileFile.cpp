#include "ProfileFile.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QString>
#include <string>
#include <utility>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView v) {
  qsizetype begin = 0;
  qsizetype end = v.size();
  while (begin < end && isBlank(v[begin])) ++begin;
  while (end > begin && isBlank(v[end - 1])) --end;
  return v.sliced(begin, end - begin);
}

// One pair of matching double or single quotes around the whole value goes.
QByteArrayView unquoted(QByteArrayView v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.sliced(1, v.size() - 2);
  }
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

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

// A line ends at CR LF, LF or a lone CR.
QList<LineRef> splitLines(const QByteArray& data) {
  QList<LineRef> lines;
  qsizetype begin = 0;
  // A UTF-8 byte order mark is not part of the first line's text.
  if (data.startsWith("\xEF\xBB\xBF")) begin = 3;
  while (begin < data.size()) {
    qsizetype end = begin;
    while (end < data.size() && !isLineBreak(data[end])) ++end;
    qsizetype next = end;
    if (next < data.size()) {
      const bool crlf = data[next] == '\r' && next + 1 < data.size() && data[next + 1] == '\n';
      next += crlf ? 2 : 1;
    }
    lines.append({begin, end, next});
    begin = next;
  }
  return lines;
}

// The file's first line ending, LF when it has none.
QByteArray lineEndingOf(const QByteArray& data) {
  for (qsizetype i = 0; i < data.size(); ++i) {
    if (data[i] == '\n') return "\n";
    if (data[i] == '\r') return (i + 1 < data.size() && data[i + 1] == '\n') ? "\r\n" : "\r";
  }
  return "\n";
}

enum class LineKind { Other, Comment, Section, Key };

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
    // A header without its ']' names the rest of the line.
    const qsizetype close = t.indexOf(']');
    const QByteArrayView name = close < 0 ? t.sliced(1) : t.sliced(1, close - 1);
    return {LineKind::Section, trimmed(name), {}};
  }
  const qsizetype eq = t.indexOf('=');
  if (eq <= 0) return {};
  const QByteArrayView name = trimmed(t.first(eq));
  if (name.isEmpty()) return {};
  return {LineKind::Key, name, unquoted(trimmed(t.sliced(eq + 1)))};
}

QByteArrayView textOf(const QByteArray& data, const LineRef& line) {
  return QByteArrayView(data).sliced(line.begin, line.end - line.begin);
}

// The lines of the first section of that name: its header and the line after its
// last one. Later sections of the same name are not looked at.
struct SectionRange {
  qsizetype header = -1;  // none
  qsizetype end = 0;
};

SectionRange firstSection(const QByteArray& data, const QList<LineRef>& lines, QByteArrayView section) {
  SectionRange range;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const LineInfo info = classify(textOf(data, lines[i]));
    if (info.kind != LineKind::Section) continue;
    if (range.header >= 0) {
      range.end = i;
      return range;
    }
    if (sameName(info.name, section)) range.header = i;
  }
  range.end = lines.size();
  return range;
}

enum class FileState { Missing, Loaded, Unusable };

std::string sizeLimitText() { return "the size limit of " + std::to_string(ProfileFile::MaxFileSize) + " bytes"; }

// Reads the whole file when it exists and looks like a profile; otherwise refusal
// says why it is not one.
FileState loadFile(const QString& path, QByteArray& data, std::string& refusal) {
  data.clear();
  refusal.clear();
  const auto unusable = [&](std::string why) {
    data.clear();
    refusal = std::move(why);
    return FileState::Unusable;
  };
  if (path.isEmpty()) return unusable("has no name");
  const QFileInfo info(path);
  if (!info.exists()) return info.isSymLink() ? unusable("is a link to nothing") : FileState::Missing;
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return unusable("cannot be read");
  // Directories, devices and pipes are never opened: a pipe would block the reader.
  if (!S_ISREG(st.st_mode)) return unusable("is not a regular file");
  if (info.size() > ProfileFile::MaxFileSize) return unusable("is over " + sizeLimitText());
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return unusable("cannot be read");
  data = file.read(ProfileFile::MaxFileSize + 1);
  if (file.error() != QFileDevice::NoError) return unusable("cannot be read");
  if (data.size() > ProfileFile::MaxFileSize) return unusable("is over " + sizeLimitText());
  if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) return unusable("is UTF-16 text");
  if (data.contains('\0')) return unusable("holds NUL bytes");
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
  const QByteArray newline = lineEndingOf(data);
  const SectionRange range = firstSection(data, lines, section);

  // A new key follows the section's last line that is not blank.
  qsizetype insertAfter = range.header;
  for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
    const LineRef& line = lines[i];
    const QByteArrayView text = textOf(data, line);
    const LineInfo info = classify(text);
    if (info.kind == LineKind::Key && sameName(info.name, key)) {
      // The file's spelling of the key stays; indentation and spacing do not.
      QByteArray keyText = info.name.toByteArray() + '=' + value.toByteArray();
      if (text == keyText) return {};
      QByteArray out = data;
      out.replace(line.begin, line.end - line.begin, keyText);
      return out;
    }
    if (!trimmed(text).isEmpty()) insertAfter = i;
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

// Replaces the file as a whole; on failure why says what went wrong.
bool saveFile(const QString& path, const QByteArray& data, std::string& why) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    why = "cannot be written: its folder cannot be made";
    return false;
  }
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit()) return true;
  why = "cannot be written: " + file.errorString().toStdString();
  file.cancelWriting();
  return false;
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
  std::string refusal;
  if (loadFile(pathOf(path), data, refusal) != FileState::Loaded) return def;

  const QList<LineRef> lines = splitLines(data);
  const SectionRange range = firstSection(data, lines, wantedSection);
  for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
    const LineInfo info = classify(textOf(data, lines[i]));
    if (info.kind == LineKind::Key && sameName(info.name, wantedKey)) {
      return std::string(info.value.data(), static_cast<size_t>(info.value.size()));
    }
  }
  return def;
}

bool ProfileFile::WriteString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& value, std::string* refusal) {
  const QByteArray sectionBytes = bytesOf(section);
  const QByteArray keyBytes = bytesOf(key);
  const QByteArray valueBytes = bytesOf(value);
  const QByteArrayView wantedSection = trimmed(sectionBytes);
  const QByteArrayView wantedKey = trimmed(keyBytes);
  if (refusal != nullptr) refusal->clear();
  if (!validSection(wantedSection) || !validKey(wantedKey) || hasLineBreakOrNul(valueBytes)) {
    return false;
  }

  const QString filePath = pathOf(path);
  QByteArray data;
  std::string why;
  if (loadFile(filePath, data, why) != FileState::Unusable) {
    const QByteArray out = withKey(data, wantedSection, wantedKey, valueBytes);
    if (out.isEmpty()) return true;  // the file already says so
    if (out.size() > MaxFileSize) {
      why = "would grow over " + sizeLimitText();
    } else if (saveFile(filePath, out, why)) {
      return true;
    }
  }
  if (refusal != nullptr) *refusal = why;
  return false;
}
