// The automatic procedures' dispatcher, run by the task in state 27. The
// procedures step here by their code ranges (6 to 8 RSSI capture, 12 to 16 BPF
// tuning, 17 to 26 LVA search); none is built in yet, so every code finishes the
// state at once and a started procedure waits until a button or Enter ends it.
#include "clsIndOp_RigVela.h"

bool clsIndOp_RigVela::RigVelaOp_AutoDispatch() {
  if (auto_.autoCode == 0) return true;
  const int16_t before = auto_.autoCode;
  const bool done = true;
  if (before != 0 && auto_.autoCode == 0) RigVelaOp_AutoReset();
  return done;
}
