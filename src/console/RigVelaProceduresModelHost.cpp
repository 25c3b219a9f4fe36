#include "RigVelaProceduresModelHost.h"

#include "Globals.h"
#include "clsCmcEeprom.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

bool RigVelaProceduresModelHost::SequencerBusy() const { return Globals::seq().OpRunning(); }

bool RigVelaProceduresModelHost::ReadAD(int16_t slot, bool firstPass) {
  const bool ended = model_.RigVelaOp_ReadAD(slot, firstPass);
  if (ended) model_.wayBack().procedurePoint();
  return ended;
}

int16_t RigVelaProceduresModelHost::AdLast(int16_t slot) const {
  return model_.readings().adLast.at(static_cast<size_t>(slot));
}

bool RigVelaProceduresModelHost::ReadingFailed() const { return model_.taskState().linkErrorFlag; }

void RigVelaProceduresModelHost::SendE8NoAnswer(const std::string& e8Text) {
  Globals::seq().easySendE8NoAnswer(e8Text);
}

void RigVelaProceduresModelHost::WriteImageByte(int32_t adr, int16_t value) {
  Globals::radio().eepImage().WriteByte(adr, static_cast<uint8_t>(value & 0xFF));
}

void RigVelaProceduresModelHost::SendItem(int16_t index) { Globals::console().SendE8(index); }

clsConsole& RigVelaProceduresModelHost::Console() { return Globals::console(); }

void RigVelaProceduresModelHost::AutoReset() { model_.RigVelaOp_AutoReset(); }
