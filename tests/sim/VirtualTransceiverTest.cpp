#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "ImageLayout.h"
#include "MemoryImageBuilder.h"
#include "PcWire.h"
#include "VirtualTransceiver.h"

using pcwire::Bench;

namespace {

size_t countByte(const Bytes& bytes, uint8_t value) {
  return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), value));
}

// ---- echo ------------------------------------------------------------------------

TEST(Echo, EveryByteComesBackBeforeTheAnswer) {
  Bench bench;
  const Bytes sent = pcwire::identify();
  const Bytes back = bench.exchange(sent);
  const auto rest = pcwire::afterEcho(back, sent);
  ASSERT_TRUE(rest.has_value());
  const auto frames = pcwire::bodies(*rest);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0][2], 0xE1);
  EXPECT_EQ((*rest)[0], 0xFE);  // nothing between the echo and the answer
}

TEST(Echo, AFrameSplitOverTwoWritesIsAnsweredOnceComplete) {
  Bench bench;
  const Bytes sent = pcwire::identify();
  const Bytes first(sent.begin(), sent.begin() + 4);
  const Bytes second(sent.begin() + 4, sent.end());
  EXPECT_EQ(bench.exchange(first), first);  // echo only: the frame is not complete
  EXPECT_EQ(bench.rig.framesReceived(), 0u);
  const auto rest = pcwire::afterEcho(bench.exchange(second), second);
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(pcwire::bodies(*rest).size(), 1u);
}

TEST(Echo, TwoFramesInOneWriteEchoBothThenAnswerBoth) {
  Bench bench;
  Bytes sent = pcwire::identify();
  const Bytes read = pcwire::adjust(0x03, 0);
  sent.insert(sent.end(), read.begin(), read.end());
  const auto rest = pcwire::afterEcho(bench.exchange(sent), sent);
  ASSERT_TRUE(rest.has_value());
  const auto frames = pcwire::bodies(*rest);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0][2], 0xE1);
  EXPECT_EQ(frames[1][2], 0xE8);
}

TEST(Echo, BytesThatAreNoRequestAreEchoedButNotAnswered) {
  Bench bench;
  const Bytes noise{0x01, 0x02, 0xFD, 0x30};
  EXPECT_EQ(bench.exchange(noise), noise);
  // A well-formed frame that is not addressed to the transceiver.
  const Bytes stray{0xFE, 0xFE, 0xEF, 0xEE, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD};
  EXPECT_EQ(bench.exchange(stray), stray);
  EXPECT_EQ(bench.rig.framesReceived(), 1u);
  EXPECT_EQ(bench.rig.framesSent(), 0u);
}

// ---- identification ---------------------------------------------------------------

TEST(Identification, AnswerLayout) {
  Bench bench;
  const Bytes sent = pcwire::identify();
  const auto rest = pcwire::afterEcho(bench.exchange(sent), sent);
  ASSERT_TRUE(rest.has_value());
  // One frame: FE FE, body, FD, with no FE or FD inside the body.
  ASSERT_GE(rest->size(), 3u);
  EXPECT_EQ(countByte(*rest, 0xFE), 2u);
  EXPECT_EQ(countByte(*rest, 0xFD), 1u);
  EXPECT_EQ(rest->back(), 0xFD);
  const Bytes body(rest->begin() + 2, rest->end() - 1);

  auto at = [&body](size_t position) { return body.at(position - 1); };
  ASSERT_GE(body.size(), 69u);
  EXPECT_EQ(at(1), 0xEF);
  EXPECT_EQ(at(2), 0xEE);
  EXPECT_EQ(at(3), 0xE1);
  EXPECT_EQ(at(4), 0x29);
  EXPECT_EQ(at(5), 0x28);
  EXPECT_EQ(at(6), 0x01);
  EXPECT_EQ(at(7), 0x00);
  EXPECT_EQ(at(8), body.size() - 7);
  EXPECT_EQ(at(43), 0x01);
  EXPECT_EQ(at(59), 0x00);
  EXPECT_EQ(std::string(body.begin() + 65, body.begin() + 69), "7D6F");
  EXPECT_EQ(bench.rig.sentCount(0xE1), 1u);
}

TEST(Identification, OptionFlagsAndIdentityComeFromTheSettings) {
  TransceiverSettings s;
  s.optionFlags = 0x30;
  s.modelCode = 0x2929;
  s.subCode = 0x0101;
  s.formatByte = 0x02;
  Bench bench(s);
  const auto rest = pcwire::afterEcho(bench.exchange(pcwire::identify()), pcwire::identify());
  ASSERT_TRUE(rest.has_value());
  const auto frames = pcwire::bodies(*rest);
  ASSERT_EQ(frames.size(), 1u);
  const Bytes& body = frames[0];
  EXPECT_EQ(Bytes(body.begin() + 3, body.begin() + 7), (Bytes{0x29, 0x29, 0x01, 0x01}));
  EXPECT_EQ(body[42], 0x02);
  EXPECT_EQ(body[58], 0x30);
}

// ---- clone read -------------------------------------------------------------------

struct CloneResult {
  Bytes image;  // reassembled from the E4 frames
  int e4Frames = 0;
  int badChecksums = 0;
  bool contiguous = true;
  std::optional<Bytes> e5;
};

CloneResult readClone(const Bytes& stream) {
  CloneResult r;
  for (const Bytes& body : pcwire::bodies(stream)) {
    if (body.size() >= 3 && body[2] == 0xE4) {
      const auto block = pcwire::decodeCloneData(body);
      if (!block) {
        r.contiguous = false;
        continue;
      }
      ++r.e4Frames;
      if (!block->checksumOk) ++r.badChecksums;
      if (block->address != static_cast<int>(r.image.size())) r.contiguous = false;
      r.image.insert(r.image.end(), block->data.begin(), block->data.end());
    } else if (body.size() >= 3 && body[2] == 0xE5) {
      r.e5 = body;
    }
  }
  return r;
}

void expectCloneEnd(const Bytes& e5, int frames) {
  ASSERT_EQ(e5.size(), 14u);
  EXPECT_EQ(e5[0], 0xEF);
  EXPECT_EQ(e5[1], 0xEE);
  EXPECT_EQ(Bytes(e5.begin() + 3, e5.begin() + 12),
            (Bytes{0x54, 0x61, 0x76, 0x75, 0x20, 0x49, 0x6E, 0x63, 0x2E}));
  EXPECT_EQ(pcwire::digitsValue(e5, 13, 14), frames % 256);
}

TEST(CloneRead, StreamDecodesToExactlyTheImage) {
  Bench bench;
  const Bytes sent = pcwire::cloneRead();
  const auto rest = pcwire::afterEcho(bench.exchange(sent), sent);
  ASSERT_TRUE(rest.has_value());
  const CloneResult r = readClone(*rest);
  EXPECT_EQ(r.e4Frames, 2007);  // 32112 / 16
  EXPECT_EQ(r.badChecksums, 0);
  EXPECT_TRUE(r.contiguous);
  EXPECT_EQ(r.image, bench.rig.memory());
  EXPECT_EQ(r.image, MemoryImageBuilder().build());
  ASSERT_TRUE(r.e5.has_value());
  expectCloneEnd(*r.e5, 2007);
  EXPECT_EQ(pcwire::bodies(*rest).back()[2], 0xE5);  // E5 comes last
  EXPECT_EQ(bench.rig.sentCount(0xE4), 2007u);
  EXPECT_EQ(bench.rig.sentCount(0xE5), 1u);
  EXPECT_EQ(bench.rig.framesSent(), 2008u);
}

TEST(CloneRead, FrameSizeIsConfigurableAndTheLastFrameIsShort) {
  for (int n : {1, 7, 100, 255}) {
    TransceiverSettings s;
    s.cloneDataBytes = n;
    Bench bench(s);
    const CloneResult r = readClone(bench.exchange(pcwire::cloneRead()));
    const int frames = (32112 + n - 1) / n;
    EXPECT_EQ(r.e4Frames, frames) << n;
    EXPECT_EQ(r.badChecksums, 0) << n;
    EXPECT_TRUE(r.contiguous) << n;
    EXPECT_EQ(r.image, bench.rig.memory()) << n;
    ASSERT_TRUE(r.e5.has_value());
    expectCloneEnd(*r.e5, frames);
  }
}

TEST(CloneRead, EveryFrameBodyHasTheClientsShape) {
  Bench bench;
  for (const Bytes& body : pcwire::bodies(bench.exchange(pcwire::cloneRead()))) {
    if (body[2] != 0xE4) continue;
    ASSERT_EQ(body.size(), 11u + 2 * 16);
    EXPECT_EQ(body[0], 0xEF);
    EXPECT_EQ(body[1], 0xEE);
    for (size_t i = 3; i < body.size(); ++i) {
      EXPECT_TRUE((body[i] >= '0' && body[i] <= '9') || (body[i] >= 'A' && body[i] <= 'F'));
    }
  }
}

TEST(CloneRead, CarriesAdjustmentsMadeBefore) {
  Bench bench;
  bench.adjust(0x05, 0x33);
  const CloneResult r = readClone(bench.exchange(pcwire::cloneRead()));
  ASSERT_EQ(r.image.size(), 32112u);
  EXPECT_EQ(r.image[ImageLayout::kRef], 0x33);
}

TEST(CloneWrite, RequestIsAcceptedAndNothingFollows) {
  Bench bench;
  const Bytes sent = pcwire::cloneWrite();
  EXPECT_EQ(bench.exchange(sent), sent);
  EXPECT_EQ(bench.rig.receivedCount(0xE3), 1u);
  EXPECT_EQ(bench.rig.framesSent(), 0u);
}

// ---- adjustment commands ------------------------------------------------------------

TEST(Adjustment, EachCommandWritesItsByteAndNothingElse) {
  const std::vector<std::pair<uint8_t, int32_t>> table{
      {0x05, 173}, {0x06, 92},  {0x07, 93},  {0x08, 184}, {0x09, 168}, {0x0A, 167},
      {0x0B, 166}, {0x0C, 98},  {0x0D, 105}, {0x0E, 112}, {0x0F, 83},  {0x10, 99},
      {0x11, 106}, {0x12, 113}, {0x13, 84},  {0x14, 85},  {0x15, 169}, {0x16, 170}};
  Bench bench;
  Bytes expected = bench.rig.memory();
  uint8_t value = 0x11;
  for (const auto& [command, address] : table) {
    value = static_cast<uint8_t>(value + 0x0D);
    const Bytes sent = pcwire::adjust(command, value);
    EXPECT_EQ(bench.exchange(sent), sent) << "no answer to command " << int(command);
    expected[static_cast<size_t>(address)] = value;
    EXPECT_EQ(bench.rig.memoryByte(address), value) << int(command);
    EXPECT_EQ(bench.rig.lastValue(command), value) << int(command);
  }
  EXPECT_EQ(bench.rig.memory(), expected);
  EXPECT_EQ(bench.rig.receivedCount(0xE8), table.size());
  EXPECT_EQ(bench.rig.framesSent(), 0u);
}

TEST(Adjustment, ExampleFrameOfTheConsole) {
  // Command 05 with value 122 travels as 05 37 41.
  Bench bench;
  const Bytes sent{0xFE, 0xFE, 0xEE, 0xEF, 0xE8, 0x29, 0x28, 0x01, 0x00, 0x05, 0x37, 0x41, 0xFD};
  bench.rig.setMemoryByte(173, 0);
  bench.exchange(sent);
  EXPECT_EQ(bench.rig.memoryByte(173), 122);
}

TEST(Adjustment, ChannelSelectionAndStartChangeOnlyTheLiveState) {
  Bench bench;
  const Bytes before = bench.rig.memory();
  EXPECT_EQ(bench.rig.selectedChannel(), 0);
  EXPECT_FALSE(bench.rig.started());
  bench.adjust(0x00, 10);
  bench.adjust(0x02, 1);
  EXPECT_EQ(bench.rig.selectedChannel(), 10);
  EXPECT_TRUE(bench.rig.started());
  EXPECT_EQ(bench.rig.lastValue(0x00), 10);
  EXPECT_EQ(bench.rig.memory(), before);
  EXPECT_EQ(bench.rig.framesSent(), 0u);
}

TEST(Adjustment, ValueDigitsThatAreNotHexAreIgnored) {
  Bench bench;
  const uint8_t before = bench.rig.memoryByte(173);
  bench.exchange(pcwire::frame(0xE8, {0x29, 0x28, 0x01, 0x00, 0x05, 'G', '1'}));
  EXPECT_EQ(bench.rig.memoryByte(173), before);
  EXPECT_FALSE(bench.rig.lastValue(0x05).has_value());
}

// ---- readings -----------------------------------------------------------------------

TEST(Reading, AnswerShape) {
  Bench bench;
  const Bytes sent = pcwire::adjust(0x03, 0);
  const auto rest = pcwire::afterEcho(bench.exchange(sent), sent);
  ASSERT_TRUE(rest.has_value());
  const auto frames = pcwire::bodies(*rest);
  ASSERT_EQ(frames.size(), 1u);
  const Bytes& body = frames[0];
  ASSERT_EQ(body.size(), 10u);
  EXPECT_EQ(body[0], 0xEF);
  EXPECT_EQ(body[1], 0xEE);
  EXPECT_EQ(body[2], 0xE8);
  // From position 4 on: the 4 identification bytes, the command byte, two digits.
  const Bytes tail(body.begin() + 3, body.end());
  ASSERT_EQ(tail.size(), 7u);
  EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 5), (Bytes{0x29, 0x28, 0x01, 0x00, 0x03}));
  EXPECT_GE(pcwire::hexValue(tail[5]), 0);
  EXPECT_GE(pcwire::hexValue(tail[6]), 0);
  EXPECT_EQ(pcwire::digitsValue(body, 9, 10), *bench.rig.reading(0));
}

TEST(Reading, EveryCodeTheUtilityUsesIsAnswered) {
  Bench bench;
  for (uint8_t code : {0, 3, 4, 5, 11, 12, 13, 14, 15, 16, 17, 18, 19}) {
    const auto v = bench.read(code);
    ASSERT_TRUE(v.has_value()) << int(code);
    EXPECT_EQ(*v, *bench.rig.reading(code)) << int(code);
  }
  EXPECT_EQ(bench.rig.sentCount(0xE8), 13u);
}

TEST(Reading, UnknownCodesGetNoAnswer) {
  Bench bench;
  for (uint8_t code : {1, 2, 6, 10, 20, 255}) {
    const Bytes sent = pcwire::adjust(0x03, code);
    EXPECT_EQ(bench.exchange(sent), sent) << int(code);
  }
  EXPECT_EQ(bench.rig.framesSent(), 0u);
}

// ---- bookkeeping --------------------------------------------------------------------

TEST(Bookkeeping, CountsFramesBothWays) {
  Bench bench;
  bench.exchange(pcwire::identify());
  bench.exchange(pcwire::cloneRead());
  bench.adjust(0x02, 1);
  bench.read(3);
  EXPECT_EQ(bench.rig.framesReceived(), 4u);
  EXPECT_EQ(bench.rig.receivedCount(0xE0), 1u);
  EXPECT_EQ(bench.rig.receivedCount(0xE2), 1u);
  EXPECT_EQ(bench.rig.receivedCount(0xE8), 2u);
  EXPECT_EQ(bench.rig.framesSent(), 1u + 2008u + 1u);
}

TEST(Bookkeeping, ResetForgetsLiveStateAndCountsButKeepsMemory) {
  Bench bench;
  bench.adjust(0x05, 0x44);
  bench.adjust(0x00, 3);
  bench.rig.fromPc(pcwire::identify(), bench.nowUs);  // answer still on the line
  bench.rig.reset();
  EXPECT_TRUE(bench.rig.toPc(bench.nowUs + 10'000'000).empty());
  EXPECT_EQ(bench.rig.framesReceived(), 0u);
  EXPECT_EQ(bench.rig.framesSent(), 0u);
  EXPECT_FALSE(bench.rig.lastValue(0x05).has_value());
  EXPECT_EQ(bench.rig.selectedChannel(), 0);
  EXPECT_EQ(bench.rig.memoryByte(173), 0x44);
}

TEST(Settings, InvalidValuesAreRefused) {
  TransceiverSettings s;
  s.modelCode = 0x29FD;
  EXPECT_THROW(VirtualTransceiver{s}, std::invalid_argument);
  s = {};
  s.answerSource = 0xFE;
  EXPECT_THROW(VirtualTransceiver{s}, std::invalid_argument);
  s = {};
  s.cloneDataBytes = 0;
  EXPECT_THROW(VirtualTransceiver{s}, std::invalid_argument);
  s = {};
  EXPECT_THROW(VirtualTransceiver(s, Bytes(100, 0)), std::invalid_argument);
  VirtualTransceiver rig;
  s.baud = -1;
  EXPECT_THROW(rig.setSettings(s), std::invalid_argument);
  EXPECT_EQ(rig.settings().baud, 0);
}

}  // namespace
