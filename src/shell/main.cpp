#include <QApplication>
#include <cstdio>

#include "CommandLine.h"
#include "Globals.h"
#include "frmCom.h"
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
  // Help, version and usage errors need no window system.
  const CommandLine::Options options = CommandLine::Parse(argumentsOf(argc, argv));
  if (options.exitNow) return printAndExit(options);

  QApplication app(argc, argv);

  start::InstallWindowMessageBox();
  if (!start::Main(options.port.toStdString())) return 1;
  if (!options.trace.isEmpty()) {
    std::string error;
    if (!Globals::com().trace().open(options.trace.toStdString(), error)) {
      std::fprintf(stderr, "%s: cannot trace to %s\n", CommandLine::ProgramName, error.c_str());
      Globals::tearDown();
      return 1;
    }
  }
  const int rc = QApplication::exec();
  Globals::tearDown();
  return rc;
}
