#include "SessionRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "UnifiedDiff.h"

namespace {

std::string timeText(std::time_t t, const char* format) {
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  const size_t n = std::strftime(buf, sizeof buf, format, &local);
  return std::string(buf, n);
}

// Only letters and digits of the sub code go into a file name.
std::string safeName(const std::string& text) {
  std::string out;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) out += c;
  }
  return out.empty() ? "unknown" : out;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

}  // namespace

std::string SessionRecorder::backupsFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr ? home : "") + "/.local/share";
  }
  return base + "/ravlen-adj/backups";
}

void SessionRecorder::beginSession(const std::vector<uint8_t>& image, const std::string& subCode,
                                   const std::string& parameterText, const std::vector<int16_t>& rowValues) {
  started_ = std::time(nullptr);
  active_ = true;
  parameterTextBefore_ = parameterText;
  rowValues_ = rowValues;
  adjustments_.clear();
  files_.clear();
  const std::string folder = backupsFolder();
  stem_ = freeStem(folder, timeText(started_, "%Y%m%d-%H%M%S") + "_" + safeName(subCode));
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    reportFailure("cannot create " + folder + ": " + ec.message());
    return;
  }
  const std::string imageBytes(image.begin(), image.end());
  if (writeNewFile(stem_ + ".img", imageBytes)) writeNewFile(stem_ + ".txt", parameterText);
}

void SessionRecorder::noteSent(int16_t row, const std::string& title, int16_t value, const std::string& note) {
  if (!active_ || row < 0) return;
  const auto index = static_cast<size_t>(row);
  if (index >= rowValues_.size()) rowValues_.resize(index + 1, value);
  if (rowValues_[index] == value) return;
  adjustments_.push_back({row, trimmed(title), rowValues_[index], value, std::time(nullptr), {}, note});
  rowValues_[index] = value;
}

void SessionRecorder::noteProcedure(int16_t row, const std::string& title, int16_t before, int16_t after,
                                    const std::string& note, const std::string& detail) {
  if (!active_ || row < 0) return;
  const auto index = static_cast<size_t>(row);
  if (index >= rowValues_.size()) rowValues_.resize(index + 1, after);
  if (detail.empty()) rowValues_[index] = after;
  adjustments_.push_back({row, trimmed(title), before, after, std::time(nullptr), detail, note, true});
}

void SessionRecorder::noteEvent(const std::string& text) {
  if (active_) adjustments_.push_back({-1, {}, 0, 0, std::time(nullptr), text, {}});
}

void SessionRecorder::keepReadBack(const std::vector<uint8_t>& image) {
  if (!active_) return;
  std::string path = stem_ + "_readback.img";
  for (int n = 2; exists(path); ++n) path = stem_ + "_readback-" + std::to_string(n) + ".img";
  writeNewFile(path, std::string(image.begin(), image.end()));
}

// A procedure's curve is kept right after it ends; its line names the first file.
void SessionRecorder::noteFile(const std::string& path) {
  if (!active_) return;
  const std::string name = std::filesystem::path(path).filename().string();
  files_.push_back(name);
  for (Adjustment& a : adjustments_) {
    if (!a.awaitsCurve) continue;
    a.awaitsCurve = false;
    const size_t at = name.rfind("curve-");
    if (at != std::string::npos) a.note += ", " + name.substr(at, 8);
  }
}

void SessionRecorder::endSession(const std::string& parameterTextAfter) {
  if (!active_) return;
  active_ = false;
  const std::string text = reportText(parameterTextAfter, std::time(nullptr));
  std::string path = stem_ + "_report.txt";
  for (int n = 2; exists(path); ++n) path = stem_ + "_report-" + std::to_string(n) + ".txt";
  writeNewFile(path, text);
}

// The first of "base", "base-2", "base-3", ... with none of the session's files.
std::string SessionRecorder::freeStem(const std::string& folder, const std::string& base) const {
  std::string stem = folder + "/" + base;
  for (int n = 2; exists(stem + ".img") || exists(stem + ".txt") || exists(stem + "_report.txt"); ++n) {
    stem = folder + "/" + base + "-" + std::to_string(n);
  }
  return stem;
}

// Created afresh (an existing file is never touched); a file cut short is removed.
bool SessionRecorder::writeNewFile(const std::string& path, const std::string& contents) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    reportFailure("cannot create " + path + ": " + std::strerror(errno));
    return false;
  }
  size_t done = 0;
  int error = 0;
  while (done < contents.size()) {
    const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(path.c_str());
    reportFailure("cannot write " + path + ": " + std::strerror(error));
    return false;
  }
  return true;
}

std::string SessionRecorder::reportText(const std::string& parameterTextAfter, std::time_t ended) const {
  const std::string name = std::filesystem::path(stem_).filename().string();
  std::string out = "Session " + name + "\n";
  out += "Backup:  " + name + ".img, " + name + ".txt\n";
  out += "Started: " + timeText(started_, "%Y-%m-%d %H:%M:%S") + "\n";
  out += "Ended:   " + timeText(ended, "%Y-%m-%d %H:%M:%S") + "\n\n";
  const auto sentCount = std::count_if(adjustments_.begin(), adjustments_.end(), [](const Adjustment& a) { return a.row >= 0; });
  out += "Adjustments sent: " + std::to_string(sentCount) + "\n";
  for (const Adjustment& a : adjustments_) {
    out += timeText(a.time, "%H:%M:%S") + "  ";
    if (a.row < 0) {
      out += a.detail + "\n";
      continue;
    }
    out += "row " + std::to_string(a.row) + " " + a.title + ": " +
           (a.detail.empty() ? std::to_string(a.oldValue) + " -> " + std::to_string(a.newValue) : a.detail);
    out += (a.note.empty() ? "" : " (" + a.note + ")") + std::string("\n");
  }
  if (!files_.empty()) {
    out += "\nCurves:\n";
    for (const std::string& f : files_) out += "  " + f + "\n";
  }
  out += "\nParameter text, before and after:\n";
  const std::string diff = UnifiedDiff::diff(parameterTextBefore_, parameterTextAfter, name + ".txt", "after");
  out += diff.empty() ? "(no change)\n" : diff;
  return out;
}

void SessionRecorder::reportFailure(const std::string& text) {
  if (failureReported_) return;
  failureReported_ = true;
  if (OnWriteFailure) OnWriteFailure(text);
}
