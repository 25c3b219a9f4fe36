#pragma once
// The Selvik model object: owns the console rows, the window's texts and layout,
// the COM port handed to the link and the checks the link asks of it.
#include <cstdint>
#include <string>

#include "ConsoleEvents.h"
#include "RigVelaFormLayout.h"
#include "RigVelaItemTable.h"
#include "RigVelaState.h"

class clsIndOp_RigVela : public ConsoleEvents {
 public:
  static constexpr int16_t TempBorderEntries = 22;

  clsIndOp_RigVela() = default;
  // The creation steps; run once the object is reachable as the global model.
  void Class_Initialize();

  void RigOpFunc_SetComPortNo(int16_t portNo);
  int16_t ComPortNo() const { return comPortNo_; }
  void RigOpFunc_ResetAll();
  bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) const;
  void setRigVelaOp_Digital_Option(bool st) { digitalOption_ = st; }
  bool RigVelaOp_Digital_Option() const { return digitalOption_; }
  int16_t RigVelaOp_Table_Txf_TempBorder(int16_t Index) const;

  void RigOpFunc_FormResource();
  void RigOpFunc_FormLayout();
  void RigOpFunc_ClickCmd00(int16_t Index);

  bool RigVelaProp_EditEnabled() const { return task_.opState >= 10 && task_.opState <= 28; }
  bool RigVelaProp_DispPara() const { return task_.opState == 29; }
  bool RigVelaProp_Shielding() const { return !RigVelaProp_EditEnabled() && !RigVelaProp_DispPara(); }

  int16_t opState() const { return task_.opState; }
  const RigVelaTaskState& taskState() const { return task_; }
  const RigVelaReadingTables& readings() const { return readings_; }
  const RigVelaAutoState& autoState() const { return auto_; }
  const RigVelaItemIndex& itemIndex() const { return items_; }
  void task();

  // ConsoleEvents
  std::string ConsEv_Disp(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) override;
  void ConsEv_SendE8(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) override;
  void ConsEv_Enter(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) override;
  void setWaitE8Required(int32_t ms) override { task_.WaitE8Required = ms; }

 private:
  void RigVelaOp_AutoReset();

  int16_t comPortNo_ = 0;
  bool digitalOption_ = false;
  int16_t tempBorder_[TempBorderEntries] = {};
  RigVelaTaskState task_;
  RigVelaReadingTables readings_;
  RigVelaAutoState auto_;
  RigVelaItemIndex items_;
  RigVelaFormLayout layout_;
};
