#include "AdjustmentHistory.h"

#include <algorithm>

void AdjustmentHistory::push(Step step) {
  std::erase_if(step, [](const Change& c) { return c.before == c.after; });
  if (step.empty()) return;
  steps_.resize(done_);
  steps_.push_back(std::move(step));
  done_ = steps_.size();
}

std::optional<AdjustmentHistory::Step> AdjustmentHistory::undo() {
  if (!canUndo()) return std::nullopt;
  return steps_[--done_];
}

std::optional<AdjustmentHistory::Step> AdjustmentHistory::redo() {
  if (!canRedo()) return std::nullopt;
  return steps_[done_++];
}

void AdjustmentHistory::clear() {
  steps_.clear();
  done_ = 0;
}
