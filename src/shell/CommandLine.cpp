#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

const QCommandLineOption& portOption() {
  static const QCommandLineOption option(
      QStringList{"port"}, "Use DEVICE (for example /dev/ttyUSB0) for the profile's COM port in this run; the profile is not changed.",
      "DEVICE");
  return option;
}

const QCommandLineOption& traceOption() {
  static const QCommandLineOption option(
      QStringList{"trace"}, "Append every frame on the line, both ways, with its time in milliseconds to FILE.",
      "FILE");
  return option;
}

// The window system's own options, which the application object takes out of
// the line later: those that take a value and those that stand alone.
const QStringList& toolkitOptionsWithValue() {
  static const QStringList names{"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle", "session", "display", "geometry", "title",
                                 "icon", "name", "visual", "ncols", "style", "stylesheet", "qmljsdebugger"};
  return names;
}

const QStringList& toolkitFlags() {
  static const QStringList names{"reverse", "widgetcount", "nograb", "dograb", "sync", "cmap", "testability"};
  return names;
}

QStringList withoutToolkitOptions(const QStringList& arguments) {
  QStringList kept;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (i == 0 || !argument.startsWith('-') || argument == "--") {
      kept << argument;
      continue;
    }
    const QString name = argument.mid(argument.startsWith("--") ? 2 : 1).section('=', 0, 0);
    if (toolkitFlags().contains(name)) continue;
    if (!toolkitOptionsWithValue().contains(name)) {
      kept << argument;
      continue;
    }
    if (!argument.contains('=')) ++i;  // its value follows
  }
  return kept;
}

QString versionText() {
  return QString("%1 %2\n%3").arg(CommandLine::ProgramName, CommandLine::Version, RavlenRelease::Notice);
}

QString usageHint(const QString& error) {
  return QString("%1: %2\nTry '%1 --help'.\n").arg(CommandLine::ProgramName, error);
}

}  // namespace

void CommandLine::describe(QCommandLineParser& parser) {
  parser.setApplicationDescription("Service adjustment utility for the Selvik hand-held transceiver.");
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addOption(portOption());
  parser.addOption(traceOption());
}

CommandLine::Options CommandLine::Parse(const QStringList& arguments) {
  QCommandLineParser parser;
  describe(parser);
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  Options options;
  const bool parsed = parser.parse(arguments.isEmpty() ? QStringList{ProgramName} : withoutToolkitOptions(arguments));
  if (parser.isSet(help) || parser.isSet("help-all")) {
    options.exitNow = true;
    // Without an application object Qt cannot know the program's name.
    options.output = parser.helpText().replace("<executable_name>", ProgramName);
    return options;
  }
  if (parser.isSet(version)) {
    options.exitNow = true;
    options.output = versionText();
    return options;
  }
  QString error;
  if (!parsed) {
    error = parser.errorText();
  } else if (!parser.positionalArguments().isEmpty()) {
    error = QString("unexpected argument '%1'").arg(parser.positionalArguments().constFirst());
  } else if (parser.isSet(portOption()) && parser.value(portOption()).trimmed().isEmpty()) {
    error = "--port needs a device path";
  } else if (parser.isSet(traceOption()) && parser.value(traceOption()).isEmpty()) {
    error = "--trace needs a file";
  }
  if (!error.isEmpty()) {
    options.exitNow = true;
    options.exitCode = 1;
    options.output = usageHint(error);
    return options;
  }
  options.port = parser.value(portOption()).trimmed();
  options.trace = parser.value(traceOption());
  return options;
}
