#include <QApplication>
#include <cstdio>

#include "CommandLine.h"
#include "Globals.h"
#include "start.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

int printAndExit(const CommandLine::Options& options) {
  std::fputs(options.output.toLocal8Bit().constData(), options.exitCode == 0 ? stdout : stderr);
  return options.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  // Help and version need no window system.
  const CommandLine::Options early = CommandLine::Parse(argumentsOf(argc, argv));
  if (early.exitNow && early.exitCode == 0) return printAndExit(early);

  QApplication app(argc, argv);
  // Qt has taken its own options (-platform and the like) out by now.
  const CommandLine::Options options = CommandLine::Parse(QApplication::arguments());
  if (options.exitNow) return printAndExit(options);

  start::InstallWindowMessageBox();
  if (!start::Main(options.port.toStdString())) return 1;
  const int rc = QApplication::exec();
  Globals::tearDown();
  return rc;
}
