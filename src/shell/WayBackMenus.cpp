#include "WayBackMenus.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "Common.h"
#include "Globals.h"
#include "SessionRecorder.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"

namespace {

constexpr int kReadSteps = 100;

RigVelaWayBack& wayBack() { return Globals::model().wayBack(); }

// Connected, in the service cycle, with no procedure running and nothing of the
// way back under way.
bool idleForWayBack() {
  clsIndOp_RigVela& model = Globals::model();
  return model.RigVelaProp_EditEnabled() && model.autoState().autoCode == 0 && !model.wayBack().busy();
}

void enable(QAction* action, bool on) {
  if (action->isEnabled() != on) action->setEnabled(on);
}

QListWidget* listOf(const QStringList& lines, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->addItems(lines);
  list->setFocusPolicy(Qt::NoFocus);
  return list;
}

}  // namespace

WayBackMenus::WayBackMenus(QWidget* window, QMenuBar* bar, QAction* before) : QObject(window), window_(window) {
  auto* edit = new QMenu("&Edit", window);
  bar->insertMenu(before, edit);
  undo_ = edit->addAction("&Undo");
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_ = edit->addAction("&Redo");
  redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  edit->addSeparator();
  revert_ = edit->addAction("Re&vert to the values read\u2026");
  verify_ = edit->addAction("Veri&fy against the transceiver");
  for (QAction* a : {undo_, redo_, revert_, verify_}) {
    a->setShortcutContext(Qt::WindowShortcut);
    a->setEnabled(false);
  }
  connect(undo_, &QAction::triggered, this, [] { wayBack().undo(); });
  connect(redo_, &QAction::triggered, this, [] { wayBack().redo(); });
  connect(revert_, &QAction::triggered, this, [this] { revertClicked(); });
  connect(verify_, &QAction::triggered, this, [this] { verifyClicked(); });
  connect(edit, &QMenu::aboutToShow, this, [this] { refresh(); });
}

void WayBackMenus::addFileEntry(QMenu* file, QAction* fileBefore) {
  apply_ = new QAction("&Apply adjustments from backup\u2026", file);
  apply_->setEnabled(false);
  file->insertAction(fileBefore, apply_);
  connect(apply_, &QAction::triggered, this, [this] { applyClicked(); });
  connect(file, &QMenu::aboutToShow, this, [this] { refresh(); });
}

void WayBackMenus::refresh() {
  const bool idle = idleForWayBack();
  RigVelaWayBack& back = wayBack();
  enable(undo_, idle && back.canUndo());
  enable(redo_, idle && back.canRedo());
  enable(revert_, idle);
  enable(verify_, idle);
  if (apply_) enable(apply_, idle);
  if (progress_) {
    if (back.verifying()) {
      const clsCmcLnk3Drv& driver = Globals::com().lnk3D();
      const int32_t end = driver.EndAddress();
      const int64_t done = end > 0 ? int64_t{kReadSteps} * driver.lastEeAdr() / end : 0;
      progress_->setValue(static_cast<int>(std::clamp<int64_t>(done, 0, kReadSteps)));
    } else if (applying_) {
      progress_->setValue(back.planSent());
    }
  }
  const RigVelaWayBack::Outcome outcome = back.takeOutcome();
  if (outcome != RigVelaWayBack::Outcome::None) showOutcome(outcome);
  // A link fault ends everything: its own message box says why.
  if (progress_ && !back.busy() && !Globals::model().RigVelaProp_EditEnabled()) progress_->close();
}

QStringList WayBackMenus::rowLines(const std::vector<RigVelaWayBack::RowChange>& rows, const QString& nowName,
                                   const QString& targetName, bool targetFirst) {
  QStringList lines;
  for (const auto& r : rows) {
    const QString now = nowName + " " + QString::number(r.now);
    const QString target = targetName + " " + QString::number(r.target);
    lines << QString::fromStdString(r.title) + ": " + (targetFirst ? target + ", " + now : now + ", " + target);
  }
  return lines;
}

bool WayBackMenus::confirmRows(QWidget* parent, const QString& title, const QString& head, const QString& button,
                               const QStringList& rows, const QStringList& apart) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(head, &dialog));
  layout->addWidget(listOf(rows, &dialog));
  if (!apart.isEmpty()) {
    layout->addWidget(new QLabel("Not changed by this utility (stored values of the parameter text):", &dialog));
    layout->addWidget(listOf(apart, &dialog));
  }
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* accept = buttons->addButton(button, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  accept->setDefault(true);
  accept->setEnabled(!rows.empty());
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  accept->setFocus();
  return dialog.exec() == QDialog::Accepted;
}

void WayBackMenus::revertClicked() {
  if (!idleForWayBack()) return;
  const auto rows = wayBack().revertPlan();
  const QString head = rows.empty() ? "Every row holds the value read." : "These rows differ from the values read:";
  if (!confirmRows(window_, "Revert to the values read", head, "&Revert", rowLines(rows, "now", "read", true))) return;
  if (!idleForWayBack()) return;
  wayBack().startPlan(rows, "revert");
  applying_ = true;
  startProgress("Revert to the values read", "Reverting\u2026", static_cast<int>(rows.size()), true);
}

void WayBackMenus::applyClicked() {
  if (!idleForWayBack()) return;
  const QString folder = QString::fromStdString(SessionRecorder::backupsFolder());
  QDir().mkpath(folder);
  const QString path = QFileDialog::getOpenFileName(window_, "Apply adjustments from backup", folder,
                                                    "Memory images (*.img);;All files (*)", nullptr,
                                                    QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  std::string error;
  const auto preview = wayBack().previewBackup(path.toStdString(), error);
  if (!preview) {
    Common::MsgBoxApp(error);
    return;
  }
  QStringList apart;
  for (const std::string& l : preview->nowLines) apart << "now:    " + QString::fromStdString(l).simplified();
  for (const std::string& l : preview->backupLines) apart << "backup: " + QString::fromStdString(l).simplified();
  const QString name = QFileInfo(path).fileName();
  const QString head = preview->rows.empty() ? "Every row holds the value of " + name + "."
                                             : "These rows differ from " + name + ":";
  if (!confirmRows(window_, "Apply adjustments from backup", head, "&Apply",
                   rowLines(preview->rows, "now", "backup", false), apart)) {
    return;
  }
  if (!idleForWayBack()) return;
  wayBack().startPlan(preview->rows, "from " + name.toStdString());
  applying_ = true;
  startProgress("Apply adjustments from backup", "Applying " + name + "\u2026", static_cast<int>(preview->rows.size()), true);
}

void WayBackMenus::verifyClicked() {
  if (!idleForWayBack()) return;
  wayBack().requestVerify();
  applying_ = false;
  startProgress("Verify against the transceiver", "Reading the memory back\u2026", kReadSteps, false);
}

void WayBackMenus::startProgress(const QString& title, const QString& label, int maximum, bool stoppable) {
  if (progress_) progress_->close();
  if (notice_) notice_->close();
  auto* dialog = new QProgressDialog(label, stoppable ? "&Stop" : QString(), 0, maximum, window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(title);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAutoClose(false);
  dialog->setAutoReset(false);
  dialog->setMinimumDuration(0);
  if (stoppable) {
    connect(dialog, &QProgressDialog::canceled, this, [dialog] {
      wayBack().stopPlan();
      dialog->setLabelText("Stopping after the current row\u2026");
    });
  }
  dialog->setValue(0);
  dialog->show();
  progress_ = dialog;
}

void WayBackMenus::showOutcome(RigVelaWayBack::Outcome outcome) {
  if (progress_) progress_->close();
  const QString text = QString::fromStdString(wayBack().outcomeText());
  switch (outcome) {
    case RigVelaWayBack::Outcome::Sent:
    case RigVelaWayBack::Outcome::Stopped:
      applying_ = false;
      offerVerify(text.startsWith("revert") ? "Revert to the values read" : "Apply adjustments from backup", text);
      break;
    case RigVelaWayBack::Outcome::Verified:
      offerVerify("Verify against the transceiver", text.left(1).toUpper() + text.mid(1) + ": the transceiver holds every value sent.");
      break;
    case RigVelaWayBack::Outcome::Differs:
      Common::MsgBoxApp("The transceiver does not hold what was sent.\r\n\r\n" +
                        text.section('\n', 1).replace("\n", "\r\n").toStdString());
      break;
    case RigVelaWayBack::Outcome::None:
      break;
  }
}

// A window of its own, not modal: the result, and Verify as its default button
// after rows went out.
void WayBackMenus::offerVerify(const QString& title, const QString& text) {
  auto* dialog = new QDialog(window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(title);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(new QLabel(text, dialog));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  if (!text.startsWith("Verified")) {
    QPushButton* verify = buttons->addButton("&Verify", QDialogButtonBox::AcceptRole);
    verify->setDefault(true);
    connect(verify, &QPushButton::clicked, this, [this, dialog] {
      dialog->close();
      verifyClicked();
    });
  }
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  connect(dialog, &QDialog::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->show();
  notice_ = dialog;
}
