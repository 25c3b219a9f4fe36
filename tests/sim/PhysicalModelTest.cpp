#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "ImageLayout.h"
#include "MemoryImageBuilder.h"
#include "PcWire.h"

using pcwire::Bench;

namespace {

constexpr uint8_t kRxLvaCmd = 0x06;
constexpr uint8_t kTxLvaCmd = 0x07;
constexpr uint8_t kT1Cmd = 0x13;
constexpr uint8_t kT2Cmd = 0x14;

// The utility's reading of the temperature byte.
double celsiusOf(int v) {
  const double x = 5.0 * v / 255.0;
  const double r = (500000.0 - 100000.0 * x) / x / 47000.0;
  return 1.0 / (std::log(r) / 4000.0 + 1.0 / 298.15) - 273.15;
}

int readOrFail(Bench& bench, uint8_t code) {
  const auto v = bench.read(code);
  EXPECT_TRUE(v.has_value()) << "no reading for code " << int(code);
  return v.value_or(-1);
}

// The sweep of one BPF stage as the tuning procedure runs it: first plateau of the
// highest reading, its middle.
int sweep(Bench& bench, uint8_t command, int first, int last, int step) {
  int best = -1, pos1 = first, pos2 = first;
  for (int cur = first; cur <= last; cur += step) {
    bench.adjust(command, static_cast<uint8_t>(cur));
    const int reading = readOrFail(bench, 4);
    if (reading >= best) {
      if (reading > best) pos1 = cur;
      pos2 = cur;
      best = reading;
    }
  }
  return (pos1 + pos2) / 2;
}

// The level search as the procedure runs it; true when the target was met.
bool searchLevel(Bench& bench, uint8_t command, int target) {
  int lo = 0, hi = 255;
  bench.adjust(command, static_cast<uint8_t>(lo));
  int rLo = readOrFail(bench, 5);
  bench.adjust(command, static_cast<uint8_t>(hi));
  int rHi = readOrFail(bench, 5);
  if (rLo > rHi) {
    std::swap(lo, hi);
    std::swap(rLo, rHi);
  }
  if (target <= rLo || target >= rHi) return false;
  for (int guard = 0; guard < 20; ++guard) {
    const int mid = static_cast<int>((lo + hi) / 2.0 + 0.5);
    bench.adjust(command, static_cast<uint8_t>(mid));
    const int rMid = readOrFail(bench, 5);
    if (rMid == target) return true;
    if (std::abs(hi - lo) <= 2) return false;
    if (target > rMid) lo = mid;
    else hi = mid;
  }
  return false;
}

TEST(SupplyVoltage, ReadsAPlausibleBatteryVoltage) {
  Bench bench;
  const int v = readOrFail(bench, 0);
  EXPECT_NEAR(v * 10.0 / 255.0, 7.4, 0.05);
  TransceiverSettings low;
  low.supplyVolts = 6.0;
  Bench lowBench(low);
  EXPECT_NEAR(readOrFail(lowBench, 0) * 10.0 / 255.0, 6.0, 0.05);
}

TEST(Temperature, FollowsTheThermistorFormula) {
  Bench bench;
  const int v = readOrFail(bench, 3);
  EXPECT_GT(v, 0);
  EXPECT_LT(v, 255);
  EXPECT_NEAR(celsiusOf(v), 25.0, 0.5);
  int previous = 0;
  for (double c : {-10.0, 0.0, 40.0, 60.0}) {
    TransceiverSettings s;
    s.temperatureC = c;
    Bench warm(s);
    const int code = readOrFail(warm, 3);
    EXPECT_NEAR(celsiusOf(code), c, 0.6) << c;
    EXPECT_GT(code, previous) << "the divider voltage rises with the temperature";
    previous = code;
  }
}

TEST(LevelVoltage, RisesStrictlyWithEachLevelAdjuster) {
  for (uint8_t command : {kRxLvaCmd, kTxLvaCmd}) {
    Bench bench;
    int previous = -1;
    for (int v = 0; v <= 255; ++v) {
      bench.adjust(command, static_cast<uint8_t>(v));
      const int level = readOrFail(bench, 5);
      EXPECT_GT(level, previous) << "command " << int(command) << " value " << v;
      previous = level;
    }
  }
}

TEST(LevelVoltage, FollowsTheAdjusterSentLast) {
  Bench bench;
  bench.adjust(kRxLvaCmd, 10);
  EXPECT_EQ(readOrFail(bench, 5), 10);
  bench.adjust(kTxLvaCmd, 200);
  EXPECT_EQ(readOrFail(bench, 5), 200);
  bench.adjust(kRxLvaCmd, 30);
  EXPECT_EQ(readOrFail(bench, 5), 30);
}

TEST(LevelVoltage, StoredTargetsLieStrictlyBetweenTheEndReadingsAndAreFound) {
  Bench bench;
  const int rxTarget = bench.rig.memoryByte(ImageLayout::kLvRxTarget);
  const int txTarget = bench.rig.memoryByte(ImageLayout::kLvTxTarget);
  for (uint8_t command : {kRxLvaCmd, kTxLvaCmd}) {
    bench.adjust(command, 0);
    const int atZero = readOrFail(bench, 5);
    bench.adjust(command, 255);
    const int atTop = readOrFail(bench, 5);
    const int target = command == kRxLvaCmd ? rxTarget : txTarget;
    EXPECT_GT(target, atZero);
    EXPECT_LT(target, atTop);
    EXPECT_TRUE(searchLevel(bench, command, target)) << int(command);
  }
}

TEST(SignalLevel, PeaksOnAShortPlateauAtEachTunedPoint) {
  const TransceiverSettings s;
  for (auto [command, centre] : {std::pair<uint8_t, int>{kT1Cmd, s.bpfT1Centre},
                                 std::pair<uint8_t, int>{kT2Cmd, s.bpfT2Centre}}) {
    Bench bench;
    std::vector<int> readings;
    for (int v = 0; v <= 255; ++v) {
      bench.adjust(command, static_cast<uint8_t>(v));
      readings.push_back(readOrFail(bench, 4));
    }
    const int best = *std::max_element(readings.begin(), readings.end());
    std::vector<int> atBest;
    for (int v = 0; v <= 255; ++v) {
      if (readings[static_cast<size_t>(v)] == best) atBest.push_back(v);
    }
    ASSERT_GE(atBest.size(), 2u);
    ASSERT_LE(atBest.size(), 5u);
    EXPECT_EQ(atBest.back() - atBest.front() + 1, static_cast<int>(atBest.size()))
        << "the plateau is one run";
    EXPECT_EQ((atBest.front() + atBest.back()) / 2, centre);
    EXPECT_LT(centre, 128);
    // Falls off on both sides.
    EXPECT_LT(readings[static_cast<size_t>(atBest.front() - 1)], best);
    EXPECT_LT(readings[static_cast<size_t>(atBest.back() + 1)], best);
  }
}

TEST(SignalLevel, BothStagesContribute) {
  Bench bench;
  bench.adjust(kT1Cmd, 71);
  bench.adjust(kT2Cmd, 93);
  const int both = readOrFail(bench, 4);
  bench.adjust(kT2Cmd, 20);
  const int t1Only = readOrFail(bench, 4);
  bench.adjust(kT1Cmd, 200);
  const int neither = readOrFail(bench, 4);
  EXPECT_GT(both, t1Only);
  EXPECT_GT(t1Only, neither);
  EXPECT_LE(both, 255);
}

TEST(SignalLevel, FineSweepOfEachStageFindsItsTunedPoint) {
  Bench bench;
  EXPECT_EQ(sweep(bench, kT1Cmd, 0, 255, 1), 71);
  EXPECT_EQ(sweep(bench, kT2Cmd, 0, 255, 1), 93);
}

TEST(SignalLevel, CoarseSweepFromBothParkedFindsBothPoints) {
  for (auto [t1, t2] : {std::pair<int, int>{71, 93}, std::pair<int, int>{40, 100},
                        std::pair<int, int>{8, 126}}) {
    TransceiverSettings s;
    s.bpfT1Centre = t1;
    s.bpfT2Centre = t2;
    Bench bench(s);
    bench.adjust(kT1Cmd, 64);
    bench.adjust(kT2Cmd, 64);
    // 0, 2, ... 128: the sweep stops once the value passes 127.
    const int found1 = sweep(bench, kT1Cmd, 0, 128, 2);
    bench.adjust(kT1Cmd, static_cast<uint8_t>(found1));
    const int found2 = sweep(bench, kT2Cmd, 0, 128, 2);
    EXPECT_EQ(found1, t1);
    EXPECT_EQ(found2, t2);
  }
}

TEST(Outputs, DigitalToAnalogCodesReadBackTheirAdjustments) {
  // code, command that sets it (no "Mid" flag)
  const std::vector<std::pair<uint8_t, uint8_t>> table{
      {16, 0x13}, {17, 0x14}, {18, 0x07}, {19, 0x06}, {12, 0x05},
      {13, 0x10}, {14, 0x0C}, {11, 0x0F}, {15, 0x08}};
  Bench bench;
  uint8_t value = 3;
  for (const auto& [code, command] : table) {
    value = static_cast<uint8_t>(value * 7 + 11);
    bench.adjust(command, value);
    EXPECT_EQ(readOrFail(bench, code), value) << "code " << int(code);
  }
}

TEST(Outputs, MidVariantUsesTheMiddleBandwidthBytes) {
  Bench mid(TransceiverSettings{}, MemoryImageBuilder().setMid(true).build());
  ASSERT_TRUE(mid.rig.midVariant());
  mid.adjust(0x10, 10);
  mid.adjust(0x12, 20);
  mid.adjust(0x0C, 30);
  mid.adjust(0x0E, 40);
  EXPECT_EQ(readOrFail(mid, 13), 20);
  EXPECT_EQ(readOrFail(mid, 14), 40);

  Bench narrow;
  ASSERT_FALSE(narrow.rig.midVariant());
  narrow.adjust(0x10, 10);
  narrow.adjust(0x12, 20);
  narrow.adjust(0x0C, 30);
  narrow.adjust(0x0E, 40);
  EXPECT_EQ(readOrFail(narrow, 13), 10);
  EXPECT_EQ(readOrFail(narrow, 14), 30);
}

}  // namespace
