#pragma once
// E8 frames as the virtual transceiver received them, a sweep's expected frames,
// and the rows' pauses as every procedure leaves them.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "Globals.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

struct E8 {
  int command, value;
  bool operator==(const E8&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const E8& f) {
  return os << std::hex << f.command << ':' << f.value << std::dec;
}

// One stage's frames: its start value, the minimum, the points with a reading of
// the signal level (A/D code 4) after each, then the result sent by the cycle.
inline void appendSweep(std::vector<E8>& want, int command, int step, int last, int result) {
  want.push_back({command, 0});
  want.push_back({command, 0});
  for (int v = 0; v <= last; v += step) {
    want.push_back({0x03, 4});
    if (v + step <= last) want.push_back({command, v + step});
  }
  want.push_back({command, result});
}

// BPF T1 and T2 wait 200 ms after their command, RX and TX LVA 500 ms.
inline void expectPausesAtRest() {
  const RigVelaItemIndex& items = Globals::model().itemIndex();
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(Globals::console().WaitAfterE8(static_cast<int16_t>(items.bpfT1 + k)), 200) << "BPF T" << k + 1;
    EXPECT_EQ(Globals::console().WaitAfterE8(static_cast<int16_t>(items.rxLva + k)), 500) << "LVA " << k;
  }
}
