#pragma once
// A backup and a report of every session. When a clone read succeeds the image
// and its parameter text are saved under the backups folder as
// "<date-time>_<sub code>.img" / ".txt"; every adjustment sent is noted, and when
// the session ends a "_report.txt" beside them lists the adjustments and the
// parameter text before and after as a unified diff. Files are never overwritten;
// a file that cannot be written is reported once and the session goes on.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

class SessionRecorder {
 public:
  struct Adjustment {
    int16_t row = 0;
    std::string title;
    int16_t oldValue = 0;
    int16_t newValue = 0;
    std::time_t time = 0;
    // Shown instead of "old -> new" when set; note goes in brackets after it.
    std::string detail;
    std::string note;
    bool awaitsCurve = false;
  };

  // $XDG_DATA_HOME/ravlen-adj/backups, or ~/.local/share/ravlen-adj/backups.
  static std::string backupsFolder();

  // A clone read succeeded: the backup is written now, before anything is sent.
  // rowValues are the console rows as loaded from the image.
  void beginSession(const std::vector<uint8_t>& image, const std::string& subCode,
                    const std::string& parameterText, const std::vector<int16_t>& rowValues);
  // A row's value went out; noted when it differs from the row's value before.
  void noteSent(int16_t row, const std::string& title, int16_t value, const std::string& note = {});
  // A whole automatic adjustment as one line; the curve file kept next names itself in it.
  void noteProcedure(int16_t row, const std::string& title, int16_t before, int16_t after,
                     const std::string& note, const std::string& detail = {});
  // A line of its own among the adjustments (a verification, a broken-off revert).
  void noteEvent(const std::string& text);
  // A memory image read back during the session, kept beside its backup.
  void keepReadBack(const std::vector<uint8_t>& image);
  // A file kept with the session (a curve's data or picture); the report names it.
  void noteFile(const std::string& path);
  // The session ended (another connect, a link error, the window closing): the
  // report is written. Nothing happens without a session.
  void endSession(const std::string& parameterTextAfter);

  bool sessionActive() const { return active_; }
  // The current (or last) session's path without extension, e.g.
  // ".../backups/20261206-214800_0100"; empty before the first session.
  const std::string& currentSessionStem() const { return stem_; }
  const std::vector<Adjustment>& adjustments() const { return adjustments_; }

  // Told once when a file cannot be written; the text says which and why.
  std::function<void(const std::string&)> OnWriteFailure;

 private:
  bool writeNewFile(const std::string& path, const std::string& contents);
  std::string freeStem(const std::string& folder, const std::string& base) const;
  std::string reportText(const std::string& parameterTextAfter, std::time_t ended) const;
  void reportFailure(const std::string& text);

  bool active_ = false;
  bool failureReported_ = false;
  std::string stem_;
  std::string parameterTextBefore_;
  std::time_t started_ = 0;
  std::vector<int16_t> rowValues_;
  std::vector<Adjustment> adjustments_;
  std::vector<std::string> files_;
};
