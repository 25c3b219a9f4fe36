#include "SessionRecorder.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Writes all of it; 0 or the error.
int writeAll(int fd, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

// The folder's entries on disk too (a new file's name).
void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A backups folder of ours left open to others (as older versions made it) becomes
// the user's alone. A symbolic link or another user's folder is left as it is.
void makePrivate(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) {
    ::fchmod(fd, st.st_mode & 0700);
  }
  ::close(fd);
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

SessionRecorder::~SessionRecorder() { closeReport(); }

void SessionRecorder::beginSession(const std::vector<uint8_t>& image, const std::string& subCode,
                                   const std::string& parameterText, const std::vector<int16_t>& rowValues) {
  closeReport();
  started_ = std::time(nullptr);
  active_ = true;
  failureSaid_ = false;
  parameterTextBefore_ = parameterText;
  rowValues_ = rowValues;
  adjustments_.clear();
  held_ = 0;
  files_.clear();
  const std::string folder = backupsFolder();
  stem_ = freeStem(folder, timeText(started_, "%Y%m%d-%H%M%S") + "_" + safeName(subCode));
  reportPath_ = stem_ + "_report.txt";
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ec);
  // The backups hold a transceiver's whole memory: the folder is the user's alone.
  if (!ec && ::mkdir(folder.c_str(), 0700) != 0) {
    if (errno == EEXIST) {
      makePrivate(folder);
    } else {
      ec.assign(errno, std::generic_category());
    }
  }
  if (ec) {
    reportFailure("cannot create " + folder + ": " + ec.message());
    return;
  }
  const std::string imageBytes(image.begin(), image.end());
  if (writeNewFile(stem_ + ".img", imageBytes, true)) writeNewFile(stem_ + ".txt", parameterText, false);
  syncFolder(folder);
  openReport();
}

void SessionRecorder::noteSent(int16_t row, const std::string& title, int16_t value, const std::string& note) {
  if (!active_ || row < 0) return;
  const auto index = static_cast<size_t>(row);
  if (index >= rowValues_.size()) rowValues_.resize(index + 1, value);
  if (rowValues_[index] == value) return;
  record({row, trimmed(title), rowValues_[index], value, std::time(nullptr), {}, note});
  rowValues_[index] = value;
}

void SessionRecorder::noteProcedure(int16_t row, const std::string& title, int16_t before, int16_t after,
                                    const std::string& note, const std::string& detail, bool namesCurve) {
  if (!active_ || row < 0) return;
  const auto index = static_cast<size_t>(row);
  if (index >= rowValues_.size()) rowValues_.resize(index + 1, after);
  if (detail.empty()) rowValues_[index] = after;
  record({row, trimmed(title), before, after, std::time(nullptr), detail, note, namesCurve});
}

void SessionRecorder::noteEvent(const std::string& text) {
  if (active_) record({-1, {}, 0, 0, std::time(nullptr), text, {}});
}

void SessionRecorder::keepReadBack(const std::vector<uint8_t>& image) {
  if (!active_) return;
  std::string path = stem_ + "_readback.img";
  for (int n = 2; exists(path); ++n) path = stem_ + "_readback-" + std::to_string(n) + ".img";
  writeNewFile(path, std::string(image.begin(), image.end()), true);
}

// A procedure's curve is kept right after it ends; its lines name the first file.
void SessionRecorder::noteFile(const std::string& path) {
  if (!active_) return;
  const std::string name = std::filesystem::path(path).filename().string();
  files_.push_back(name);
  const size_t at = name.rfind("curve-");
  for (size_t i = held_; i < adjustments_.size(); ++i) {
    if (at != std::string::npos) adjustments_[i].note += ", " + name.substr(at, 8);
  }
  writeHeld();
}

// A line that waits for its curve's name is held; anything after it lets it go.
void SessionRecorder::record(const Adjustment& a) {
  if (!a.awaitsCurve) writeHeld();
  adjustments_.push_back(a);
  if (a.awaitsCurve) return;
  held_ = adjustments_.size();
  appendToReport(adjustmentLine(a));
}

void SessionRecorder::writeHeld() {
  for (; held_ < adjustments_.size(); ++held_) {
    adjustments_[held_].awaitsCurve = false;
    appendToReport(adjustmentLine(adjustments_[held_]));
  }
}

void SessionRecorder::endSession(const std::string& parameterTextAfter) {
  if (!active_) return;
  writeHeld();
  active_ = false;
  appendToReport(reportTail(parameterTextAfter, std::time(nullptr)));
  if (reportFd_ >= 0 && ::fsync(reportFd_) != 0) {
    reportFailure("cannot write " + reportPath_ + ": " + std::strerror(errno));
  }
  closeReport();
}

// The first of "base", "base-2", "base-3", ... with none of the session's files.
std::string SessionRecorder::freeStem(const std::string& folder, const std::string& base) const {
  std::string stem = folder + "/" + base;
  for (int n = 2; exists(stem + ".img") || exists(stem + ".txt") || exists(stem + "_report.txt"); ++n) {
    stem = folder + "/" + base + "-" + std::to_string(n);
  }
  return stem;
}

// Created afresh, readable by the user alone (an existing file is never touched);
// a file cut short is removed. toDisk: on the disk itself before this returns.
bool SessionRecorder::writeNewFile(const std::string& path, const std::string& contents, bool toDisk) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    reportFailure("cannot create " + path + ": " + std::strerror(errno));
    return false;
  }
  int error = writeAll(fd, contents);
  if (error == 0 && toDisk && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(path.c_str());
    reportFailure("cannot write " + path + ": " + std::strerror(error));
    return false;
  }
  return true;
}

void SessionRecorder::openReport() {
  reportFd_ = ::open(reportPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
  if (reportFd_ < 0) {
    reportFailure("cannot create " + reportPath_ + ": " + std::strerror(errno));
    return;
  }
  appendToReport(reportHead());
}

// Each piece goes to the file at once: nothing of the report waits in this process.
void SessionRecorder::appendToReport(const std::string& text) {
  if (reportFd_ < 0) return;
  const int error = writeAll(reportFd_, text);
  if (error != 0) reportFailure("cannot write " + reportPath_ + ": " + std::strerror(error));
}

void SessionRecorder::closeReport() {
  if (reportFd_ < 0) return;
  ::close(reportFd_);
  reportFd_ = -1;
}

std::string SessionRecorder::reportHead() const {
  const std::string name = std::filesystem::path(stem_).filename().string();
  std::string out = "Session " + name + "\n";
  out += "Backup:  " + name + ".img, " + name + ".txt\n";
  out += "Started: " + timeText(started_, "%Y-%m-%d %H:%M:%S") + "\n\n";
  out += "Adjustments, as sent:\n";
  return out;
}

std::string SessionRecorder::adjustmentLine(const Adjustment& a) {
  const std::string time = timeText(a.time, "%H:%M:%S") + "  ";
  if (a.row < 0) return time + a.detail + "\n";
  return time + "row " + std::to_string(a.row) + " " + a.title + ": " +
         (a.detail.empty() ? std::to_string(a.oldValue) + " -> " + std::to_string(a.newValue) : a.detail) +
         (a.note.empty() ? "" : " (" + a.note + ")") + "\n";
}

std::string SessionRecorder::reportTail(const std::string& parameterTextAfter, std::time_t ended) const {
  const std::string name = std::filesystem::path(stem_).filename().string();
  std::string out = "\nEnded:   " + timeText(ended, "%Y-%m-%d %H:%M:%S") + "\n";
  const auto sent = std::count_if(adjustments_.begin(), adjustments_.end(), [](const Adjustment& a) { return a.row >= 0; });
  out += "Adjustments sent: " + std::to_string(sent) + "\n";
  if (!files_.empty()) {
    out += "\nCurves:\n";
    for (const std::string& f : files_) out += "  " + f + "\n";
  }
  out += "\nParameter text, before and after:\n";
  const std::string diff = UnifiedDiff::diff(parameterTextBefore_, parameterTextAfter, name + ".txt", "after");
  out += diff.empty() ? "(no change)\n" : diff;
  return out;
}

// Said once a session: a later session's failure is said again.
void SessionRecorder::reportFailure(const std::string& text) {
  if (failureSaid_) return;
  failureSaid_ = true;
  if (OnWriteFailure) OnWriteFailure(text);
}
