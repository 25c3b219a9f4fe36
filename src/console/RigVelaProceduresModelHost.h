#pragma once
// The procedures' view of the Selvik model object and the global link, image and
// console it works with.
#include "RigVelaProceduresHost.h"

class clsIndOp_RigVela;

class RigVelaProceduresModelHost : public RigVelaProceduresHost {
 public:
  explicit RigVelaProceduresModelHost(clsIndOp_RigVela& model) : model_(model) {}

  bool SequencerBusy() const override;
  bool ReadAD(int16_t slot, bool firstPass) override;
  int16_t AdLast(int16_t slot) const override;
  bool ReadingFailed() const override;
  void SendE8NoAnswer(const std::string& e8Text) override;
  void WriteImageByte(int32_t adr, int16_t value) override;
  void SendItem(int16_t index) override;
  clsConsole& Console() override;
  void AutoReset() override;

 private:
  clsIndOp_RigVela& model_;
};
