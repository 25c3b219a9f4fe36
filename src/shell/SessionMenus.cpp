#include "SessionMenus.h"

#include <QAction>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QUrl>
#include <iostream>

#include "Globals.h"
#include "ProtocolTrace.h"
#include "SessionRecorder.h"
#include "frmCom.h"

void SessionMenus::add(QMenu* file, QAction* before, QMenu* option, QWidget* parent) {
  auto* backups = new QAction("Open &backups folder", file);
  file->insertAction(before, backups);
  file->insertSeparator(before);
  QObject::connect(backups, &QAction::triggered, parent, [] { openBackupsFolder(); });

  option->addSeparator();
  QAction* trace = option->addAction("&Trace to file…");
  trace->setCheckable(true);
  QObject::connect(trace, &QAction::triggered, parent, [trace, parent] { toggleTrace(trace, parent); });
  QObject::connect(option, &QMenu::aboutToShow, trace,
                   [trace] { trace->setChecked(Globals::com().trace().isOpen()); });
}

void SessionMenus::openBackupsFolder() {
  const QString folder = QString::fromStdString(SessionRecorder::backupsFolder());
  QDir().mkpath(folder);
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
    std::cerr << "ravlen-adj: cannot open " << folder.toStdString() << std::endl;
  }
}

void SessionMenus::toggleTrace(QAction* entry, QWidget* parent) {
  ProtocolTrace& trace = Globals::com().trace();
  if (trace.isOpen()) {
    trace.close();
  } else {
    const QString suggested = QDir::home().filePath(
        "ravlen-trace-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss") + ".txt");
    // An existing file is added to, never replaced: no question of overwriting it.
    const QString path = QFileDialog::getSaveFileName(parent, "Trace to file (appends to an existing file)",
                                                      suggested, {}, nullptr, QFileDialog::DontConfirmOverwrite);
    std::string error;
    if (!path.isEmpty() && !trace.open(path.toStdString(), error)) {
      std::cerr << "ravlen-adj: cannot trace to " << error << std::endl;
    }
  }
  entry->setChecked(trace.isOpen());
}
