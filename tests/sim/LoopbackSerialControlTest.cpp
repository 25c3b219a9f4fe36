#include <gtest/gtest.h>

#include <climits>

#include "FakeClock.h"
#include "LoopbackSerialControl.h"
#include "PcWire.h"

namespace {

struct Loop {
  explicit Loop(const TransceiverSettings& s = {}, int32_t start = 1000)
      : clock(start), rig(s), port(rig, [this] { return clock.now(); }) {}
  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl port;
};

TEST(Loopback, OnlyExistingPortsOpen) {
  Loop loop;
  loop.port.setCommPort(11);
  EXPECT_FALSE(loop.port.setPortOpen(true));
  EXPECT_FALSE(loop.port.PortOpen());
  loop.port.setCommPort(10);
  EXPECT_TRUE(loop.port.setPortOpen(true));
  EXPECT_TRUE(loop.port.PortOpen());
  EXPECT_TRUE(loop.port.setPortOpen(false));
  loop.port.setExistingPorts({4});
  loop.port.setCommPort(3);
  EXPECT_FALSE(loop.port.setPortOpen(true));
  loop.port.setCommPort(4);
  EXPECT_TRUE(loop.port.setPortOpen(true));
}

TEST(Loopback, WritesReachTheTransceiverAndAnswersComeBack) {
  Loop loop;
  ASSERT_TRUE(loop.port.setPortOpen(true));
  const Bytes sent = pcwire::identify();
  loop.port.Output(sent);
  EXPECT_EQ(loop.port.OutBufferCount(), 0);
  EXPECT_EQ(loop.port.InBufferCount(), 82);
  const Bytes in = loop.port.Input();
  const auto rest = pcwire::afterEcho(in, sent);
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(pcwire::bodies(*rest).size(), 1u);
  EXPECT_EQ(loop.port.InBufferCount(), 0);
}

TEST(Loopback, AClosedPortNeitherSendsNorReceives) {
  Loop loop;
  loop.port.Output(pcwire::identify());
  EXPECT_EQ(loop.rig.framesReceived(), 0u);
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(pcwire::identify());
  ASSERT_TRUE(loop.port.setPortOpen(false));
  EXPECT_EQ(loop.port.InBufferCount(), 0);
  EXPECT_TRUE(loop.port.Input().empty());
  ASSERT_TRUE(loop.port.setPortOpen(true));
  EXPECT_EQ(loop.port.InBufferCount(), 0) << "what came while closed is gone";
}

TEST(Loopback, PacedBytesArriveWithTheClock) {
  TransceiverSettings s;
  s.baud = 9600;
  Loop loop(s);
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(pcwire::identify());
  EXPECT_EQ(loop.port.InBufferCount(), 0);
  loop.clock.advance(10);  // 9 bytes take 9375 us, the 10th 10417 us
  EXPECT_EQ(loop.port.InBufferCount(), 9);
  loop.clock.advance(75);  // 82 bytes take 85417 us
  EXPECT_EQ(loop.port.InBufferCount(), 81);
  loop.clock.advance(1);
  EXPECT_EQ(loop.port.InBufferCount(), 82);
}

TEST(Loopback, ClockWrapAcrossTheTopOfTheTickCountKeepsTime) {
  TransceiverSettings s;
  s.baud = 9600;
  Loop loop(s, INT32_MAX - 4);
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(pcwire::identify());
  loop.clock.advance(10);
  ASSERT_LT(loop.clock.now(), 0);
  EXPECT_EQ(loop.port.nowUs(), 10'000);
  EXPECT_EQ(loop.port.InBufferCount(), 9);
  loop.clock.advance(76);
  EXPECT_EQ(loop.port.InBufferCount(), 82);
  EXPECT_EQ(pcwire::bodies(loop.port.Input()).size(), 2u);  // the echo and E1
}

TEST(Loopback, AClockStepBackDoesNotRewindTime) {
  Loop loop;
  loop.clock.advance(50);
  EXPECT_EQ(loop.port.nowUs(), 50'000);
  loop.clock.set(900);
  EXPECT_EQ(loop.port.nowUs(), 50'000);
  loop.clock.advance(5);
  EXPECT_EQ(loop.port.nowUs(), 55'000);
}

TEST(Loopback, SplitWritesHandOverOneBytePerInput) {
  TransceiverSettings s;
  s.splitWrites = true;
  Loop loop(s);
  ASSERT_TRUE(loop.port.setPortOpen(true));
  const Bytes sent = pcwire::identify();
  loop.port.Output(sent);
  Bytes all;
  int calls = 0;
  while (loop.port.InBufferCount() > 0) {
    const Bytes piece = loop.port.Input();
    ASSERT_EQ(piece.size(), 1u);
    all.insert(all.end(), piece.begin(), piece.end());
    ++calls;
  }
  EXPECT_EQ(calls, 82);
  EXPECT_TRUE(pcwire::afterEcho(all, sent).has_value());
}

TEST(Loopback, AFloodOverflowsTheReceiveBufferOnce) {
  TransceiverSettings s;
  s.floodBytes = 40000;
  Loop loop(s);
  loop.port.setInBufferSize(32760);
  std::vector<int16_t> events;
  loop.port.OnComm = [&events](int16_t e) { events.push_back(e); };
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(pcwire::identify());
  loop.port.Poll();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), SerialControl::comEventRxOver);
  EXPECT_EQ(std::count(events.begin(), events.end(), SerialControl::comEventRxOver), 1);
  EXPECT_EQ(loop.port.bytesLost(), 10u + 40000u - 32760u);
  EXPECT_EQ(loop.port.InBufferCount(), 32760);
  loop.port.Input();
  // The answer was not part of the burst: it is still delivered.
  const auto frames = pcwire::bodies(loop.port.Input());
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0][2], 0xE1);
}

TEST(Loopback, AnUnpacedCloneReadLosesNothingThroughASmallBuffer) {
  Loop loop;
  loop.port.setInBufferSize(1024);
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Output(pcwire::cloneRead());
  Bytes all;
  for (int i = 0; i < 1000 && loop.port.InBufferCount() > 0; ++i) {
    EXPECT_LE(loop.port.InBufferCount(), 1024);
    const Bytes piece = loop.port.Input();
    all.insert(all.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(loop.port.bytesLost(), 0u);
  Bytes image;
  for (const Bytes& body : pcwire::bodies(all)) {
    if (body[2] != 0xE4) continue;
    const auto block = pcwire::decodeCloneData(body);
    ASSERT_TRUE(block && block->checksumOk);
    image.insert(image.end(), block->data.begin(), block->data.end());
  }
  EXPECT_EQ(image, loop.rig.memory());
}

TEST(Loopback, ReceiveEventsFollowTheThreshold) {
  TransceiverSettings s;
  s.splitWrites = true;
  Loop loop(s);
  int events = 0;
  Bytes taken;
  loop.port.OnComm = [&](int16_t e) {
    if (e != SerialControl::comEvReceive) return;
    ++events;
    const Bytes piece = loop.port.Input();
    taken.insert(taken.end(), piece.begin(), piece.end());
  };
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.setRThreshold(0);
  loop.port.Output(pcwire::identify());
  loop.port.Poll();
  EXPECT_EQ(events, 0);
  loop.port.setRThreshold(1);
  loop.port.Poll();
  EXPECT_EQ(events, 82);  // one event per byte handed over
  EXPECT_EQ(taken.size(), 82u);
  loop.port.Poll();
  EXPECT_EQ(events, 82);
}

TEST(Loopback, UnplugClosesAndTells) {
  Loop loop;
  bool vanished = false;
  loop.port.OnVanished = [&vanished] { vanished = true; };
  ASSERT_TRUE(loop.port.setPortOpen(true));
  loop.port.Unplug();
  EXPECT_TRUE(vanished);
  EXPECT_FALSE(loop.port.PortOpen());
}

}  // namespace
