#include <gtest/gtest.h>

#include "CommandLine.h"

namespace {

struct TraceCase {
  QStringList arguments;
  QString trace;
  QString port;
  int exitCode;  // -1: runs
  QString outputHas;
};

class CommandLineTraceTest : public ::testing::TestWithParam<TraceCase> {};

TEST_P(CommandLineTraceTest, TheTraceFileIsTakenWithTheOtherOptions) {
  const TraceCase& c = GetParam();
  QStringList arguments{"ravlen-adj"};
  arguments << c.arguments;
  const CommandLine::Options options = CommandLine::Parse(arguments);
  EXPECT_EQ(options.trace, c.trace);
  EXPECT_EQ(options.port, c.port);
  EXPECT_EQ(options.exitNow, c.exitCode >= 0);
  if (c.exitCode >= 0) {
    EXPECT_EQ(options.exitCode, c.exitCode);
  }
  EXPECT_TRUE(options.output.contains(c.outputHas)) << options.output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTraceTest,
    ::testing::Values(TraceCase{{}, "", "", -1, ""},
                      TraceCase{{"--trace", "/tmp/bench.trace"}, "/tmp/bench.trace", "", -1, ""},
                      TraceCase{{"--trace=t.txt", "--port", "/dev/ttyUSB1"}, "t.txt", "/dev/ttyUSB1", -1, ""},
                      TraceCase{{"--port", "/dev/ttyS0", "--trace", " spaced name"}, " spaced name", "/dev/ttyS0", -1, ""},
                      TraceCase{{"--trace"}, "", "", 1, "Missing value after '--trace'"},
                      TraceCase{{"--trace", ""}, "", "", 1, "--trace needs a file"},
                      TraceCase{{"--help"}, "", "", 0, "--trace <FILE>"}));

}  // namespace
