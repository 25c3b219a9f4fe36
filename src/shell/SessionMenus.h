#pragma once
// The menu entries of the bench: "File → Open backups folder" and
// "Option → Trace to file…".
class QAction;
class QMenu;
class QWidget;

class SessionMenus {
 public:
  // The backups entry goes into file before `before`; the trace entry ends option.
  static void add(QMenu* file, QAction* before, QMenu* option, QWidget* parent);
  static void openBackupsFolder();
  // Starts (asking for the file) or stops the protocol trace.
  static void toggleTrace(QAction* entry, QWidget* parent);
};
