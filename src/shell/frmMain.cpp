#include "frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "Common.h"
#include "CurvesWindow.h"
#include "Globals.h"
#include "PortDiagnosis.h"
#include "PortSettingsDialog.h"
#include "SessionMenus.h"
#include "SessionRecorder.h"
#include "Twips.h"
#include "WayBackMenus.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcProfileIO.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"

namespace {

// Typed one code lower and in any case: the trigger of the hidden caption.
const char* const kHiddenTrigger = "SBWMFOTFSWJDF";
const char* const kHiddenText = "opjujef!idofc!fdjwsft!.!KEB!ofmwbS";
constexpr int kKeyBufferLength = 13;
constexpr double kComBusyPlace = 120;

QFont courierNew(double points, bool bold = false) {
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

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
  setFont(courierNew(9));
  buildControls();
  buildMenus();
  qApp->installEventFilter(this);
}

frmMain::~frmMain() { qApp->removeEventFilter(this); }

void frmMain::buildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  for (QWidget*& line : linSepa_) {
    line = new QWidget(central);
    line->setAutoFillBackground(true);
  }
  lblComBusy_ = new QLabel(central);
  for (size_t i = 0; i < cmd00_.size(); ++i) {
    cmd00_[i] = new QPushButton(central);
    connect(cmd00_[i], &QPushButton::clicked, this, [this, i] { cmd00_Click(static_cast<int16_t>(i)); });
  }
  buildFrames(central);
  sizeLabels();
}

void frmMain::buildFrames(QWidget* central) {
  fra01_[0] = new QGroupBox(central);
  lblTitle_ = new QLabel(fra01_[0]);
  lblTitle_->setFont(courierNew(9.75));
  lblTitle_->setAlignment(Qt::AlignCenter);
  lblProgress_ = new QLabel(fra01_[0]);
  lblProgress_->setFont(courierNew(9, true));

  fra01_[1] = new QGroupBox(central);
  auto* lists = new QFrame(fra01_[1]);
  fra01_[2] = lists;
  for (QListWidget*& list : lbo01_) {
    list = new QListWidget(lists);
    list->setFont(courierNew(8.25));
  }
  lboConsole_ = new QListWidget(fra01_[1]);
  lboConsole_->setSelectionMode(QAbstractItemView::SingleSelection);

  fra01_[3] = new QGroupBox(central);
  txtDispPara_ = new QPlainTextEdit(fra01_[3]);
  txtDispPara_->setReadOnly(true);
  txtDispPara_->setLineWrapMode(QPlainTextEdit::NoWrap);

  // Not connected: the title frame shows, the model task switches frames later.
  fra01_[1]->hide();
  fra01_[3]->hide();
}

// The labels keep these sizes; the layout centres them.
void frmMain::sizeLabels() {
  const QFontMetrics title(lblTitle_->font());
  const int titleWidth = title.horizontalAdvance(QString(30, 'M'));
  lblTitle_->resize(titleWidth + 8, 3 * title.lineSpacing() + 8);
  const QFontMetrics progress(lblProgress_->font());
  lblProgress_->resize(progress.horizontalAdvance(QString(32, 'o')) + 4, progress.height() + 4);
  const QFontMetrics port(lblComBusy_->font());
  lblComBusy_->resize(port.horizontalAdvance("COM 10: CLOSE") + 4, port.height() + 2);
}

void frmMain::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  mnuFileExit_ = file->addAction("E&xit");
  connect(mnuFileExit_, &QAction::triggered, this, [this] { mnuFileExit_Click(); });

  QMenu* option = menuBar()->addMenu("&Option");
  wayBackMenus_ = new WayBackMenus(this, menuBar(), option->menuAction());
  QMenu* port = option->addMenu("&Port");
  for (int16_t n = 1; n <= 4; ++n) {
    QAction* a = port->addAction(QString("COM &%1").arg(n));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, n] { mnuOptSelCom_Click(n); });
    mnuOptSelCom_[static_cast<size_t>(n)] = a;
  }
  port->addSeparator();
  mnuOptPortSettings_ = port->addAction("&Settings\u2026");
  connect(mnuOptPortSettings_, &QAction::triggered, this, [this] { mnuOptPortSettings_Click(); });
  QMenu* release = option->addMenu("&Auto port release");
  for (int16_t n = 0; n <= 5; ++n) {
    QAction* a = release->addAction(n == 0 ? QString("&OFF") : QString("&%1 sec").arg(n));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, n] { mnuOptionSelAutoRelease_Click(n); });
    mnuOptionSelAutoRelease_[static_cast<size_t>(n)] = a;
  }
  SessionMenus::add(file, mnuFileExit_, option, this);
  wayBackMenus_->addFileEntry(file, mnuFileExit_);
  CurvesWindow::addMenuEntry(*option, *this);
}

void frmMain::Form_Initialize() {
  // Creating the model resets the port; an error it raised before still waits
  // for the first tick to be reported.
  frmCom& com = Globals::com();
  const bool cannotOpen = com.errCannotOpen();
  const bool overflow = com.errOverflow();
  setComPortNo(1);
  setComAutoRelease(0);
  if (cannotOpen) com.seterrCannotOpen(true);
  if (overflow) com.seterrOverflow(true);
}

void frmMain::Form_Load() {
  setWindowTitle(Common::AppTitle);
  lblTitle_->setText(QString("%1\r\n%2\r\n%3")
                         .arg(Common::AppTitle, "Adjust Utility for Selvik", "Ravlen Radio Works 2026"));
  clsIndOp_RigVela& model = Globals::model();
  model.RigOpFunc_FormResource();
  model.RigOpFunc_FormLayout();
}

void frmMain::showEvent(QShowEvent* event) {
  if (!loaded_) {
    loaded_ = true;
    Form_Load();
    Form_Resize();
  }
  QMainWindow::showEvent(event);
}

void frmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (loaded_) Form_Resize();
}

void frmMain::Form_Resize() {
  const int width = innerSize().width();
  for (size_t i = 0; i < linSepa_.size(); ++i) {
    linSepa_[i]->setGeometry(0, static_cast<int>(i), width, 1);
    QPalette linePalette = linSepa_[i]->palette();
    linePalette.setColor(QPalette::Window, SystemColor(i == 0 ? Shadow : Highlight));
    linSepa_[i]->setPalette(linePalette);
  }
  lblComBusy_->clear();
  const Twips twips = Twips::ForScreen(screen());
  twips.Move(*lblComBusy_, kComBusyPlace, kComBusyPlace);
  Globals::model().RigOpFunc_FormLayout();
}

QSize frmMain::innerSize() {
  if (QLayout* frame = layout()) {
    frame->invalidate();
    frame->activate();
  }
  return centralWidget()->size();
}

void frmMain::setOuterGeometry(const QRect& outer) {
  const QSize frame = frameGeometry().size() - geometry().size();
  resize((outer.size() - frame).expandedTo(QSize(1, 1)));
  move(outer.topLeft());
}

QColor frmMain::SystemColor(int16_t index) const {
  switch (index) {
    case Shadow:
      return palette().color(QPalette::Active, QPalette::Dark);
    case GrayText:
      return palette().color(QPalette::Disabled, QPalette::WindowText);
    case ButtonText:
      return palette().color(QPalette::Active, QPalette::ButtonText);
    case Highlight:
      return palette().color(QPalette::Active, QPalette::Light);
    default:
      return palette().color(QPalette::Active, QPalette::WindowText);
  }
}

// The window sees every key before its controls (F5), then the console list and
// the buttons see their own; nothing here stops a key but the console's steps.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (isFirstReceiver(watched)) {
      Form_KeyDown(key->key());
      if (isEnterKey(key->key()) && watched != lboConsole_ && pressButtonFor(watched)) return true;
    }
    if (watched == lboConsole_) return lboConsole_KeyDown(key->key(), key->modifiers());
    for (QPushButton* button : cmd00_) {
      if (watched == button) cmd00_KeyPress(key->text());
    }
  } else if (event->type() == QEvent::FocusIn && watched == lboConsole_) {
    lboConsole_GotFocus();
  }
  return QMainWindow::eventFilter(watched, event);
}

// A key goes first to the focused control (or to the window without one), then
// up through its parents: the window acts on it once, at the first of these.
bool frmMain::isFirstReceiver(const QObject* watched) const {
  const QWidget* first = focusWidget() ? focusWidget() : this;
  return watched == first;
}

bool frmMain::isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// Enter presses the focused button, or else the default button: what a dialog
// does, which a main window does not on its own.
bool frmMain::pressButtonFor(const QObject* focused) {
  QPushButton* chosen = nullptr;
  for (QPushButton* button : cmd00_) {
    if (button == focused) chosen = button;
  }
  if (chosen == nullptr) {
    for (QPushButton* button : cmd00_) {
      if (button->isDefault() && button->isVisible()) chosen = button;
    }
  }
  if (chosen == nullptr) return false;
  if (chosen->isEnabled()) chosen->click();
  return true;
}

void frmMain::Form_KeyDown(int key) {
  if (key == Qt::Key_F5) Globals::model().RigOpFunc_ClickCmd00(1);
  if (key == Qt::Key_Escape && cancelButton_ >= 0 && cmd00(cancelButton_).isEnabled()) cmd00(cancelButton_).click();
}

bool frmMain::lboConsole_KeyDown(int key, Qt::KeyboardModifiers shift) {
  const int16_t row = static_cast<int16_t>(lboConsole_->currentRow());
  const bool shifted = shift.testFlag(Qt::ShiftModifier);
  clsConsole& console = Globals::console();
  const bool hasRow = row >= 0 && row < console.ListCount();
  // The numeric pad's separator key arrives as its layout's comma or point.
  const bool padSeparator = shift.testFlag(Qt::KeypadModifier) && (key == Qt::Key_Comma || key == Qt::Key_Period);
  if (padSeparator) key = Qt::Key_Enter;
  switch (key) {
    case Qt::Key_Left:
      if (hasRow) Globals::model().wayBack().keyStep(row, shifted ? -5 : -1);
      return true;
    case Qt::Key_Right:
      if (hasRow) Globals::model().wayBack().keyStep(row, shifted ? 5 : 1);
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (hasRow) console.EnterPushed(row);
      return true;
    default:
      return false;
  }
}

void frmMain::lboConsole_GotFocus() {
  if (lboConsole_->currentRow() < 0 && lboConsole_->count() > 0) lboConsole_->setCurrentRow(0);
}

void frmMain::cmd00_Click(int16_t index) {
  if (index >= 0 && index <= 2) Globals::model().RigOpFunc_ClickCmd00(index);
}

void frmMain::cmd00_KeyPress(const QString& typed) {
  for (const QChar c : typed) {
    keyBuffer_ += QChar(static_cast<char16_t>(c.unicode() + 1)).toUpper();
    keyBuffer_ = keyBuffer_.right(kKeyBufferLength);
    if (keyBuffer_ == QLatin1String(kHiddenTrigger)) setWindowTitle(DecodeHiddenText(kHiddenText));
  }
}

QString frmMain::DecodeHiddenText(const QString& stored) {
  QString text;
  for (qsizetype i = stored.size() - 1; i >= 0; --i) text += QChar(static_cast<char16_t>(stored[i].unicode() - 1));
  return text;
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
  wayBackMenus_->refresh();
}

void frmMain::refreshMenuChecks() {
  // Every tick and every receive event pass here: touch a mark only when it changes.
  auto mark = [](QAction& action, bool on) {
    if (action.isChecked() != on) action.setChecked(on);
  };
  for (int16_t n = 1; n <= 4; ++n) mark(mnuOptSelCom(n), n == comPortNo_);
  for (int16_t n = 0; n <= 5; ++n) mark(mnuOptionSelAutoRelease(n), n == comAutoRelease_);
}

void frmMain::refreshPortLabel() {
  const bool open = Globals::com().comOpen();
  const QString text =
      QString::fromStdString("COM" + SignedNumberText(comPortNo_) + (open ? ": OPEN" : ": CLOSE"));
  if (lblComBusy_->text() != text) lblComBusy_->setText(text);
  const QColor colour = SystemColor(open ? ButtonText : GrayText);
  if (lblComBusy_->palette().color(QPalette::WindowText) != colour) {
    QPalette labelPalette = lblComBusy_->palette();
    labelPalette.setColor(QPalette::WindowText, colour);
    lblComBusy_->setPalette(labelPalette);
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
  // Before the reset: the device tried is the one of this port number.
  const std::string details = com.errCannotOpen() ? PortTroubleDetails() : std::string();
  Globals::model().RigOpFunc_ResetAll();
  if (!text.empty()) Common::MsgBoxApp(text, details);
}

std::string frmMain::PortTroubleDetails() {
  frmCom& com = Globals::com();
  if (!com.MsCom().DeviceFor) return {};
  const SystemSerialPortList present;
  return PortDiagnosis(present).Examine(com.MsCom().DeviceFor(com.comPortNum())).text;
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
  // The port form knows COM 1 to 10 only; another number loads as the default.
  const bool known = value >= frmCom::imdMinComPortNum() && value <= frmCom::imdmaxComPortNum();
  setComPortNo(static_cast<int16_t>(known ? value : 1));
  profile.loadData("ComAutoRelease", value, int32_t{0});
  setComAutoRelease(static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX)));
}

void frmMain::mnuOptSelCom_Click(int16_t index) { setComPortNo(index); }

void frmMain::mnuOptPortSettings_Click() {
  const SystemSerialPortList present;
  PortSettingsDialog dialog(Globals::com().profMain().GetMyProfile(), present, this);
  dialog.exec();
}

void frmMain::mnuOptionSelAutoRelease_Click(int16_t index) { setComAutoRelease(index); }

void frmMain::mnuFileExit_Click() { close(); }

void frmMain::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
  Form_Unload();
}

void frmMain::Form_QueryUnload() {
  if (Globals::sessionRecorder().sessionActive()) Globals::model().RigVelaOp_EndSession();
  frmCom& com = Globals::com();
  com.AllOver();
  com.Form_Unload();
}

void frmMain::Form_Unload() { QCoreApplication::quit(); }
