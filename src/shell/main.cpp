#include <QApplication>

#include "Globals.h"
#include "start.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  start::InstallWindowMessageBox();
  if (!start::Main()) return 1;
  const int rc = QApplication::exec();
  Globals::tearDown();
  return rc;
}
