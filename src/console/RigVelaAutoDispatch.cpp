// The automatic procedures' dispatcher, run by the task in state 27.
#include "clsIndOp_RigVela.h"

bool clsIndOp_RigVela::RigVelaOp_AutoDispatch() { return procedures_.Dispatch(); }
