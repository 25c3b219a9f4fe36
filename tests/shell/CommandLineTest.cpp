#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct LineCase {
  QStringList arguments;
  QString port;
  bool exitNow;
  int exitCode;
  QString outputHas;
};

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, ParsesAsTheTechnicianTypedIt) {
  const LineCase& c = GetParam();
  QStringList arguments{"ravlen-adj"};
  arguments << c.arguments;
  const CommandLine::Options options = CommandLine::Parse(arguments);
  EXPECT_EQ(options.port, c.port);
  EXPECT_EQ(options.exitNow, c.exitNow);
  EXPECT_EQ(options.exitCode, c.exitCode);
  if (c.outputHas.isEmpty()) {
    EXPECT_TRUE(options.output.isEmpty()) << options.output.toStdString();
  } else {
    EXPECT_TRUE(options.output.contains(c.outputHas)) << options.output.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(LineCase{{}, "", false, 0, ""},
                      LineCase{{"--port", "/dev/ttyUSB3"}, "/dev/ttyUSB3", false, 0, ""},
                      LineCase{{"--port=/dev/serial/by-id/usb-x-if00-port0"},
                               "/dev/serial/by-id/usb-x-if00-port0", false, 0, ""},
                      LineCase{{"-port", "/dev/ttyS0"}, "/dev/ttyS0", false, 0, ""},
                      LineCase{{"--help"}, "", true, 0, "--port <DEVICE>"},
                      LineCase{{"-h"}, "", true, 0, "--version"},
                      LineCase{{"--help-all"}, "", true, 0, " [options]\n"},
                      LineCase{{"--version"}, "", true, 0, "ravlen-adj 1.0\n"},
                      LineCase{{"-v"}, "", true, 0, "ravlen-adj 1.0\n"},
                      // Help wins over anything else on the line.
                      LineCase{{"--bogus", "--help"}, "", true, 0, "--port <DEVICE>"},
                      LineCase{{"--port"}, "", true, 1, "Missing value after '--port'"},
                      LineCase{{"--port", "  "}, "", true, 1, "--port needs a device path"},
                      LineCase{{"--bogus"}, "", true, 1, "Unknown option 'bogus'"},
                      LineCase{{"/dev/ttyUSB0"}, "", true, 1, "unexpected argument '/dev/ttyUSB0'"},
                      LineCase{{"--bogus"}, "", true, 1, "Try 'ravlen-adj --help'."}));

TEST(CommandLine, ParsesWithoutAProgramName) {
  EXPECT_FALSE(CommandLine::Parse({}).exitNow);
}

}  // namespace
