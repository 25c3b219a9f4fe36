#include <gtest/gtest.h>

#include <algorithm>

#include "PcWire.h"

using pcwire::Bench;

namespace {

bool hasFrameBytes(const Bytes& bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFE || b == 0xFD; });
}

Bytes answerTo(Bench& bench, const Bytes& sent) {
  const auto rest = pcwire::afterEcho(bench.exchange(sent), sent);
  EXPECT_TRUE(rest.has_value()) << "no echo";
  return rest.value_or(Bytes{});
}

int checksumFailures(const Bytes& stream, std::vector<int>* which = nullptr) {
  int failures = 0, index = 0;
  for (const Bytes& body : pcwire::bodies(stream)) {
    if (body[2] != 0xE4) continue;
    ++index;
    const auto block = pcwire::decodeCloneData(body);
    if (block && block->checksumOk) continue;
    ++failures;
    if (which) which->push_back(index);
  }
  return failures;
}

TEST(Faults, NoEchoLeavesOnlyTheAnswer) {
  TransceiverSettings s;
  s.noEcho = true;
  Bench bench(s);
  const Bytes back = bench.exchange(pcwire::identify());
  ASSERT_FALSE(back.empty());
  EXPECT_FALSE(pcwire::afterEcho(back, pcwire::identify()).has_value());
  const auto frames = pcwire::bodies(back);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0][2], 0xE1);
  EXPECT_EQ(back.size(), frames[0].size() + 3);
}

TEST(Faults, NoAnswerLeavesOnlyTheEcho) {
  TransceiverSettings s;
  s.noAnswer = true;
  Bench bench(s);
  for (const Bytes& sent : {pcwire::identify(), pcwire::cloneRead(), pcwire::adjust(0x03, 0)}) {
    EXPECT_EQ(bench.exchange(sent), sent);
  }
  EXPECT_EQ(bench.rig.framesReceived(), 3u);
  EXPECT_EQ(bench.rig.framesSent(), 0u);
}

TEST(Faults, CorruptFrameAltersACheckedByteOfThatFrameOnly) {
  // Frame 1 is the E1 answer: its length byte no longer matches.
  TransceiverSettings s;
  s.corruptAnswerFrame = 1;
  Bench bench(s);
  auto frames = pcwire::bodies(answerTo(bench, pcwire::identify()));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_NE(frames[0][7], frames[0].size() - 7);
  EXPECT_FALSE(hasFrameBytes(frames[0]));
  // Frames go on counting: E4 frames are 2, 3, ...; frame 2 is hit no more.
  const Bytes clone = answerTo(bench, pcwire::cloneRead());
  EXPECT_EQ(checksumFailures(clone), 0);
}

TEST(Faults, CorruptFrameInTheCloneStreamBreaksItsChecksum) {
  TransceiverSettings s;
  s.corruptAnswerFrame = 3;
  Bench bench(s);
  std::vector<int> which;
  EXPECT_EQ(checksumFailures(answerTo(bench, pcwire::cloneRead()), &which), 1);
  EXPECT_EQ(which, std::vector<int>{3});
}

TEST(Faults, CorruptEndFrameAndCorruptReading) {
  TransceiverSettings s;
  s.corruptAnswerFrame = 2008;  // 2007 E4 frames, then E5
  Bench bench(s);
  const auto frames = pcwire::bodies(answerTo(bench, pcwire::cloneRead()));
  ASSERT_EQ(frames.back()[2], 0xE5);
  EXPECT_NE(frames.back()[3], 0x54);

  s.corruptAnswerFrame = 2;
  Bench reading(s);
  EXPECT_TRUE(reading.read(0).has_value());   // frame 1
  EXPECT_FALSE(reading.read(0).has_value());  // frame 2: digits unreadable
  EXPECT_TRUE(reading.read(0).has_value());   // frame 3
}

TEST(Faults, BadChecksumHitsOnlyThatCloneFrame) {
  TransceiverSettings s;
  s.badChecksumAnswerFrame = 5;
  Bench bench(s);
  const Bytes stream = answerTo(bench, pcwire::cloneRead());
  std::vector<int> which;
  EXPECT_EQ(checksumFailures(stream, &which), 1);
  EXPECT_EQ(which, std::vector<int>{5});
  // The data digits themselves are intact.
  const auto block = pcwire::decodeCloneData(pcwire::bodies(stream)[4]);
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(block->address, 64);
  EXPECT_EQ(block->data, Bytes(bench.rig.memory().begin() + 64, bench.rig.memory().begin() + 80));
}

TEST(Faults, BadChecksumLeavesFramesWithoutChecksumAlone) {
  TransceiverSettings s;
  s.badChecksumAnswerFrame = 1;
  Bench faulty(s);
  Bench plain;
  EXPECT_EQ(answerTo(faulty, pcwire::identify()), answerTo(plain, pcwire::identify()));
}

TEST(Faults, WrongE5CountReportsOneMore) {
  TransceiverSettings s;
  s.wrongE5Count = true;
  Bench bench(s);
  const auto frames = pcwire::bodies(answerTo(bench, pcwire::cloneRead()));
  ASSERT_EQ(frames.back()[2], 0xE5);
  EXPECT_EQ(pcwire::digitsValue(frames.back(), 13, 14), (2007 + 1) % 256);
}

TEST(Faults, WrongSourceOnEveryAnswer) {
  TransceiverSettings s;
  s.answerSource = 0xEA;
  Bench bench(s);
  Bytes all = answerTo(bench, pcwire::identify());
  const Bytes more = answerTo(bench, pcwire::adjust(0x03, 4));
  all.insert(all.end(), more.begin(), more.end());
  const auto frames = pcwire::bodies(all);
  ASSERT_EQ(frames.size(), 2u);
  for (const Bytes& body : frames) EXPECT_EQ(body[1], 0xEA);
}

TEST(Faults, NoiseBeforeEveryAnswerFrame) {
  TransceiverSettings s;
  s.noiseBeforeAnswer = 5;
  Bench bench(s);
  const Bytes rest = answerTo(bench, pcwire::identify());
  ASSERT_GT(rest.size(), 5u);
  EXPECT_FALSE(hasFrameBytes(Bytes(rest.begin(), rest.begin() + 5)));
  EXPECT_EQ(rest[5], 0xFE);
  EXPECT_EQ(pcwire::bodies(rest).size(), 1u);

  const Bytes clone = answerTo(bench, pcwire::cloneRead());
  size_t frameBytes = 0;
  for (const Bytes& body : pcwire::bodies(clone)) frameBytes += body.size() + 3;
  EXPECT_EQ(clone.size(), frameBytes + 5 * 2008);
  EXPECT_EQ(checksumFailures(clone), 0);
}

TEST(Faults, HangUpStopsTheCloneReadAfterFrameK) {
  TransceiverSettings s;
  s.hangUpAfterE4 = 10;
  Bench bench(s);
  const auto frames = pcwire::bodies(answerTo(bench, pcwire::cloneRead()));
  ASSERT_EQ(frames.size(), 10u);
  for (const Bytes& body : frames) EXPECT_EQ(body[2], 0xE4);
  EXPECT_EQ(bench.rig.sentCount(0xE5), 0u);
  // Other requests are still answered.
  EXPECT_EQ(pcwire::bodies(answerTo(bench, pcwire::identify())).size(), 1u);
}

TEST(Faults, FloodFollowsTheEchoOfTheChosenRequest) {
  TransceiverSettings s;
  s.floodBytes = 40000;
  s.floodAfterRequest = 2;
  Bench bench(s);
  const Bytes first = answerTo(bench, pcwire::identify());
  EXPECT_EQ(pcwire::bodies(first).size(), 1u);
  EXPECT_EQ(first[0], 0xFE);

  const Bytes second = answerTo(bench, pcwire::identify());
  ASSERT_GT(second.size(), 40000u);
  EXPECT_FALSE(hasFrameBytes(Bytes(second.begin(), second.begin() + 40000)));
  EXPECT_EQ(second[40000], 0xFE);
  EXPECT_EQ(second.size(), 40000u + first.size());

  EXPECT_EQ(answerTo(bench, pcwire::identify()).size(), first.size());  // once only
}

TEST(Faults, AnswerDelayHoldsTheAnswerBack) {
  TransceiverSettings s;
  s.answerDelayMs = 200;
  VirtualTransceiver rig(s);
  const Bytes sent = pcwire::identify();
  rig.fromPc(sent, 1'000'000);
  EXPECT_EQ(rig.toPc(1'000'000), sent);
  EXPECT_EQ(rig.nextDueUs(), 1'200'000);
  EXPECT_TRUE(rig.toPc(1'199'999).empty());
  const Bytes answer = rig.toPc(1'200'000);
  ASSERT_EQ(pcwire::bodies(answer).size(), 1u);
  EXPECT_EQ(answer.front(), 0xFE);
  EXPECT_FALSE(rig.nextDueUs().has_value());
}

}  // namespace
