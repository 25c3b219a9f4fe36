#pragma once
// The Selvik model object: its COM port, its return to idle and the checks the
// link asks of it. The console rows and the connection task build on this.
#include <cstdint>
#include <string>

class clsIndOp_RigVela {
 public:
  clsIndOp_RigVela();

  void RigOpFunc_SetComPortNo(int16_t portNo);
  int16_t ComPortNo() const { return comPortNo_; }
  void RigOpFunc_ResetAll();
  bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) const;
  void setRigVelaOp_Digital_Option(bool st) { digitalOption_ = st; }
  bool RigVelaOp_Digital_Option() const { return digitalOption_; }

  int16_t opState() const { return opState_; }
  void task();

 private:
  int16_t comPortNo_ = 1;
  int16_t opState_ = 0;
  bool stateEntered_ = true;
  bool digitalOption_ = false;
};
