// The automatic procedures against a fake link around the real model's rows and
// reset: a transceiver response per A/D slot, a link that is busy for one call
// after every frame, and the task's cycle that sends flagged rows whenever a
// procedure moves to another step.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "AppFixture.h"
#include "Globals.h"
#include "RigVelaItemTable.h"
#include "RigVelaProcedures.h"
#include "RigVelaProceduresBeep.h"
#include "RigVelaProceduresHost.h"
#include "RigVelaState.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

namespace {

struct Sent {
  int16_t command;
  int16_t value;
  int32_t wait;  // the row's pause; -1 for a frame that is not a row
  bool operator==(const Sent&) const = default;
};

class FakeModel : public RigVelaProceduresHost {
 public:
  using Response = std::function<int16_t(const FakeModel&)>;

  FakeModel() : console(Globals::console()), items(Globals::model().itemIndex()), procs(*this, st, items) {
    st.bpfItem = items.bpfAll;
    previousBeep = RigVelaProceduresBeep::SetBeepHandler([this] { ++beeps; });
  }
  ~FakeModel() override { RigVelaProceduresBeep::SetBeepHandler(previousBeep); }

  bool SequencerBusy() const override { return busy; }
  bool ReadAD(int16_t slot, bool firstPass) override {
    if (busy) ++faults;  // a reading must wait for the link
    if (firstPass) {
      reads.push_back(slot);
      pendingRead = true;
      busy = true;
      return false;
    }
    if (!pendingRead) ++faults;
    pendingRead = false;
    if (static_cast<int>(reads.size()) == badRead) {
      failed = true;
      return true;
    }
    adLast[slot] = slot == 3 ? signal(*this) : level(*this);
    return true;
  }
  int16_t AdLast(int16_t slot) const override { return adLast[slot]; }
  bool ReadingFailed() const override { return failed; }
  void SendE8NoAnswer(const std::string& text) override {
    if (busy) ++faults;
    texts.push_back(text);
    busy = true;
  }
  void WriteImageByte(int32_t adr, int16_t value) override { image.push_back({adr, value}); }
  void SendItem(int16_t index) override {
    if (busy) ++faults;
    sent.push_back({console.E8Command(index), console.Value(index), console.WaitAfterE8(index)});
    live[index] = console.Value(index);
    if (index == items.rxLva || index == items.rxLva + 1) lastLva = index;
    busy = true;
  }
  clsConsole& Console() override { return console; }
  void AutoReset() override {
    ++resets;
    Globals::model().RigVelaOp_AutoReset();
  }

  // One task call in state 27; after a step change the cycle sends flagged rows.
  bool Tick() {
    if (busy) {
      const size_t before = sent.size() + texts.size() + reads.size();
      if (procs.Dispatch() || sent.size() + texts.size() + reads.size() != before) ++faults;
      busy = false;
      return false;
    }
    const bool done = procs.Dispatch();
    if (done) SendChangedRows();
    return done;
  }
  void SendChangedRows() {
    for (int16_t i = 0; i < console.ListCount(); ++i) {
      if (!console.flgChanged(i)) continue;
      console.setflgChanged(i, false);
      if (console.E8Command(i) >= 0) SendItem(i);
      busy = false;  // the cycle waits for each row itself
    }
  }
  void RunToEnd(int maxTicks = 20000) {
    for (int i = 0; i < maxTicks && st.autoCode != 0; ++i) Tick();
  }
  // As an Enter starts it: any procedure ended, the rows at rest.
  void Start(int16_t code) {
    AutoReset();
    resets = 0;
    st.autoCode = code;
    for (int16_t i = 0; i < console.ListCount(); ++i) console.setflgChanged(i, false);
  }
  int16_t Live(int16_t index) const { return live[index]; }
  std::vector<Sent> SentBy(int16_t command) const {
    std::vector<Sent> out;
    std::ranges::copy_if(sent, std::back_inserter(out), [command](const Sent& s) { return s.command == command; });
    return out;
  }

  clsConsole& console;
  RigVelaAutoState st;
  RigVelaItemIndex items;
  RigVelaProcedures procs;
  Response signal = [](const FakeModel&) { return int16_t{0}; };
  Response level = [](const FakeModel& m) { return m.Live(m.lastLva); };
  int badRead = 0;  // the reading (from 1) whose answer is malformed
  bool busy = false, pendingRead = false, failed = false;
  int beeps = 0, resets = 0, faults = 0;
  int16_t lastLva = 0;
  std::vector<int16_t> reads;
  std::vector<std::string> texts;
  std::vector<std::pair<int32_t, int16_t>> image;
  std::vector<Sent> sent;
  int16_t adLast[6] = {-1, -1, -1, -1, -1, -1};
  int16_t live[17] = {};
  RigVelaProceduresBeep::BeepHandler previousBeep;
};

// Ended as a finished procedure ends: one beep, the link never overrun, and the
// pauses back (BPF T1 and T2 200 ms after their command, RX and TX LVA 500 ms).
void expectFinished(const FakeModel& m) {
  EXPECT_EQ(std::make_tuple(m.st.autoCode, m.beeps, m.faults), std::make_tuple(0, 1, 0));
  for (int16_t k = 0; k < 2; ++k) {
    EXPECT_EQ(m.console.WaitAfterE8(static_cast<int16_t>(m.items.bpfT1 + k)), 200) << "BPF T" << k + 1;
    EXPECT_EQ(m.console.WaitAfterE8(static_cast<int16_t>(m.items.rxLva + k)), 500) << "LVA " << k;
  }
}

// A response with one plateau per filter stage, as a tuned circuit gives.
int16_t Peak(int16_t v, int16_t from, int16_t to) {
  if (v >= from && v <= to) return 100;
  return static_cast<int16_t>(std::max(0, 100 - 2 * (v < from ? from - v : v - to)));
}

using Procedures = AppFixture;

TEST_F(Procedures, BpfSweepEndsInTheMiddleOfTheFirstHighestPlateau) {
  const struct {
    const char* name;
    bool t1, t2, all;
    FakeModel::Response signal;
    int16_t endT1, endT2;  // the row values at the end (T2 untouched: its start 33)
  } cases[] = {
      {"T2", false, true, false, [](const FakeModel& m) { return Peak(m.Live(m.items.bpfT1 + 1), 92, 94); }, 33, 93},
      {"flat, one stage", true, false, false, [](const FakeModel&) { return int16_t{7}; }, 127, 33},
      {"flat, all", true, true, true, [](const FakeModel&) { return int16_t{7}; }, 64, 64},
      // Equal peaks apart: not the point between them, where nothing passes.
      {"first of two equal plateaus", true, false, false,
       [](const FakeModel& m) {
         const int16_t v = m.Live(m.items.bpfT1);
         return std::max(Peak(v, 30, 34), Peak(v, 200, 210));
       },
       32, 33},
      {"peak at the top end", true, false, false, [](const FakeModel& m) { return m.Live(m.items.bpfT1); }, 255, 33},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeModel m;
    const auto t1 = m.items.bpfT1, t2 = static_cast<int16_t>(m.items.bpfT1 + 1);
    m.console.setValue(t1, 33);
    m.console.setValue(t2, 33);
    m.signal = c.signal;
    m.st.bpfSel = {c.t1, c.t2, false};
    m.st.bpfAll = c.all;
    m.Start(RigVelaProcedures::BpfFirst);
    m.RunToEnd();
    expectFinished(m);
    EXPECT_EQ(std::make_tuple(m.console.Value(t1), m.console.Value(t2), m.resets),
              std::make_tuple(c.endT1, c.endT2, 1));
    for (int16_t k = 0; k < 2; ++k) {
      const auto command = static_cast<int16_t>(0x13 + k);
      std::vector<Sent> want;
      if (k == 0 ? c.t1 : c.t2) {
        // Parked (or zeroed), the minimum, then the sweep points, then the result.
        want = {{command, int16_t(c.all ? 64 : 0), 200}, {command, 0, 200}};
        const int16_t last = c.all ? 128 : 255, step = c.all ? 2 : 1;
        for (int16_t v = 0; v <= last; v = static_cast<int16_t>(v + step)) {
          want.push_back({command, v, v == 0 ? 200 : 0});
        }
        want.push_back({command, k == 0 ? c.endT1 : c.endT2, 0});
      }
      EXPECT_EQ(m.SentBy(command), want) << "stage " << k;
    }
    EXPECT_EQ(m.reads.size(), size_t((c.t1 + c.t2) * (c.all ? 65 : 256)));
    EXPECT_FALSE(m.st.bpfSel[0] || m.st.bpfSel[1]);
  }
}

TEST_F(Procedures, LvaSearchBisectsToTheTargetOrRestores) {
  const struct {
    const char* name;
    int16_t target;
    std::function<int16_t(int16_t)> level;  // of the adjuster value
    std::vector<int16_t> values;            // every value sent, in order
    bool failed;
  } cases[] = {
      {"falling", 100, [](int16_t v) { return static_cast<int16_t>(255 - v); },
       {0, 255, 128, 192, 160, 144, 152, 156, 154, 155}, false},
      {"never equal, ends narrow", 101, [](int16_t v) { return static_cast<int16_t>(v / 2 * 2); },
       {0, 255, 128, 64, 96, 112, 104, 100, 102, 101}, false},
      {"flat level", 9, [](int16_t) { return int16_t{9}; }, {0, 255, 140}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeModel m;
    m.console.setValue(m.items.rxLva, 140);
    m.console.setValue(static_cast<int16_t>(m.items.rxLva + 1), 120);
    m.console.setValue(m.items.lvRxLva, c.target);
    m.level = [&c](const FakeModel& f) { return c.level(f.Live(f.lastLva)); };
    m.st.lvaSel = {true, false, false};
    m.Start(RigVelaProcedures::LvaFirst);
    m.RunToEnd();
    expectFinished(m);
    std::vector<Sent> want;
    for (int16_t v : c.values) want.push_back({0x06, v, 500});
    EXPECT_EQ(m.SentBy(0x06), want);
    EXPECT_TRUE(m.SentBy(0x07).empty());
    EXPECT_EQ(m.console.Value(m.items.rxLva), c.values.back());
    EXPECT_EQ(m.st.lvaFailed[0], c.failed);
    EXPECT_FALSE(m.st.lvaFailed[1]);
    for (int16_t slot : m.reads) EXPECT_EQ(slot, RigVelaProcedures::LevelSlot);
  }
}

TEST_F(Procedures, DispatchDoesNothingOutsideTheProcedures) {
  for (int16_t code : {0, 1, 5, 9, 11, 27, 30, -1}) {
    FakeModel m;
    m.st.autoCode = code;
    EXPECT_TRUE(m.procs.Dispatch()) << code;
    EXPECT_EQ(std::make_tuple(m.st.autoCode, m.resets + m.beeps, m.reads.size() + m.sent.size()),
              std::make_tuple(code, 0, size_t{0}));
  }
}

// Each Enter asks for a capture of the next reading, S3 first; one made right at
// the S3 capture, before the second stage has started, is the S1 request.
TEST_F(Procedures, RssiStoresTheReadingsAskedForAndTakesAnEnterAtTheS3CaptureForS1) {
  FakeModel m;
  m.signal = [](const FakeModel& f) { return static_cast<int16_t>(100 + f.reads.size()); };
  m.Start(RigVelaProcedures::RssiFirst);
  for (int i = 0; i < 40; ++i) m.Tick();
  EXPECT_TRUE(m.texts.empty());
  m.st.rssiCaptureReq = true;
  for (int i = 0; i < 100 && m.texts.empty(); ++i) m.Tick();
  m.st.rssiCaptureReq = true;
  m.RunToEnd(100);
  expectFinished(m);
  const auto s3 = static_cast<int16_t>(99 + m.reads.size()), s1 = static_cast<int16_t>(s3 + 1);
  EXPECT_GT(s3, 110);
  EXPECT_EQ(m.texts, (std::vector<std::string>{clsConsole::E8Text(0x16, s3), clsConsole::E8Text(0x15, s1)}));
  EXPECT_EQ(m.image, (std::vector<std::pair<int32_t, int16_t>>{{170, s3}, {169, s1}}));
  for (int16_t slot : m.reads) EXPECT_EQ(slot, RigVelaProcedures::SignalSlot);
}

TEST_F(Procedures, ABadReadingStopsWithoutFurtherFramesOrStoredValues) {
  const struct {
    const char* name;
    int16_t start;
    int badRead;
  } cases[] = {{"RSSI, first reading", RigVelaProcedures::RssiFirst, 1},
               {"BPF, mid-sweep", RigVelaProcedures::BpfFirst, 40},
               {"LVA, middle reading", RigVelaProcedures::LvaFirst, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeModel m;
    m.st.bpfSel = {true, false, false};
    m.st.lvaSel = {true, false, false};
    m.badRead = c.badRead;
    m.console.setValue(m.items.lvRxLva, 150);
    m.Start(c.start);
    for (int i = 0; i < 5000 && !m.failed; ++i) {
      m.Tick();
      if (!m.reads.empty()) m.st.rssiCaptureReq = true;  // the reading is to be stored
    }
    ASSERT_TRUE(m.failed);
    const size_t sent = m.sent.size(), reads = m.reads.size();
    const int16_t code = m.st.autoCode;
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(m.Tick());
    EXPECT_EQ(std::make_tuple(m.sent.size(), m.reads.size(), m.st.autoCode, m.beeps),
              std::make_tuple(sent, reads, code, 0));
    EXPECT_TRUE(m.texts.empty() && m.image.empty());
  }
}

}  // namespace
