#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

// An exit code of -1: the utility runs.
struct LineCase { QStringList arguments; QString port, trace; int exitCode; QString outputHas; };

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, ParsesAsTheTechnicianTypedIt) {
  const LineCase& c = GetParam();
  QStringList arguments{"ravlen-adj"};
  arguments << c.arguments;
  const CommandLine::Options options = CommandLine::Parse(arguments);
  EXPECT_EQ(options.port, c.port);
  EXPECT_EQ(options.trace, c.trace);
  EXPECT_EQ(options.exitNow, c.exitCode >= 0);
  if (c.exitCode >= 0) { EXPECT_EQ(options.exitCode, c.exitCode); }
  if (c.outputHas.isEmpty()) {
    EXPECT_TRUE(options.output.isEmpty()) << options.output.toStdString();
  } else {
    EXPECT_TRUE(options.output.contains(c.outputHas)) << options.output.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(LineCase{{}, "", "", -1, ""},
                      LineCase{{"--port", "/dev/ttyUSB3"}, "/dev/ttyUSB3", "", -1, ""},
                      LineCase{{"--port=/dev/serial/by-id/usb-x-if00-port0"},
                               "/dev/serial/by-id/usb-x-if00-port0", "", -1, ""},
                      LineCase{{"-port", "/dev/ttyS0"}, "/dev/ttyS0", "", -1, ""},
                      LineCase{{"--trace", "/tmp/bench.trace"}, "", "/tmp/bench.trace", -1, ""},
                      LineCase{{"--trace=t.txt", "--port", "/dev/ttyUSB1"}, "/dev/ttyUSB1", "t.txt", -1, ""},
                      LineCase{{"--port", "/dev/ttyS0", "--trace", " spaced name"}, "/dev/ttyS0", " spaced name", -1, ""},
                      LineCase{{"-h"}, "", "", 0, "--version"},
                      LineCase{{"--version"}, "", "", 0, QString("ravlen-adj %1\n").arg(RavlenRelease::Version)},
                      LineCase{{"-v"}, "", "", 0, "GNU GPL version 3 or later"},
                      // Help wins over anything else on the line.
                      LineCase{{"--bogus", "--help"}, "", "", 0, "--port <DEVICE>"},
                      LineCase{{"--port", "  "}, "", "", 1, "--port needs a device path"},
                      LineCase{{"--trace"}, "", "", 1, "Missing value after '--trace'"},
                      LineCase{{"--trace", ""}, "", "", 1, "--trace needs a file"},
                      // Read before the application object exists: the window system's
                      // own options are passed over, with their values.
                      LineCase{{"-platform", "offscreen", "--port", "/dev/ttyS1"}, "/dev/ttyS1", "", -1, ""},
                      LineCase{{"--display", ":7", "-style=Fusion", "-reverse", "--trace", "t"}, "", "t", -1, ""},
                      LineCase{{"-platform", "xcb", "--bogus"}, "", "", 1, "Unknown option 'bogus'"},
                      LineCase{{"-geometry", "640x480", "stray"}, "", "", 1, "unexpected argument 'stray'"},
                      LineCase{{"-display", ":9", "--version"}, "", "", 0, "ravlen-adj 1.0\n"}));

TEST(CommandLine, ParsesWithoutAProgramName) {
  EXPECT_FALSE(CommandLine::Parse({}).exitNow);
}

}  // namespace
