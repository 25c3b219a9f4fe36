#include "clsIndOp_RigVela.h"

#include "Globals.h"
#include "clsCmcLnk3Sequence.h"

clsIndOp_RigVela::clsIndOp_RigVela() {
  comPortNo_ = 1;
  RigOpFunc_ResetAll();
}

void clsIndOp_RigVela::RigOpFunc_SetComPortNo(int16_t portNo) {
  if (portNo == comPortNo_) return;
  comPortNo_ = portNo;
  RigOpFunc_ResetAll();
}

void clsIndOp_RigVela::RigOpFunc_ResetAll() {
  Globals::seq().easyReset(comPortNo_);
  opState_ = 0;
  stateEntered_ = true;
}

bool clsIndOp_RigVela::RigOpFunc_CheckSubNameLegal(const std::string& nameS) const {
  return nameS.substr(0, 4) <= "0100";
}

// Idle until the connection task is built on top of this object.
void clsIndOp_RigVela::task() {}
