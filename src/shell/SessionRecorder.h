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
  };

  // $XDG_DATA_HOME/ravlen-adj/backups, or ~/.local/share/ravlen-adj/backups.
  static std::string backupsFolder();

  // A clone read succeeded: the backup is written now, before anything is sent.
  void beginSession(const std::vector<uint8_t>& image, const std::string& subCode,
                    const std::string& parameterText);
  // One adjustment went out during the session.
  void noteAdjustment(int16_t row, const std::string& title, int16_t oldValue, int16_t newValue);
  // The session ended (another connect, a link error, the window closing).
  void endSession(const std::string& parameterTextAfter);

  bool sessionActive() const { return active_; }
  // The current (or last) session's path without extension, e.g.
  // ".../backups/20261206-214800_A1B2"; empty before the first session.
  const std::string& currentSessionStem() const { return stem_; }
  const std::vector<Adjustment>& adjustments() const { return adjustments_; }

  // Told once per session when a file cannot be written; the text says which and why.
  std::function<void(const std::string&)> OnWriteFailure;
  // The clock; tests may replace it.
  std::function<std::time_t()> Now = [] { return std::time(nullptr); };

 private:
  bool writeFile(const std::string& path, const std::string& contents);
  std::string freeStem(const std::string& folder, const std::string& base) const;
  std::string reportText(const std::string& parameterTextAfter) const;
  void reportFailure(const std::string& text);

  bool active_ = false;
  bool failureReported_ = false;
  std::string stem_;
  std::string parameterTextBefore_;
  std::vector<Adjustment> adjustments_;
};
