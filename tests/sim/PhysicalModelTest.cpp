#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "Bench.h"
#include "ImageLayout.h"
#include "MemoryImageBuilder.h"

namespace {

constexpr uint8_t kRxLvaCmd = 0x06, kTxLvaCmd = 0x07, kT1Cmd = 0x13, kT2Cmd = 0x14;

// The utility's reading of the temperature byte.
double celsiusOf(int v) {
  const double x = 5.0 * v / 255.0;
  const double r = (500000.0 - 100000.0 * x) / x / 47000.0;
  return 1.0 / (std::log(r) / 4000.0 + 1.0 / 298.15) - 273.15;
}

// The readings of code while command steps through 0, step, ... up to last.
std::vector<int> sweep(Bench& bench, uint8_t command, uint8_t code, int last, int step = 1) {
  std::vector<int> readings;
  for (int v = 0; v <= last; v += step) {
    bench.adjust(command, static_cast<uint8_t>(v));
    readings.push_back(bench.read(code));
  }
  return readings;
}

// First and last place of the highest reading.
std::pair<int, int> peak(const std::vector<int>& r) {
  const int best = *std::max_element(r.begin(), r.end());
  return {static_cast<int>(std::find(r.begin(), r.end(), best) - r.begin()),
          static_cast<int>(r.rend() - std::find(r.rbegin(), r.rend(), best)) - 1};
}

// The tuning procedure's choice: the middle of the peak.
int chosen(const std::vector<int>& r, int step) {
  return step * (peak(r).first + peak(r).second) / 2;
}

TEST(Readings, SupplyAndTemperatureAsTheUtilityComputesThem) {
  Bench standard;
  EXPECT_NEAR(standard.read(0) * 10.0 / 255.0, 7.4, 0.02);  // half a step
  EXPECT_NEAR(celsiusOf(standard.read(3)), 25.0, 0.5);
  for (const auto& [celsius, volts] : std::vector<std::pair<double, double>>{{-10, 6}, {60, 8.4}}) {
    Bench bench({.temperatureC = celsius, .supplyVolts = volts});
    EXPECT_NEAR(bench.read(0) * 10.0 / 255.0, volts, 0.02);
    EXPECT_NEAR(celsiusOf(bench.read(3)), celsius, 0.5);
  }
}

TEST(LevelVoltage, RisesStrictlyWithTheAdjusterSentLastAndBracketsItsTarget) {
  Bench bench;
  for (uint8_t command : {kRxLvaCmd, kTxLvaCmd}) {
    const std::vector<int> levels = sweep(bench, command, 5, 255);
    for (size_t v = 1; v < levels.size(); ++v) EXPECT_GT(levels[v], levels[v - 1]) << int(command) << " at " << v;
    const int target = bench.rig.memoryByte(command == kRxLvaCmd ? ImageLayout::kLvRxTarget
                                                                 : ImageLayout::kLvTxTarget);
    EXPECT_GT(target, levels.front());
    EXPECT_LT(target, levels.back());
    bench.adjust(command == kRxLvaCmd ? kTxLvaCmd : kRxLvaCmd, 30);  // the other one, sent last
    EXPECT_EQ(bench.read(5), 30);
  }
}

TEST(SignalLevel, FineSweepFindsAShortPlateauAtEachTunedPoint) {
  for (auto [command, centre] : {std::pair<uint8_t, int>{kT1Cmd, 71}, {kT2Cmd, 93}}) {
    Bench bench;
    const std::vector<int> r = sweep(bench, command, 4, 255);
    const auto [first, last] = peak(r);
    EXPECT_EQ(std::count(r.begin(), r.end(), r[size_t(first)]), last - first + 1) << "one run";
    EXPECT_GE(last - first + 1, 2) << int(command);
    EXPECT_LE(last - first + 1, 5) << int(command);
    EXPECT_EQ(chosen(r, 1), centre);
  }
}

// Odd tuned points: the even points of a coarse sweep then straddle the middle.
TEST(SignalLevel, CoarseSweepFromBothParkedFindsBothPoints) {
  for (auto [t1, t2] : {std::pair<int, int>{71, 93}, {41, 101}, {9, 125}}) {
    Bench bench({.bpfT1Centre = t1, .bpfT2Centre = t2});
    bench.adjust(kT1Cmd, 64);
    bench.adjust(kT2Cmd, 64);
    // 0, 2, ... 128: the procedure stops once the value passes 127.
    const int found1 = chosen(sweep(bench, kT1Cmd, 4, 128, 2), 2);
    bench.adjust(kT1Cmd, static_cast<uint8_t>(found1));
    EXPECT_EQ(found1, t1);
    EXPECT_EQ(chosen(sweep(bench, kT2Cmd, 4, 128, 2), 2), t2);
  }
}

TEST(Outputs, DigitalToAnalogCodesReadBackTheirAdjustments) {
  struct Row {
    uint8_t code, command, midCommand;  // the command that drives it, without and with Mid
  };
  const std::vector<Row> table{{16, 0x13, 0x13}, {17, 0x14, 0x14}, {18, 0x07, 0x07},
                               {19, 0x06, 0x06}, {12, 0x05, 0x05}, {13, 0x10, 0x12},
                               {14, 0x0C, 0x0E}, {11, 0x0F, 0x0F}, {15, 0x08, 0x08}};
  for (bool mid : {false, true}) {
    Bench bench(TransceiverSettings{}, MemoryImageBuilder().setMid(mid).build());
    for (const Row& row : table) {  // a different value through every command
      bench.adjust(row.command, static_cast<uint8_t>(row.code * 7));
      if (row.midCommand == row.command) continue;
      bench.adjust(row.midCommand, static_cast<uint8_t>(row.code * 7 + 1));
    }
    for (const Row& row : table) {
      EXPECT_EQ(bench.read(row.code), row.code * 7 + (mid && row.midCommand != row.command))
          << "code " << int(row.code) << (mid ? " Mid" : "");
    }
  }
}

}  // namespace
