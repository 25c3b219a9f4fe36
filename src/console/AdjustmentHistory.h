#pragma once
// Undo and redo of the technician's adjustments. One step is one key step on a
// row or one whole automatic adjustment; it holds every value it changed.
#include <cstdint>
#include <optional>
#include <vector>

class AdjustmentHistory {
 public:
  struct Change {
    int16_t row = -1;
    int16_t before = 0;
    int16_t after = 0;
    // A value stored by its own command without a row of its own (RSSI S3/S1).
    int16_t command = -1;
    int32_t address = -1;
    bool direct() const { return command >= 0; }
  };
  using Step = std::vector<Change>;

  // A new step; the steps undone before it can no longer be redone.
  void push(Step step);
  bool canUndo() const { return done_ > 0; }
  bool canRedo() const { return done_ < steps_.size(); }
  // The step to take back (its before values are to be sent), if any.
  std::optional<Step> undo();
  // The step to take again (its after values are to be sent), if any.
  std::optional<Step> redo();
  void clear();

 private:
  std::vector<Step> steps_;
  size_t done_ = 0;
};
