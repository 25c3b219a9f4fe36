#include <gtest/gtest.h>

#include "PcWire.h"
#include "SerialLine.h"
#include "VirtualTransceiver.h"

namespace {

// Byte n (from 1) on a line that started free at t0 is complete after n ten-bit times.
int64_t dueAt(int64_t t0, int64_t n, int64_t baud) {
  return t0 + (n * 10 * 1'000'000 + baud - 1) / baud;
}

TransceiverSettings paced(int32_t baud) {
  TransceiverSettings s;
  s.baud = baud;
  return s;
}

TEST(Pacing, EchoAndAnswerBytesFollowEachOtherAt9600Baud) {
  VirtualTransceiver rig(paced(9600));
  const int64_t t0 = 5'000'000;
  const Bytes sent = pcwire::identify();
  rig.fromPc(sent, t0);
  const size_t answerLength = 72;  // FE FE, 69-byte body, FD
  const size_t total = sent.size() + answerLength;
  for (size_t n = 1; n <= total; ++n) {
    const int64_t due = dueAt(t0, static_cast<int64_t>(n), 9600);
    ASSERT_EQ(rig.availableAt(due - 1), n - 1) << n;
    ASSERT_EQ(rig.availableAt(due), n) << n;
  }
  EXPECT_EQ(dueAt(t0, 1, 9600) - t0, 1042);  // 1041.67 us, rounded up
  const Bytes all = rig.toPc(dueAt(t0, static_cast<int64_t>(total), 9600));
  EXPECT_EQ(all.size(), total);
  EXPECT_TRUE(pcwire::afterEcho(all, sent).has_value());
}

TEST(Pacing, NextDueTellsWhenTheNextByteArrives) {
  VirtualTransceiver rig(paced(9600));
  EXPECT_FALSE(rig.nextDueUs().has_value());
  rig.fromPc(pcwire::identify(), 0);
  EXPECT_EQ(rig.nextDueUs(), dueAt(0, 1, 9600));
  rig.toPc(dueAt(0, 10, 9600));  // the whole echo
  EXPECT_EQ(rig.nextDueUs(), dueAt(0, 11, 9600));
}

TEST(Pacing, AnswerDelayStartsAfterTheLastEchoByte) {
  TransceiverSettings s = paced(9600);
  s.answerDelayMs = 30;
  VirtualTransceiver rig(s);
  rig.fromPc(pcwire::identify(), 0);
  const int64_t echoDone = dueAt(0, 10, 9600);
  EXPECT_EQ(rig.availableAt(echoDone), 10u);
  const int64_t answerStart = echoDone + 30'000;
  EXPECT_EQ(rig.availableAt(answerStart + dueAt(0, 1, 9600) - 1), 10u);
  EXPECT_EQ(rig.availableAt(answerStart + dueAt(0, 1, 9600)), 11u);
}

TEST(Pacing, EchoOfALaterWriteQueuesBehindARunningAnswer) {
  VirtualTransceiver rig(paced(9600));
  rig.fromPc(pcwire::identify(), 0);  // echo 10 bytes, then the 72-byte answer
  const int64_t midAnswer = dueAt(0, 40, 9600);
  const Bytes second = pcwire::adjust(0x05, 1);  // no answer, 13 bytes
  rig.fromPc(second, midAnswer);
  const int64_t lastAnswerByte = dueAt(0, 82, 9600);
  EXPECT_EQ(rig.availableAt(lastAnswerByte), 82u);
  EXPECT_EQ(rig.availableAt(dueAt(0, 83, 9600) - 1), 82u);
  EXPECT_EQ(rig.availableAt(dueAt(0, 95, 9600)), 95u);
  const Bytes all = rig.toPc(dueAt(0, 95, 9600));
  EXPECT_EQ(Bytes(all.end() - 13, all.end()), second);
}

TEST(Pacing, UnpacedBytesAreDueAtOnce) {
  VirtualTransceiver rig;
  rig.fromPc(pcwire::identify(), 777);
  EXPECT_EQ(rig.nextDueUs(), 777);
  EXPECT_EQ(rig.availableAt(777), 82u);
}

TEST(Pacing, TimeNeverRunsBackwards) {
  VirtualTransceiver rig(paced(9600));
  rig.fromPc(pcwire::identify(), 1'000'000);
  EXPECT_EQ(rig.availableAt(1'000'000 + dueAt(0, 5, 9600)), 5u);
  // An earlier time counts as the latest one seen.
  EXPECT_EQ(rig.availableAt(0), 5u);
  rig.toPc(0);
  rig.fromPc(pcwire::adjust(0x05, 1), 0);
  EXPECT_EQ(rig.availableAt(1'000'000 + dueAt(0, 95, 9600)), 95u - 5u);
}

TEST(Pacing, FasterLineFinishesSooner) {
  VirtualTransceiver rig(paced(38400));
  rig.fromPc(pcwire::identify(), 0);
  EXPECT_EQ(rig.availableAt(dueAt(0, 82, 38400) - 1), 81u);
  EXPECT_EQ(rig.availableAt(dueAt(0, 82, 38400)), 82u);
}

TEST(SerialLineBurst, ArrivesAtOnceAfterTheLineIsFree) {
  SerialLine line;
  line.setBaud(9600);
  line.send(Bytes(3, 0x11), 0);
  const auto span = line.send(Bytes(1000, 0x22), 0, true);
  EXPECT_EQ(span.firstDueUs, dueAt(0, 3, 9600));
  EXPECT_EQ(span.lastDueUs, span.firstDueUs);
  const auto after = line.send(Bytes{0x33}, 0);
  EXPECT_EQ(after.firstDueUs, dueAt(0, 4, 9600));
}

TEST(SerialLineBurst, ABurstThatDoesNotFitIsLostOrdinaryBytesWait) {
  SerialLine line;
  line.send(Bytes{1, 2}, 0);
  line.send(Bytes(10, 9), 0, true);
  line.send(Bytes{3, 4}, 0);
  size_t lost = 0;
  EXPECT_EQ(line.take(0, 5, &lost), (Bytes{1, 2, 9, 9, 9}));
  EXPECT_EQ(lost, 7u);
  EXPECT_EQ(line.take(0, 1, &lost), (Bytes{3}));
  EXPECT_EQ(line.queued(), 1u);
  EXPECT_EQ(lost, 7u);
}

}  // namespace
