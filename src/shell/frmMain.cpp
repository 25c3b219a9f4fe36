#include "frmMain.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>

#include "Common.h"
#include "Globals.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcProfileIO.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"

namespace {

constexpr int16_t kMaxReleaseSeconds = 32;  // seconds * 1000 must stay a 16-bit value

const char* const kCheckPorts = "- The COM port settings.";
const char* const kCheckCable = "- Cloning cable connections.";
const char* const kCheckPower = "- Transceiver power is ON.";
const char* const kCheckSoftware = "- Appropriate cloning software for the transceiver is being used.";
const char* const kCheckRevision = "- The revision number of the transceiver.";

std::string withChecks(const std::string& head, std::initializer_list<const char*> lines,
                       bool blankFirst = false) {
  std::string text = head + "\r\n\r\nCheck the following:";
  if (blankFirst) text += "\r\n";
  for (const char* line : lines) text += std::string("\r\n") + line;
  return text;
}

}  // namespace

frmMain::frmMain() {
  setFont(QFont("Courier New"));
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  lblTitle_.setParent(central);
  lblComBusy_.setParent(central);
  layout->addWidget(&lblComBusy_);
  layout->addWidget(&lblTitle_);
  layout->addStretch();
  setCentralWidget(central);
  buildMenus();
  Form_Initialize();
}

void frmMain::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  mnuFileExit_ = file->addAction("E&xit");
  connect(mnuFileExit_, &QAction::triggered, this, [this] { mnuFileExit_Click(); });

  QMenu* option = menuBar()->addMenu("&Option");
  QMenu* port = option->addMenu("&Port");
  for (int16_t n = 1; n <= 4; ++n) {
    QAction* a = port->addAction(QString("COM &%1").arg(n));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, n] { mnuOptSelCom_Click(n); });
    mnuOptSelCom_[static_cast<size_t>(n)] = a;
  }
  QMenu* release = option->addMenu("&Auto port release");
  for (int16_t n = 0; n <= 5; ++n) {
    QAction* a = release->addAction(n == 0 ? QString("&OFF") : QString("&%1 sec").arg(n));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, n] { mnuOptionSelAutoRelease_Click(n); });
    mnuOptionSelAutoRelease_[static_cast<size_t>(n)] = a;
  }
}

void frmMain::Form_Initialize() {
  setComPortNo(1);
  setComAutoRelease(0);
}

void frmMain::Form_Load() {
  setWindowTitle(Common::AppTitle);
  lblTitle_.setText(QString("%1\r\n%2\r\n%3")
                        .arg(Common::AppTitle, "Adjust Utility for Selvik", "Ravlen Radio Works 2026"));
}

void frmMain::showEvent(QShowEvent* event) {
  if (!loaded_) {
    loaded_ = true;
    Form_Load();
  }
  lblComBusy_.clear();  // rewritten by the next tick
  QMainWindow::showEvent(event);
}

void frmMain::setComPortNo(int16_t portNo) {
  comPortNo_ = portNo;
  Globals::model().RigOpFunc_SetComPortNo(portNo);
}

void frmMain::setComAutoRelease(int16_t seconds) {
  comAutoRelease_ = std::clamp<int16_t>(seconds, 0, kMaxReleaseSeconds);
  Globals::seq().setcomHoldReload(static_cast<int32_t>(comAutoRelease_) * 1000);
}

void frmMain::task() {
  clsCmcLnk3Sequence& seq = Globals::seq();
  seq.task();
  Globals::model().task();
  if (seq.OpRunning()) seq.task();
  refreshMenuChecks();
  refreshPortLabel();
}

void frmMain::refreshMenuChecks() {
  for (int16_t n = 1; n <= 4; ++n) mnuOptSelCom(n).setChecked(n == comPortNo_);
  for (int16_t n = 0; n <= 5; ++n) mnuOptionSelAutoRelease(n).setChecked(n == comAutoRelease_);
}

void frmMain::refreshPortLabel() {
  const bool open = Globals::com().comOpen();
  const QString text =
      QString::fromStdString("COM" + SignedNumberText(comPortNo_) + (open ? ": OPEN" : ": CLOSE"));
  if (lblComBusy_.text() != text) lblComBusy_.setText(text);
  const QColor colour = open ? palette().color(QPalette::Active, QPalette::ButtonText)
                             : palette().color(QPalette::Disabled, QPalette::WindowText);
  if (lblComBusy_.palette().color(QPalette::WindowText) != colour) {
    QPalette labelPalette = lblComBusy_.palette();
    labelPalette.setColor(QPalette::WindowText, colour);
    lblComBusy_.setPalette(labelPalette);
  }
}

std::string frmMain::SignedNumberText(int32_t n) {
  return (n < 0 ? "" : " ") + std::to_string(n);
}

std::string frmMain::CloneErrorText(bool cannotOpen, bool overflow, int16_t portNo, int16_t lastError,
                                    int16_t seqError) {
  if (cannotOpen)
    return withChecks("Cannot access COM" + SignedNumberText(portNo) + ".", {kCheckPorts, kCheckCable, kCheckPower});
  if (overflow) return withChecks("COM buffer overflow.", {kCheckPorts, kCheckCable, kCheckPower});
  switch (lastError) {
    case 0:
      break;
    case 1:
      return withChecks("Cannot access COM port", {kCheckPorts, kCheckCable, kCheckPower});
    case 2:
      return withChecks("No answer from transceiver.", {kCheckPorts, kCheckCable, kCheckPower});
    case 3:
      return withChecks("Illegal data.", {kCheckPorts, kCheckCable, kCheckPower});
    case 4:
      return withChecks("Data counter error.", {kCheckPorts, kCheckCable, kCheckPower});
    case 5:
      return withChecks("Data overflow.", {kCheckPorts, kCheckCable, kCheckPower});
    case 6:
    case 7:
      return withChecks("Cannot write cloning data.", {kCheckCable, kCheckPower});
    default:
      return withChecks("Cannot Clone.", {kCheckPorts, kCheckCable, kCheckPower}, true);
  }
  switch (seqError) {
    case 0:
      return withChecks("Communication failed.", {kCheckCable, kCheckPower});
    case 2:
      return "Version number does not match\r\nfor this transceiver.";
    case 3:
      return withChecks("Connected transceiver is not compatible model.", {kCheckSoftware, kCheckRevision});
    default:
      return withChecks("Cannot Clone.", {kCheckPorts, kCheckCable, kCheckPower});
  }
}

void frmMain::MsgBoxCloneErr(clsCmcLnk3Sequence& seq) {
  frmCom& com = Globals::com();
  const std::string text = CloneErrorText(com.errCannotOpen(), com.errOverflow(), com.comPortNum(),
                                          com.lnk3D().lastError(), seq.error());
  Globals::model().RigOpFunc_ResetAll();
  if (!text.empty()) Common::MsgBoxApp(text);
}

void frmMain::saveData(clsCmcProfileIO& profile) {
  profile.setSection("OPTION");
  profile.saveData("ComPort", comPortNo_);
  profile.saveData("ComAutoRelease", comAutoRelease_);
}

void frmMain::loadData(clsCmcProfileIO& profile) {
  profile.setSection("OPTION");
  int32_t value = 0;
  profile.loadData("ComPort", value, int32_t{1});
  setComPortNo(static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX)));
  profile.loadData("ComAutoRelease", value, int32_t{0});
  setComAutoRelease(static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX)));
}

void frmMain::mnuOptSelCom_Click(int16_t index) { setComPortNo(index); }

void frmMain::mnuOptionSelAutoRelease_Click(int16_t index) { setComAutoRelease(index); }

void frmMain::mnuFileExit_Click() { close(); }

void frmMain::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
  Form_Unload();
}

void frmMain::Form_QueryUnload() {
  frmCom& com = Globals::com();
  com.AllOver();
  com.Form_Unload();
}

void frmMain::Form_Unload() { QCoreApplication::quit(); }
