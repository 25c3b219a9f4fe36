#pragma once
// The window's side of the way back: the Edit menu (Undo, Redo, Revert, Verify),
// File → Apply adjustments from backup…, their confirmation and preview windows,
// the progress window while rows go out or memory is read back, and the result.
#include <QObject>
#include <QPointer>
#include <vector>

#include "RigVelaWayBack.h"

class QAction;
class QMenu;
class QMenuBar;
class QProgressDialog;
class QDialog;
class QWidget;

class WayBackMenus : public QObject {
  Q_OBJECT
 public:
  // The Edit menu goes into bar before `before`; the apply entry into file before `fileBefore`.
  WayBackMenus(QWidget* window, QMenuBar* bar, QAction* before);
  void addFileEntry(QMenu* file, QAction* fileBefore);
  // Every tick: the entries' states, the progress, a result to show.
  void refresh();

  QAction* undoAction() const { return undo_; }
  QAction* redoAction() const { return redo_; }
  QAction* revertAction() const { return revert_; }
  QAction* verifyAction() const { return verify_; }
  QAction* applyAction() const { return apply_; }

  void revertClicked();
  void verifyClicked();
  void applyClicked();
  // The window that lists rows before they go out; true when its default button was taken.
  static bool confirmRows(QWidget* parent, const QString& title, const QString& head, const QString& button,
                          const QStringList& rows, const QStringList& apart = {});
  // "row 8 REF: read 120, now 125": the target named first when targetFirst.
  static QStringList rowLines(const std::vector<RigVelaWayBack::RowChange>& rows, const QString& nowName,
                              const QString& targetName, bool targetFirst);

 private:
  void startProgress(const QString& title, const QString& label, int maximum, bool stoppable);
  void showOutcome(RigVelaWayBack::Outcome outcome);
  void offerVerify(const QString& title, const QString& text);

  QWidget* window_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  QAction* revert_ = nullptr;
  QAction* verify_ = nullptr;
  QAction* apply_ = nullptr;
  QPointer<QProgressDialog> progress_;
  QPointer<QDialog> notice_;
  bool applying_ = false;
};
