#pragma once
// The way back: the history of the technician's steps with Undo and Redo, the
// automatic adjustments noted as single steps, Revert to the clone read, the
// rows of a backup applied one command at a time, and Verify by a second clone
// read. Everything goes out through the rows' own commands and pauses, fed to
// the model task's sending state one row at a time.
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AdjustmentHistory.h"
#include "AdjustmentPlanner.h"
#include "RigVelaItemTable.h"
#include "RigVelaState.h"

class RigVelaWayBack {
 public:
  using Bytes = std::vector<uint8_t>;
  using RowChange = AdjustmentPlanner::RowChange;
  enum class Fed { Nothing, Row, Busy };
  enum class Outcome { None, Sent, Stopped, Verified, Differs };
  struct BackupPreview {
    Bytes image;
    std::vector<RowChange> rows;
    // Lines of the parameter text that would still differ after the rows are sent.
    std::vector<std::string> nowLines, backupLines;
  };

  RigVelaWayBack(const RigVelaItemIndex& items, const RigVelaAutoState& autoState)
      : items_(items), auto_(autoState) {}

  // A new connection or a link fault: the history goes, a plan running is noted
  // as broken off.
  void reset();
  void takeReadImage(const Bytes& image) { readImage_ = image; }

  void keyStep(int16_t row, int16_t stp);
  bool busy() const { return planActive_ || !direct_.empty() || verifyRequested_ || verifying_; }
  bool canUndo() const { return history_.canUndo(); }
  bool canRedo() const { return history_.canRedo(); }
  void undo();
  void redo();

  void procedureStarted();
  void procedureEnded();
  // A reading of the running procedure ended: a point of the row sent last.
  void procedurePoint();
  // A row's value went to the sequencer: noted in the session report.
  void rowSent(int16_t row);

  std::vector<RowChange> revertPlan() const;
  // Nothing, with the reason in error, when the file cannot be a backup of this transceiver.
  std::optional<BackupPreview> previewBackup(const std::string& path, std::string& error) const;
  // The rows go out in row order, each marked in the report with mark.
  void startPlan(const std::vector<RowChange>& rows, const std::string& mark);
  // The plan ends once the row on the wire has gone.
  void stopPlan() { stopRequested_ = planActive_; }
  void requestVerify() { verifyRequested_ = true; }

  // The model task's sending state, once every flagged row has gone.
  Fed feed();
  // Rows of a plan follow each other as soon as a pause ends, not at the next
  // 50 ms tick: one extra tick when it does.
  static void wakeTickAfter(int32_t ms);

  int planTotal() const { return planTotal_; }
  int planSent() const { return static_cast<int>(planSentRows_.size()); }
  bool verifying() const { return verifying_; }
  // What the last revert, apply or verify came to; taken once by the window.
  Outcome takeOutcome();
  const std::string& outcomeText() const { return outcomeText_; }

 private:
  struct Planned {
    int16_t row;
    int16_t value;
  };
  struct Tracked {
    AdjustmentHistory::Step step;
    std::string kind;
    std::map<int16_t, int> points;
  };
  void applyStep(const AdjustmentHistory::Step& step, bool forward, const std::string& mark);
  void notePlanEnd(const std::string& how);
  void finishVerify();
  std::vector<AdjustmentPlanner::RowSlot> rowSlots() const;
  std::vector<AdjustmentPlanner::Watched> watchedBytes() const;
  static std::string rowName(int16_t row);

  const RigVelaItemIndex& items_;
  const RigVelaAutoState& auto_;
  AdjustmentHistory history_;
  std::optional<Tracked> tracked_;
  int16_t lastSentRow_ = -1;
  bool planActive_ = false;
  std::map<int16_t, std::string> marks_;
  std::deque<AdjustmentHistory::Change> direct_;
  std::deque<Planned> plan_;
  std::string planMark_;
  int planTotal_ = 0;
  std::vector<int16_t> planSentRows_;
  int16_t planRowOnWire_ = -1;
  bool stopRequested_ = false;
  bool verifyRequested_ = false;
  bool verifying_ = false;
  Bytes readImage_;
  Bytes expected_;
  Outcome outcome_ = Outcome::None;
  std::string outcomeText_;
};
