// The automatic procedures through the whole utility against the virtual
// transceiver (see ProcedureSimFixture for its physical model and image).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ProcedureObserver.h"
#include "ProcedureSimFixture.h"
#include "clsCmcEeprom.h"
#include "clsCmcRadio.h"

namespace {

constexpr int kRead = 0x03, kSignal = 4, kLevel = 5;

class ProceduresSimTest : public ProcedureSimFixture {
 protected:
  // The frames that store something, readings left out.
  std::vector<E8> stored() const {
    std::vector<E8> kept;
    for (const E8& f : frames) {
      if (f.command != kRead) kept.push_back(f);
    }
    return kept;
  }
  std::string row(int16_t index) { return Globals::mainWindow().lboConsole().item(index)->text().toStdString(); }
  int16_t image(int32_t adr) { return Globals::radio().eepImage().ReadByte(adr); }
};

TEST_F(ProceduresSimTest, BpfT1SweepEndsAtTheTunedPoint71) {
  connect();
  enter(kBpfT1Row);
  runToEnd();
  // The frames are compared in CurvesSimTest.
  EXPECT_EQ(console().Value(kBpfT1Row), 71);
  EXPECT_EQ(std::make_tuple(rig.memoryByte(84), image(84), rig.memoryByte(85)), std::make_tuple(71, 71, 95));
  EXPECT_EQ(beeps, 1);
  expectPausesAtRest();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(row(kBpfT1Row).substr(row(kBpfT1Row).size() - 17), " [Enter] to Sweep");
}

struct LvaCase {
  const char* name;
  int16_t row;
  int16_t target;  // -1: the image's own
  std::vector<int> values;  // the adjuster values sent, each followed by a reading
  bool failed;
};

void PrintTo(const LvaCase& c, std::ostream* os) { *os << c.name; }

class LvaSimTest : public ProceduresSimTest, public ::testing::WithParamInterface<LvaCase> {};

TEST_P(LvaSimTest, EndsAtTheTargetOrRestores) {
  const LvaCase& c = GetParam();
  const int command = 0x06 + (c.row - kRxLvaRow);
  connect();
  if (c.target >= 0) console().setValue(static_cast<int16_t>(kLvRxRow + c.row - kRxLvaRow), c.target);
  ticksFor(500);
  frames.clear();
  enter(c.row);
  runToEnd();
  std::vector<E8> want;
  for (int v : c.values) {
    want.push_back({command, v});
    want.push_back({kRead, kLevel});
  }
  if (c.failed) want.pop_back();  // the restored value is not read
  EXPECT_EQ(frames, want);
  EXPECT_EQ(rig.memoryByte(92 + c.row - kRxLvaRow), c.values.back());
  EXPECT_EQ(model().autoState().lvaFailed[c.row - kRxLvaRow], c.failed);
  const std::string failedText = " (Auto Adjust Failed)";
  EXPECT_EQ(row(c.row).ends_with(failedText), c.failed) << row(c.row);
  expectPausesAtRest();
  EXPECT_EQ(beeps, 1);
  EXPECT_TRUE(messages.empty());
  // The mark belongs to that connection.
  connect();
  EXPECT_FALSE(model().autoState().lvaFailed[c.row - kRxLvaRow]);
  EXPECT_FALSE(row(c.row).ends_with(failedText)) << row(c.row);
}

const LvaCase kLvaCases[] = {
    {"RxEndsAtItsTarget150", kRxLvaRow, -1, {0, 255, 128, 192, 160, 144, 152, 148, 150}, false},
    {"TxEndsAtItsTarget100", kRxLvaRow + 1, -1, {0, 255, 128, 64, 96, 112, 104, 100}, false},
    {"TargetAtTheLowEndFails", kRxLvaRow, 0, {0, 255, 140}, true},
    {"TargetAtTheHighEndFails", kRxLvaRow + 1, 255, {0, 255, 120}, true},
};
INSTANTIATE_TEST_SUITE_P(Procedures, LvaSimTest, ::testing::ValuesIn(kLvaCases),
                         [](const auto& info) { return std::string(info.param.name); });

// With T1 at 69 one step below its plateau and T2 at 95 on its upper end:
// 20 + 107 + 110 = 237.
TEST_F(ProceduresSimTest, RssiStoresS3ThenS1OfTheLevel237) {
  connect();
  enter(kRssiRow);
  ticksFor(3000);
  EXPECT_EQ(row(kRssiRow), "      RSSI: RSSI S3 Level ");
  EXPECT_GT(count(kRead), 3);
  EXPECT_EQ(count(kRead), static_cast<int>(frames.size()));
  enter(kRssiRow);
  ticksFor(3000);
  EXPECT_EQ(row(kRssiRow), "      RSSI: RSSI S1 Level ");
  enter(kRssiRow);
  runToEnd();
  EXPECT_EQ(stored(), (std::vector<E8>{{0x16, 237}, {0x15, 237}}));
  EXPECT_EQ(rig.memoryByte(170), 237);
  EXPECT_EQ(rig.memoryByte(169), 237);
  EXPECT_EQ(image(170), 237);
  EXPECT_EQ(image(169), 237);
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(row(kRssiRow), "      RSSI: [Enter] to Start");
  expectPausesAtRest();
}

// Presses Enter on a row the moment the S3 level is taken, before the procedure
// has moved on to its second stage.
class EnterAtS3Capture : public ProcedureObserver {
 public:
  explicit EnterAtS3Capture(QListWidget& list) : list_(list), previous_(ProcedureObserver::attached()) {
    ProcedureObserver::attach(this);
  }
  ~EnterAtS3Capture() override { ProcedureObserver::attach(previous_); }
  void onRssiCapture(int16_t which, int16_t) override {
    if (which == 3) QTest::keyClick(&list_, Qt::Key_Return);
  }
  void onSweepStart(int16_t, bool) override {}
  void onSweepPoint(int16_t, int16_t, int16_t) override {}
  void onSweepEnd(int16_t, int16_t, int16_t, int16_t) override {}
  void onLevelStart(int16_t, int16_t) override {}
  void onLevelPoint(int16_t, int16_t, int16_t) override {}
  void onLevelEnd(int16_t, int16_t) override {}
  void onLevelFailed(int16_t, int16_t, int16_t, int16_t) override {}
  void onRssiStart() override {}
  void onRssiLevel(int16_t) override {}
  void onProcedureEnd() override {}
  void onReading(int16_t, int16_t, int16_t) override {}

 private:
  QListWidget& list_;
  ProcedureObserver* previous_;
};

// An Enter pressed while the S3 level is being stored is the S1 request.
TEST_F(ProceduresSimTest, AnEnterRightAtTheS3CaptureStoresS1) {
  connect();
  enter(kRssiRow);
  ticksFor(1000);
  const EnterAtS3Capture pressing(Globals::mainWindow().lboConsole());
  enter(kRssiRow);
  for (int t = 0; t < 5000 && count(0x15) == 0; t += 50) tick();
  ticksFor(500);
  EXPECT_EQ(autoCode(), 0);
  EXPECT_EQ(stored(), (std::vector<E8>{{0x16, 237}, {0x15, 237}}));
  EXPECT_EQ(beeps, 1);
}

// A sweep keeps the task in its step until the stage is swept; the Enter then
// ends the tuning before its second stage.
TEST_F(ProceduresSimTest, EnterOnAnotherProceduresRowEndsTheRunningOne) {
  connect();
  enter(kBpfAllRow);
  ticksFor(2000);
  enter(kRxLvaRow);
  runToEnd();
  EXPECT_EQ(rig.memoryByte(84), 71);
  EXPECT_EQ(rig.memoryByte(85), 64);  // parked, never swept
  EXPECT_EQ(count(0x14), 1);  // its parking only
  EXPECT_EQ(rig.memoryByte(92), 150);
  EXPECT_EQ(beeps, 1);
  expectPausesAtRest();
  EXPECT_TRUE(messages.empty());
}

class ButtonSimTest : public ProceduresSimTest, public ::testing::WithParamInterface<int> {};

TEST_P(ButtonSimTest, AnyButtonEndsASweepAtOnce) {
  connect();
  enter(kBpfT1Row);
  ticksFor(3000);
  ASSERT_EQ(autoCode(), 15);
  Globals::mainWindow().cmd00(GetParam()).click();
  EXPECT_EQ(autoCode(), 0);
  const int swept = count(0x13);
  ticksFor(3000);
  // At most the point on its way and the value reached, sent as a change.
  EXPECT_LE(count(0x13), swept + 2);
  expectPausesAtRest();
  EXPECT_EQ(beeps, 0);
  EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Procedures, ButtonSimTest, ::testing::Values(0, 1, 2));

TEST_F(ProceduresSimTest, AMalformedReadingDuringASweepGivesOneMessageAndIdle) {
  connect();
  enter(kBpfT1Row);
  ticksFor(1000);
  TransceiverSettings s = rig.settings();
  s.corruptAnswerFrame = static_cast<int>(rig.framesSent()) + 10;
  rig.setSettings(s);
  for (int t = 0; t < 60000 && messages.empty(); t += 50) tick();
  const std::vector<E8> atMessage = frames;
  ticksFor(3000);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(model().opState(), 0);
  EXPECT_EQ(autoCode(), 0);
  EXPECT_EQ(atMessage.back(), (E8{kRead, kSignal}));  // nothing sent after the bad answer
  EXPECT_EQ(frames, atMessage);
  EXPECT_EQ(beeps, 0);
  expectPausesAtRest();
}

}  // namespace
