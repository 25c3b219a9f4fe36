#pragma once
// A backup and a report of every session. When a clone read succeeds the image
// and its parameter text are saved under the backups folder (private to the user)
// as "<date-time>_<sub code>.img" / ".txt", the image on disk before anything is
// sent. A "_report.txt" beside them is written as the session goes: each
// adjustment is appended when it is sent, the parameter text before and after (a
// unified diff) when the session ends, so a run killed outright still leaves the
// list of what it sent. Files are never overwritten; a file that cannot be written
// is reported (once a session) and the session goes on.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

class SessionRecorder {
 public:
  SessionRecorder() = default;
  ~SessionRecorder();
  SessionRecorder(const SessionRecorder&) = delete;
  SessionRecorder& operator=(const SessionRecorder&) = delete;

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
  // A row's value went out; noted (and appended to the report) when it differs
  // from the row's value before.
  void noteSent(int16_t row, const std::string& title, int16_t value, const std::string& note = {});
  // A whole automatic adjustment as one line. namesCurve: the line waits for the
  // curve file kept next, whose name goes into it.
  void noteProcedure(int16_t row, const std::string& title, int16_t before, int16_t after,
                     const std::string& note, const std::string& detail = {}, bool namesCurve = true);
  // A line of its own among the adjustments (a verification, a broken-off revert).
  void noteEvent(const std::string& text);
  // A memory image read back during the session, kept beside its backup.
  void keepReadBack(const std::vector<uint8_t>& image);
  // A file kept with the session (a curve's data or picture); the report names it.
  void noteFile(const std::string& path);
  // The session ended (another connect, a link error, the window closing): the
  // report is completed. Nothing happens without a session.
  void endSession(const std::string& parameterTextAfter);

  bool sessionActive() const { return active_; }
  // The current (or last) session's path without extension, e.g.
  // ".../backups/20261206-214800_0100"; empty before the first session.
  const std::string& currentSessionStem() const { return stem_; }
  const std::vector<Adjustment>& adjustments() const { return adjustments_; }

  // Told when a file cannot be written, once a session; the text says which and why.
  std::function<void(const std::string&)> OnWriteFailure;

 private:
  bool writeNewFile(const std::string& path, const std::string& contents, bool toDisk);
  void openReport();
  void appendToReport(const std::string& text);
  void closeReport();
  std::string freeStem(const std::string& folder, const std::string& base) const;
  std::string reportHead() const;
  std::string reportTail(const std::string& parameterTextAfter, std::time_t ended) const;
  static std::string adjustmentLine(const Adjustment& a);
  void record(const Adjustment& a);
  void writeHeld();
  void reportFailure(const std::string& text);

  bool active_ = false;
  bool failureSaid_ = false;
  std::string stem_;
  std::string reportPath_;
  int reportFd_ = -1;
  std::string parameterTextBefore_;
  std::time_t started_ = 0;
  std::vector<int16_t> rowValues_;
  std::vector<Adjustment> adjustments_;
  size_t held_ = 0;  // adjustments_ from here wait for their curve's name
  std::vector<std::string> files_;
};
