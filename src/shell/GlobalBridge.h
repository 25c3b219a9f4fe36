#pragma once
// Routes the port form's and the sequencer's calls to the global window and model,
// so those are created only when first used.
#include "ComHost.h"
#include "LinkClient.h"

class GlobalBridge : public ComHost, public LinkClient {
 public:
  // ComHost
  void task() override;
  void ReportError() override;
  void saveData(clsCmcProfileIO& profile) override;
  void loadData(clsCmcProfileIO& profile) override;

  // LinkClient
  bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override;
  void setRigVelaOp_Digital_Option(bool st) override;
  void MsgBoxCloneErr(clsCmcLnk3Sequence& seq) override;
};
