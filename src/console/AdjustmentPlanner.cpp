#include "AdjustmentPlanner.h"

#include <algorithm>

namespace {

int16_t byteAt(const std::vector<uint8_t>& image, int32_t address, bool isSigned) {
  if (address < 0 || static_cast<size_t>(address) >= image.size()) return -1;
  const int16_t b = image[static_cast<size_t>(address)];
  return isSigned && b >= 128 ? static_cast<int16_t>(b - 256) : b;
}

}  // namespace

std::vector<AdjustmentPlanner::RowChange> AdjustmentPlanner::differing(std::vector<RowSlot> rows,
                                                                       const std::vector<uint8_t>& image) {
  std::ranges::sort(rows, {}, &RowSlot::row);
  std::vector<RowChange> out;
  for (const RowSlot& r : rows) {
    if (r.address < 0 || static_cast<size_t>(r.address) >= image.size()) continue;
    const int16_t target = byteAt(image, r.address, r.isSigned);
    if (target != r.now) out.push_back({r.row, r.title, r.now, target});
  }
  return out;
}

std::vector<AdjustmentPlanner::Mismatch> AdjustmentPlanner::compare(const std::vector<Watched>& watched,
                                                                    const std::vector<uint8_t>& sent,
                                                                    const std::vector<uint8_t>& held) {
  std::vector<Mismatch> out;
  for (const Watched& w : watched) {
    const int16_t s = byteAt(sent, w.address, false);
    const int16_t h = byteAt(held, w.address, false);
    if (s < 0 || h < 0 || s != h) out.push_back({w.name, s, h});
  }
  return out;
}
