// The connection as a state machine: clone read, set-up, first readings, the
// start command, the first sending of every row, then the service cycle.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "Globals.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "frmMain.h"

namespace {

constexpr int16_t kStateCount = 30;
constexpr int kBarLength = 32;
constexpr int16_t kStartCommand = 0x02;

enum State : int16_t {
  Idle = 0,
  Start = 1,
  CloneRead = 2,
  FirstReadings = 3,
  StartCommand = 8,
  FirstSend = 9,
  CycleStart = 10,
  ReloadAd = 11,
  ReloadDa = 16,
  SendChanged = 25,
  EnterService = 26,
  Procedures = 27,
  CycleEnd = 28,
  ParameterText = 29,
};

}  // namespace

void clsIndOp_RigVela::task() {
  clsCmcLnk3Sequence& seq = Globals::seq();
  if (seq.OpRunning()) {
    if (task_.opState == CloneRead) {
      const clsCmcLnk3Drv& driver = Globals::com().lnk3D();
      const int32_t end = driver.EndAddress();
      const int64_t n = end > 0 ? int64_t{33} * driver.lastEeAdr() / end : 0;
      showProgress(static_cast<int>(std::clamp<int64_t>(n, 0, kBarLength)));
    }
    return;
  }
  if (task_.opState >= FirstReadings && task_.opState <= FirstSend) {
    showProgress((task_.opState - 2) * kBarLength / 7);
  }
  if (task_.WaitE8Required > 0) {
    task_.waitTimer.setcounter(task_.WaitE8Required);
    if (wayBack_.busy()) RigVelaWayBack::wakeTickAfter(task_.WaitE8Required);
    task_.WaitE8Required = 0;
  }
  if (task_.waitTimer.counter() > 0) return;

  for (;;) {
    int16_t next = static_cast<int16_t>((task_.opState + 1) % kStateCount);
    const bool advanced = runState(next);
    if (advanced) task_.opState = next;
    task_.stateEntered = advanced;
    if (task_.linkErrorFlag) {
      Globals::mainWindow().MsgBoxCloneErr(seq);
      RigOpFunc_ResetAll();
      break;
    }
    if (seq.OpRunning() || !advanced || task_.opState == CycleEnd) break;
  }
  RigVelaOp_RefreshForm();
}

// The work of the current state; true when the machine moves on to next.
bool clsIndOp_RigVela::runState(int16_t& next) {
  const int16_t state = task_.opState;
  switch (state) {
    case Idle:
      return false;
    case Start:
      return true;
    case CloneRead:
      if (task_.stateEntered) {
        Globals::seq().easyCloneRead();
        return false;
      }
      RigVelaOp_PostReadSetup();
      return true;
    case StartCommand:
      sendE8(kStartCommand, 1);
      return true;
    case FirstSend:
      return RigVelaOp_SendChangedItems();
    case SendChanged: {
      if (!RigVelaOp_SendChangedItems()) return false;
      const RigVelaWayBack::Fed fed = wayBack_.feed();
      if (fed == RigVelaWayBack::Fed::Row) return RigVelaOp_SendChangedItems();
      return fed == RigVelaWayBack::Fed::Nothing;
    }
    case CycleStart:
      task_.reloadThisCycle = task_.reloadRequest;
      task_.reloadRequest = false;
      return true;
    case EnterService:
      RigVelaOp_EnterService();
      return true;
    case Procedures:
      return RigVelaOp_AutoDispatch();
    case CycleEnd:
      if (task_.dispParaRequest) {
        RigVelaOp_AutoReset();
        next = ParameterText;
      } else {
        next = CycleStart;
      }
      return true;
    case ParameterText:
      if (task_.stateEntered) {
        std::string text = eep_.RigVelaEep_DispPara();
        std::erase(text, '\r');
        Globals::mainWindow().txtDispPara().setPlainText(QString::fromStdString(text));
      }
      if (task_.dispParaRequest) return false;
      next = CycleEnd;
      Globals::mainWindow().cmd00(2).setFocus();
      return true;
    default:
      break;
  }
  if (state >= FirstReadings && state < StartCommand) {
    return RigVelaOp_ReadAD(static_cast<int16_t>(state - FirstReadings), task_.stateEntered);
  }
  if (state >= ReloadAd && state < ReloadDa) {
    return !task_.reloadThisCycle || RigVelaOp_ReadAD(static_cast<int16_t>(state - ReloadAd), task_.stateEntered);
  }
  if (state >= ReloadDa && state < SendChanged) {
    return !task_.reloadThisCycle || RigVelaOp_ReadDA(static_cast<int16_t>(state - ReloadDa), task_.stateEntered);
  }
  return false;
}

void clsIndOp_RigVela::showProgress(int filled) {
  filled = std::clamp(filled, 0, kBarLength);
  const QString text = QString(filled, QChar('o')) + QString(kBarLength - filled, QChar('.'));
  QLabel& label = Globals::mainWindow().lblProgress();
  if (label.text() != text) label.setText(text);
}

void clsIndOp_RigVela::RigVelaOp_RefreshForm() {
  frmMain& w = Globals::mainWindow();
  const bool shielding = RigVelaProp_Shielding();
  const bool editing = RigVelaProp_EditEnabled();
  const bool dispPara = RigVelaProp_DispPara();
  if (w.fra01(0).isHidden() == shielding) w.fra01(0).setVisible(shielding);
  if (w.fra01(1).isHidden() == editing) {
    w.fra01(1).setVisible(editing);
    if (editing) w.lboConsole().setFocus();
  }
  if (w.fra01(3).isHidden() == dispPara) w.fra01(3).setVisible(dispPara);
  w.cmd00(0).setEnabled(!dispPara);
  w.cmd00(1).setEnabled(editing);
  w.cmd00(2).setEnabled(!shielding);
  if (w.cmd00(2).isDefault() != dispPara) w.cmd00(2).setDefault(dispPara);
  w.setCancelButton(dispPara ? 2 : -1);
}

void clsIndOp_RigVela::sendE8(int16_t command, int16_t value) {
  Globals::seq().easySendE8NoAnswer(clsConsole::E8Text(command, value));
}
