// Hundreds of whole connections and thousands of row steps on the fake clock: every
// frame arrives where it should, nothing is reported, and the process does not grow
// after the first connections. Leaks show in the sanitizer build.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "ConnectionFixture.h"
#include "clsConsole.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAVLEN_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define RAVLEN_UNDER_ASAN 1
#endif

namespace {

#ifdef RAVLEN_UNDER_ASAN
// The sanitizer build is many times slower and keeps freed memory aside.
constexpr int kConnections = 60, kStepsPerConnection = 40;
#else
constexpr int kConnections = 500, kStepsPerConnection = 40;
#endif
constexpr int kSettled = 50;
constexpr int kCloneFrames = 2007;
constexpr int16_t kRefRow = 8;
constexpr uint8_t kRefCommand = 0x05;

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * 4;  // 4 KiB pages
}

class EnduranceTest : public ConnectionFixture {
 protected:
  EnduranceTest() {
    rig.setTraceHandler([this](const VirtualTransceiver::TraceEvent& e) {
      if (e.direction != VirtualTransceiver::TraceEvent::Direction::FromPc) return;
      const Bytes& f = e.bytes;
      if (f.size() == 13 && f[4] == 0xE8 && f[9] == kRefCommand) ++refFrames;
    });
  }
  int refFrames = 0;
};

TEST_F(EnduranceTest, ManyConnectionsAndRowStepsKeepEveryFrameAndTheMemory) {
  long settledKiB = 0;
  int steps = 0;
  for (int c = 1; c <= kConnections; ++c) {
    ASSERT_TRUE(connect()) << "connection " << c;
    for (int i = 0; i < kStepsPerConnection; ++i) {
      const int before = refFrames;
      Globals::console().UpDown(kRefRow, (i % 2) ? -1 : 1);
      for (int t = 0; t < 20 && refFrames == before; ++t) tick();
      ASSERT_EQ(refFrames, before + 1) << "connection " << c << " step " << i;
      ++steps;
    }
    EXPECT_EQ(rig.lastValue(kRefCommand), rig.memoryByte(173));
    if (c == kSettled) settledKiB = residentKiB();
  }
  const long endKiB = residentKiB();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(rig.receivedCount(0xE0), static_cast<uint64_t>(kConnections));
  EXPECT_EQ(rig.receivedCount(0xE2), static_cast<uint64_t>(kConnections));
  EXPECT_EQ(rig.sentCount(0xE4), static_cast<uint64_t>(kConnections) * kCloneFrames);
  EXPECT_EQ(rig.sentCount(0xE5), static_cast<uint64_t>(kConnections));
  EXPECT_EQ(serial->bytesLost(), 0u);
  EXPECT_EQ(steps, kConnections * kStepsPerConnection);
  // Each step sends its row once, and each connection's first sending once more.
  EXPECT_EQ(refFrames, steps + kConnections);
#ifndef RAVLEN_UNDER_ASAN
  EXPECT_LE(endKiB - settledKiB, 2048) << "grew after connection " << kSettled;
#endif
  std::printf("endurance: %d connections, %d row steps, resident %ld KiB at connection %d, %ld KiB at the end\n",
              kConnections, steps, settledKiB, kSettled, endKiB);
}

}  // namespace
