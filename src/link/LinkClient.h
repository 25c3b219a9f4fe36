#pragma once
// What the operation sequencer needs of the model and of the main window.
#include <string>

class clsCmcLnk3Sequence;

class LinkClient {
 public:
  virtual ~LinkClient() = default;

  virtual bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) = 0;
  virtual void setRigVelaOp_Digital_Option(bool st) = 0;
  // Reports the failed operation (message box) and returns the model to idle.
  virtual void MsgBoxCloneErr(clsCmcLnk3Sequence& seq) = 0;
};
