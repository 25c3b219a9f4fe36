#include <gtest/gtest.h>

#include "FrameTrace.h"
#include "SimOptions.h"

namespace {

std::optional<SimOptions> parse(const std::vector<std::string>& args) {
  std::string error;
  return SimOptions::parse(args, error);
}

TEST(SimOptions, EverySwitchReachesTheSettings) {
  const auto o = parse({"--baud", "9600", "--delay", "25", "--clone-bytes", "32", "--model-code",
                        "2929", "--sub-code", "0101", "--format-byte", "02", "--option-flags",
                        "30", "--source", "EA", "--temperature", "31.5", "--supply", "6.8",
                        "--bpf-t1", "50", "--bpf-t2", "60", "--no-echo", "--no-answer",
                        "--corrupt-frame", "3", "--bad-checksum", "4", "--wrong-e5-count",
                        "--noise", "7", "--split-writes", "--hang-up-after", "9", "--flood",
                        "40000", "--flood-at", "2", "--trace", "--mid", "--link", "/tmp/x",
                        "--save-image", "/tmp/y"});
  ASSERT_TRUE(o.has_value());
  const TransceiverSettings& s = o->rig;
  EXPECT_EQ(s.baud, 9600);
  EXPECT_EQ(s.answerDelayMs, 25);
  EXPECT_EQ(s.cloneDataBytes, 32);
  EXPECT_EQ(s.modelCode, 0x2929);
  EXPECT_EQ(s.subCode, 0x0101);
  EXPECT_EQ(s.formatByte, 0x02);
  EXPECT_EQ(s.optionFlags, 0x30);
  EXPECT_EQ(s.answerSource, 0xEA);
  EXPECT_DOUBLE_EQ(s.temperatureC, 31.5);
  EXPECT_DOUBLE_EQ(s.supplyVolts, 6.8);
  EXPECT_EQ(s.bpfT1Centre, 50);
  EXPECT_EQ(s.bpfT2Centre, 60);
  EXPECT_TRUE(s.noEcho);
  EXPECT_TRUE(s.noAnswer);
  EXPECT_EQ(s.corruptAnswerFrame, 3);
  EXPECT_EQ(s.badChecksumAnswerFrame, 4);
  EXPECT_TRUE(s.wrongE5Count);
  EXPECT_EQ(s.noiseBeforeAnswer, 7);
  EXPECT_TRUE(s.splitWrites);
  EXPECT_EQ(s.hangUpAfterE4, 9);
  EXPECT_EQ(s.floodBytes, 40000);
  EXPECT_EQ(s.floodAfterRequest, 2);
  EXPECT_TRUE(o->trace);
  EXPECT_TRUE(o->mid);
  EXPECT_EQ(o->linkPath, "/tmp/x");
  EXPECT_EQ(o->saveImagePath, "/tmp/y");
}

TEST(SimOptions, DefaultsAreTheStandardTransceiver) {
  const auto o = parse({});
  ASSERT_TRUE(o.has_value());
  EXPECT_EQ(o->rig.modelCode, 0x2928);
  EXPECT_EQ(o->rig.baud, 0);
  EXPECT_FALSE(o->trace);
  EXPECT_TRUE(o->linkPath.empty());
}

TEST(SimOptions, BadArgumentsAreExplained) {
  std::string error;
  EXPECT_FALSE(SimOptions::parse({"--bogus"}, error));
  EXPECT_NE(error.find("--bogus"), std::string::npos);
  EXPECT_FALSE(SimOptions::parse({"--baud"}, error));
  EXPECT_NE(error.find("needs"), std::string::npos);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--baud", "fast"},
                                             {"--clone-bytes", "0"},
                                             {"--model-code", "29"},
                                             {"--source", "FE"},
                                             {"--sub-code", "01FD"},
                                             {"--temperature", "warm"},
                                             {"--image", "a.bin", "--mid"}}) {
    EXPECT_FALSE(SimOptions::parse(args, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimOptions, HelpListsEveryOption) {
  const std::string help = SimOptions::helpText();
  for (const char* name :
       {"--link", "--image", "--save-image", "--mid", "--baud", "--delay", "--clone-bytes",
        "--model-code", "--sub-code", "--format-byte", "--option-flags", "--source",
        "--temperature", "--supply", "--bpf-t1", "--bpf-t2", "--no-echo", "--no-answer",
        "--corrupt-frame", "--bad-checksum", "--wrong-e5-count", "--noise", "--split-writes",
        "--hang-up-after", "--flood", "--flood-at", "--trace", "--help"}) {
    EXPECT_NE(help.find(std::string(name) + " "), std::string::npos) << name;
  }
}

TEST(FrameTrace, LineShowsTimeDirectionAndBytes) {
  using Event = VirtualTransceiver::TraceEvent;
  EXPECT_EQ(FrameTrace::line(Event{Event::Direction::FromPc, 41'300'999, {0xFE, 0xFE, 0xEE, 0xFD}}),
            "[0000A154] PC>RIG FE FE EE FD");
  EXPECT_EQ(FrameTrace::line(Event{Event::Direction::ToPc, 0, {0x0A}}), "[00000000] RIG>PC 0A");
  EXPECT_EQ(FrameTrace::line(Event{Event::Direction::Noise, 16'000, Bytes(5, 1)}),
            "[00000010] RIG>PC noise, 5 bytes");
}

TEST(FrameTrace, TheTransceiverReportsFramesBothWays) {
  VirtualTransceiver rig;
  std::vector<std::string> lines;
  rig.setTraceHandler([&lines](const VirtualTransceiver::TraceEvent& e) {
    lines.push_back(FrameTrace::line(e));
  });
  rig.fromPc({0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD}, 2'000'000);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "[000007D0] PC>RIG FE FE EE EF E0 29 28 00 00 FD");
  EXPECT_EQ(lines[1].rfind("[000007D0] RIG>PC FE FE EF EE E1 29 28 01 00 3E", 0), 0u) << lines[1];
}

}  // namespace
