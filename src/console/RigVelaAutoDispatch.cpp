// The automatic procedures' dispatcher, run by the task in state 27. No procedure
// is built into this dispatcher yet: every code finishes at once.
#include "clsIndOp_RigVela.h"

bool clsIndOp_RigVela::RigVelaOp_AutoDispatch() {
  if (auto_.autoCode == 0) return true;
  const int16_t before = auto_.autoCode;
  const bool done = true;
  if (before != 0 && auto_.autoCode == 0) RigVelaOp_AutoReset();
  return done;
}
