// Line timing: the transceiver's own pacing, and the loopback serial control on a
// fake millisecond clock.
#include <gtest/gtest.h>

#include <climits>

#include "FakeClock.h"
#include "Frames.h"
#include "LoopbackSerialControl.h"

namespace {

// Byte n (from 1) on a line that started free at t0 is complete after n ten-bit times.
int64_t dueAt(int64_t t0, int64_t n, int64_t baud) {
  return t0 + (n * 10 * 1'000'000 + baud - 1) / baud;
}

TEST(Pacing, EchoThenAnswerByteByByteAtTheLineRate) {
  struct Row {
    int32_t baud;
    int64_t firstUs;  // byte 1 is complete this long after the write
  };
  for (const Row& row : {Row{9600, 1042}, Row{38400, 261}}) {
    VirtualTransceiver rig({.baud = row.baud});
    const int64_t t0 = 5'000'000;
    rig.fromPc(Frames::identify(), t0);  // 10 echo bytes, then FE FE, 69-byte body, FD
    EXPECT_EQ(rig.nextDueUs(), t0 + row.firstUs);
    for (int64_t n = 1; n <= 82; ++n) {
      const int64_t due = dueAt(t0, n, row.baud);
      ASSERT_EQ(rig.availableAt(due - 1), static_cast<size_t>(n - 1)) << row.baud << " byte " << n;
      ASSERT_EQ(rig.availableAt(due), static_cast<size_t>(n)) << row.baud << " byte " << n;
    }
    const auto rest = Frames::afterEcho(rig.toPc(dueAt(t0, 82, row.baud)), Frames::identify());
    ASSERT_TRUE(rest.has_value());
    EXPECT_EQ(Frames::commands(*rest), Bytes{0xE1});
    EXPECT_FALSE(rig.nextDueUs().has_value());
  }
}

TEST(Pacing, DelayAfterTheEchoThenOneLineInOrderAndTimeNeverRunsBack) {
  VirtualTransceiver rig({.answerDelayMs = 30, .baud = 9600});
  rig.fromPc(Frames::identify(), 0);  // 10 echo bytes, 30 ms, then the 72-byte answer
  EXPECT_EQ(rig.toPc(dueAt(0, 10, 9600)).size(), 10u);
  const int64_t answerStart = dueAt(0, 10, 9600) + 30'000;
  EXPECT_EQ(rig.nextDueUs(), answerStart + 1042);
  EXPECT_EQ(rig.availableAt(answerStart + 1041), 0u);
  EXPECT_EQ(rig.availableAt(dueAt(answerStart, 30, 9600)), 30u);
  EXPECT_EQ(rig.availableAt(0), 30u) << "an earlier time counts as the latest seen";
  const Bytes second = Frames::adjust(0x05, 1);  // 13 bytes, echo only
  rig.fromPc(second, 0);
  EXPECT_EQ(rig.availableAt(dueAt(answerStart, 73, 9600) - 1), 72u) << "the echo waits its turn";
  const Bytes all = rig.toPc(dueAt(answerStart, 85, 9600));
  ASSERT_EQ(all.size(), 85u);
  EXPECT_EQ(Bytes(all.begin() + 72, all.end()), second);
}

struct Loop {
  explicit Loop(const TransceiverSettings& s = {}, int32_t start = 1000)
      : clock(start), rig(s), port(rig, [this] { return clock.now(); }) {}
  // Records every event and takes what has arrived at each receive event, byte by byte.
  void collect() {
    port.setRThreshold(1);
    port.OnComm = [this](int16_t e) {
      events.push_back(e);
      if (e != SerialControl::comEvReceive) return;
      const Bytes piece = port.Input();
      taken.insert(taken.end(), piece.begin(), piece.end());
    };
  }
  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl port;
  std::vector<int16_t> events;
  Bytes taken;
};

TEST(Loopback, PacedBytesFollowTheClockAcrossItsWrap) {
  Loop loop({.baud = 9600}, INT32_MAX - 4);
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(Frames::identify());
  EXPECT_EQ(loop.port.InBufferCount(), 0);
  loop.clock.advance(10);  // 9 bytes take 9375 us, the 10th 10417 us
  ASSERT_LT(loop.clock.now(), 0);
  EXPECT_EQ(loop.port.nowUs(), 10'000);
  EXPECT_EQ(loop.port.InBufferCount(), 9);
  loop.clock.advance(-50);  // a step back does not rewind
  EXPECT_EQ(loop.port.nowUs(), 10'000);
  loop.clock.advance(75);  // 82 bytes take 85417 us
  EXPECT_EQ(loop.port.InBufferCount(), 81);
  loop.clock.advance(1);
  EXPECT_EQ(loop.port.InBufferCount(), 82);
  EXPECT_EQ(Frames::bodies(loop.port.Input()).size(), 2u);  // the echo and E1
}

TEST(Loopback, AFloodArrivesAtOnceAndOverflowsOnceOrdinaryBytesWait) {
  Loop loop({.baud = 9600, .floodBytes = 40000});
  loop.port.setInBufferSize(32760);
  loop.port.OnComm = [&loop](int16_t e) { loop.events.push_back(e); };
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(Frames::identify());
  loop.clock.advance(11);  // the echo is through; paced, the flood would take 42 s
  loop.port.Poll();
  loop.clock.advance(100);  // the answer is due too, but the buffer is full
  loop.port.Poll();
  EXPECT_EQ(loop.events, std::vector<int16_t>{SerialControl::comEventRxOver});
  EXPECT_EQ(loop.port.bytesLost(), 10u + 40000u - 32760u);
  EXPECT_EQ(loop.port.Input().size(), 32760u);
  EXPECT_EQ(Frames::commands(loop.port.Input()), Bytes{0xE1}) << "the answer is not lost";
}

TEST(Loopback, SplitWritesRaiseOneReceiveEventPerByte) {
  Loop loop({.splitWrites = true});
  loop.collect();
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(Frames::identify());
  loop.clock.advance(11);  // ten bytes at 9600 baud
  loop.port.Poll();
  EXPECT_EQ(loop.events, std::vector<int16_t>(82, SerialControl::comEvReceive));
  EXPECT_TRUE(Frames::afterEcho(loop.taken, Frames::identify()).has_value());
  EXPECT_EQ(Frames::commands(loop.taken), (Bytes{0xE0, 0xE1}));
}

// As the real port: told how many bytes are to come, no receive event until their
// line time less one byte and a millisecond has passed since the last write; a
// write ends the wait.
TEST(Loopback, ExpectedBytesHoldTheReceiveEventBack) {
  for (const bool toldBeforeWriting : {false, true}) {
    Loop loop({.baud = 9600});
    loop.collect();
    ASSERT_TRUE(loop.port.setPortOpen(true));
    if (toldBeforeWriting) loop.port.ExpectBytes(200);
    loop.port.Output(Frames::identify());  // its echo: a byte every 1042 us
    if (!toldBeforeWriting) loop.port.ExpectBytes(10);  // quiet for 8375 us
    loop.clock.advance(8);
    loop.port.Poll();
    EXPECT_EQ(loop.taken.size(), toldBeforeWriting ? 7u : 0u) << toldBeforeWriting;
    loop.clock.advance(1);
    loop.port.Poll();
    EXPECT_EQ(loop.taken.size(), 8u) << toldBeforeWriting;
    EXPECT_EQ(loop.events.size(), toldBeforeWriting ? 2u : 1u) << toldBeforeWriting;
  }
}

TEST(Loopback, WrittenBytesWaitForTheLineAndClearingDropsTheRest) {
  Loop loop;  // the transceiver answers at once; the port sends at 9600 baud
  ASSERT_TRUE(loop.port.setPortOpen(true));
  const Bytes sent = Frames::identify();
  loop.port.Output(sent);
  EXPECT_EQ(loop.port.OutBufferCount(), 9);  // the first byte is on its way
  loop.clock.advance(5);                     // bytes 2 to 5 start by 4167 us
  EXPECT_EQ(loop.port.OutBufferCount(), 5);
  ASSERT_TRUE(loop.port.ClearOutBuffer());
  EXPECT_EQ(loop.port.OutBufferCount(), 0);
  loop.clock.advance(100);
  EXPECT_EQ(loop.port.Input(), Bytes(sent.begin(), sent.begin() + 5));
  EXPECT_EQ(loop.rig.framesReceived(), 0u);
}

TEST(Loopback, OpensOnlyWhereTheRealPortWould) {
  const struct {
    const char* settings;
    int16_t port;
    bool plugged, opens;
  } cases[]{{"9600,N,8,1", 1, true, true}, {"0,N,8,1", 1, true, false}, {"9600,N,8", 1, true, false},
            {"9600,N,8,1", 11, true, false}, {"9600,N,8,1", 1, false, false}};
  for (const auto& c : cases) {
    Loop loop;
    loop.port.setSettings(c.settings);
    loop.port.setCommPort(c.port);
    if (!c.plugged) loop.port.Unplug();
    EXPECT_EQ(loop.port.setPortOpen(true) && loop.port.PortOpen(), c.opens) << c.settings << " " << c.port;
  }
}

}  // namespace
