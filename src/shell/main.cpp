#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "CommandLine.h"
#include "EndingSignals.h"
#include "Globals.h"
#include "frmCom.h"
#include "frmMain.h"
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

// Ends the run as File, Exit does: the session's report, the profile, the port.
void endAsFileExit() {
  if (Globals::mainWindowExists()) {
    Globals::mainWindow().close();
  } else {
    QCoreApplication::quit();
  }
}

// Qt's X11 plugin calls exit() when the display goes away: the run still ends as
// File, Exit does, and the windows go while the application object lives.
void endAtExit() {
  if (!Globals::mainWindowExists()) return;  // main has ended the run already
  Globals::mainWindow().close();
  Globals::tearDown();
}

// The global objects go before the application object, however main returns.
struct GlobalsOwner {
  GlobalsOwner() = default;
  GlobalsOwner(const GlobalsOwner&) = delete;
  GlobalsOwner& operator=(const GlobalsOwner&) = delete;
  ~GlobalsOwner() { Globals::tearDown(); }
};

}  // namespace

int main(int argc, char** argv) {
  // Help, version and usage errors need no window system.
  const CommandLine::Options options = CommandLine::Parse(argumentsOf(argc, argv));
  if (options.exitNow) return printAndExit(options);

  QApplication app(argc, argv);

  const GlobalsOwner globals;
  EndingSignals endingSignals;
  endingSignals.OnSignal = [](int) { endAsFileExit(); };
  start::InstallWindowMessageBox();
  if (!start::Main(options.port.toStdString())) return 1;
  if (!options.trace.isEmpty()) {
    std::string error;
    if (!Globals::com().trace().open(options.trace.toStdString(), error)) {
      std::fprintf(stderr, "%s: cannot trace to %s\n", CommandLine::ProgramName, error.c_str());
      return 1;
    }
  }
  std::atexit(endAtExit);
  return QApplication::exec();
}
