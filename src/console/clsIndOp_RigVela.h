#pragma once
// The Selvik model object: owns the console rows, the window's texts and layout,
// the COM port handed to the link and the checks the link asks of it, and runs a
// whole connection (task) with its readings and console events. The code lives in
// one file per concern: RigVelaTask, RigVelaPostRead, RigVelaService, RigVelaReadings,
// RigVelaConsoleEvents, RigVelaAutoDispatch; the way back (undo, revert, verify)
// lives in RigVelaWayBack.
#include <cstdint>
#include <string>
#include <vector>

#include "ConsoleEvents.h"
#include "RigVelaFormLayout.h"
#include "RigVelaItemTable.h"
#include "RigVelaProcedures.h"
#include "RigVelaProceduresModelHost.h"
#include "RigVelaState.h"
#include "RigVelaWayBack.h"
#include "clsIndEep_RigVela.h"
#include "clsIndPtbl_RigVela.h"

class clsIndOp_RigVela : public ConsoleEvents {
 public:
  static constexpr int16_t TempBorderEntries = 22;

  clsIndOp_RigVela();
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

  int32_t RigVelaFunc_Ptbl_Search(int16_t obj) const { return ptbl_.RigVelaFunc_Ptbl_Search(obj); }
  int32_t RigVelaFunc_Obj_Address(int16_t obj) const { return ptbl_.RigVelaFunc_Obj_Address(obj); }
  int32_t RigVelaFunc_Obj_Number(int16_t obj) const { return ptbl_.RigVelaFunc_Obj_Number(obj); }
  int32_t RigVelaFunc_Obj_Size(int16_t obj) const { return ptbl_.RigVelaFunc_Obj_Size(obj); }
  clsIndEep_RigVela& eepDecoder() { return eep_; }

  int16_t opState() const { return task_.opState; }
  const RigVelaTaskState& taskState() const { return task_; }
  const RigVelaReadingTables& readings() const { return readings_; }
  const RigVelaAutoState& autoState() const { return auto_; }
  const RigVelaItemIndex& itemIndex() const { return items_; }
  RigVelaWayBack& wayBack() { return wayBack_; }
  void task();
  // The session's backup once a clone read is done; its report when it ends.
  void RigVelaOp_BeginSession();
  void RigVelaOp_EndSession();

  // Live readings: one link operation per call; true once the value is taken.
  bool RigVelaOp_ReadAD(int16_t slot, bool firstPass);
  bool RigVelaOp_ReadDA(int16_t slot, bool firstPass);
  bool RigVelaOp_AnswerBad(const std::vector<uint8_t>& answer) const;
  static int16_t RigVelaOp_AnswerValue(const std::vector<uint8_t>& answer);
  // The automatic procedures, one step per call; true when the task may go on.
  bool RigVelaOp_AutoDispatch();
  void RigVelaOp_AutoReset();

  // ConsoleEvents
  std::string ConsEv_Disp(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) override;
  void ConsEv_SendE8(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) override;
  void ConsEv_Enter(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) override;
  void setWaitE8Required(int32_t ms) override { task_.WaitE8Required = ms; }

 private:
  bool runState(int16_t& next);
  void showProgress(int filled);
  void RigVelaOp_RefreshForm();
  void RigVelaOp_PostReadSetup();
  void listChannels();
  bool RigVelaOp_SendChangedItems();
  bool sendBalanceFollowUp();
  void RigVelaOp_EnterService();
  void sendE8(int16_t command, int16_t value);
  void sendE8Request(int16_t code);
  bool takeReading(bool digital, int16_t slot);
  std::string channelLine(clsConsole& console, int16_t Index, int16_t val);

  int16_t comPortNo_ = 0;
  bool digitalOption_ = false;
  int16_t tempBorder_[TempBorderEntries] = {};
  RigVelaTaskState task_;
  RigVelaReadingTables readings_;
  RigVelaAutoState auto_;
  RigVelaItemIndex items_;
  RigVelaFormLayout layout_;
  clsIndPtbl_RigVela ptbl_;
  clsIndEep_RigVela eep_;
  RigVelaProceduresModelHost procHost_{*this};
  RigVelaProcedures procedures_{procHost_, auto_, items_};
  RigVelaWayBack wayBack_{items_, auto_};
};
