// Live readings: one E8 request per value, the answer checked and shown in the
// A/D or D/A list; a row is rewritten only when its value changed.
#include <QListWidget>
#include <algorithm>

#include "Common.h"
#include "Globals.h"
#include "ProcedureObserver.h"
#include "RigVelaReadingText.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "frmMain.h"

namespace {

constexpr int16_t kReadCommand = 0x03;
constexpr size_t kAnswerLength = 7;

void setListRow(QListWidget& list, int row, const std::string& text) {
  QListWidgetItem* item = list.item(row);
  if (item == nullptr) return;
  const QString shown = QString::fromStdString(text);
  if (item->text() != shown) item->setText(shown);
}

}  // namespace

bool clsIndOp_RigVela::RigVelaOp_ReadAD(int16_t slot, bool firstPass) {
  if (slot < 0 || slot >= RigVelaReadingText::AdSlots) return true;
  if (firstPass) {
    sendE8Request(readings_.adCode[static_cast<size_t>(slot)]);
    return false;
  }
  return takeReading(false, slot);
}

bool clsIndOp_RigVela::RigVelaOp_ReadDA(int16_t slot, bool firstPass) {
  if (slot < 0 || slot >= RigVelaReadingText::DaSlots) return true;
  if (firstPass) {
    sendE8Request(readings_.daCode[static_cast<size_t>(slot)]);
    return false;
  }
  return takeReading(true, slot);
}

void clsIndOp_RigVela::sendE8Request(int16_t code) {
  Globals::seq().easySendE8ReqAnswer(clsConsole::E8Text(kReadCommand, code));
}

bool clsIndOp_RigVela::takeReading(bool digital, int16_t slot) {
  if (Globals::seq().OpRunning()) return false;
  const Bytes& answer = Globals::com().lnk3D().varLastE8Answer();
  if (RigVelaOp_AnswerBad(answer)) {
    task_.linkErrorFlag = true;
    return true;
  }
  const int16_t v = RigVelaOp_AnswerValue(answer);
  if (auto* o = ProcedureObserver::attached()) o->onReading(digital ? 1 : 0, slot, v);
  int16_t& last = digital ? readings_.daLast[static_cast<size_t>(slot)] : readings_.adLast[static_cast<size_t>(slot)];
  if (v != last) {
    last = v;
    const std::string text = digital ? RigVelaReadingText::DaLine(slot, v) : RigVelaReadingText::AdLine(slot, v);
    setListRow(Globals::mainWindow().lbo01(digital ? 1 : 0), slot + 1, text);
  }
  return true;
}

bool clsIndOp_RigVela::RigVelaOp_AnswerBad(const Bytes& answer) const {
  if (answer.size() != kAnswerLength || task_.idBytes.size() > kAnswerLength) return true;
  if (!std::equal(task_.idBytes.begin(), task_.idBytes.end(), answer.begin())) return true;
  return Common::HexDigitValue(answer[5]) < 0 || Common::HexDigitValue(answer[6]) < 0;
}

int16_t clsIndOp_RigVela::RigVelaOp_AnswerValue(const Bytes& answer) {
  if (answer.size() < kAnswerLength) return 0;
  const int hi = Common::HexDigitValue(answer[5]);
  const int lo = Common::HexDigitValue(answer[6]);
  if (hi < 0 || lo < 0) return 0;
  return static_cast<int16_t>(hi * 16 + lo);
}
