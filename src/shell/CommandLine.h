#pragma once
// The program's command line: --port DEVICE, --trace FILE, --help, --version.
#include <QString>
#include <QStringList>

#include "RavlenVersion.h"

class QCommandLineParser;

class CommandLine {
 public:
  static constexpr const char* ProgramName = "ravlen-adj";
  static constexpr const char* Version = RavlenRelease::Version;

  // What a run asks for. When exitNow is set the program prints output (to standard
  // output when exitCode is 0, else to standard error) and ends with exitCode.
  struct Options {
    QString port;  // device behind the chosen COM port for this run; empty keeps the profile's
    QString trace;  // file the protocol trace goes to; empty for none
    bool exitNow = false;
    int exitCode = 0;
    QString output;
  };

  // Parses arguments (the program name first), before the application object
  // exists: the window system's own options are passed over. Unknown options and
  // stray arguments are refused with a short usage hint.
  static Options Parse(const QStringList& arguments);

 private:
  static void describe(QCommandLineParser& parser);
};
