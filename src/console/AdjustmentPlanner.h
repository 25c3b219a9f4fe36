#pragma once
// Which rows differ between the values on the console and the bytes of an image
// (the clone read, a backup), in row order; and which watched bytes of two images
// differ (a read-back against what was sent).
#include <cstdint>
#include <string>
#include <vector>

class AdjustmentPlanner {
 public:
  struct RowSlot {
    int16_t row = 0;
    std::string title;
    int32_t address = -1;
    bool isSigned = false;
    int16_t now = 0;
  };
  struct RowChange {
    int16_t row = 0;
    std::string title;
    int16_t now = 0;
    int16_t target = 0;
  };
  struct Watched {
    std::string name;
    int32_t address = -1;
  };
  struct Mismatch {
    std::string name;
    int16_t sent = 0;
    int16_t held = 0;
  };

  static std::vector<RowChange> differing(std::vector<RowSlot> rows, const std::vector<uint8_t>& image);
  // Every watched byte of held that is not the byte of sent; addresses outside
  // either image count as different.
  static std::vector<Mismatch> compare(const std::vector<Watched>& watched, const std::vector<uint8_t>& sent,
                                       const std::vector<uint8_t>& held);
};
