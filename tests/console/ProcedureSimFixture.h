#pragma once
// The automatic procedures through the whole utility against the virtual
// transceiver: "Connect", Enter on a row in the window, the ticks to the end; the
// E8 frames the transceiver received and the readings it answered.
//
// The transceiver's physical model: the signal level (A/D code 4) is 20 plus one
// response per filter stage, 110 on the plateau from its tuned point -1 to +2 (T1
// at 71, T2 at 93), falling by 3 per step off it; the level voltage (A/D code 5)
// equals the LVA value last sent. Its image holds BPF T1 69, T2 95, RX LVA 140, TX
// LVA 120 and the targets 150 (RX) and 100 (TX).
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "FrameCodec.h"
#include "Globals.h"
#include "RigVelaProceduresBeep.h"
#include "SimAppFixture.h"
#include "clsCmcEeprom.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"

constexpr int16_t kBpfAllRow = 9, kBpfT1Row = 10, kRxLvaRow = 12, kLvRxRow = 14, kRssiRow = 16;

struct E8 {
  int command, value;
  bool operator==(const E8&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const E8& f) {
  return os << std::hex << f.command << ':' << f.value << std::dec;
}

// One stage's frames: its start value, the minimum, the points with a reading of
// the signal level (A/D code 4) after each, then the result sent by the cycle.
inline void appendSweep(std::vector<E8>& want, int command, int step, int last, int result) {
  want.push_back({command, 0});
  want.push_back({command, 0});
  for (int v = 0; v <= last; v += step) {
    want.push_back({0x03, 4});
    if (v + step <= last) want.push_back({command, v + step});
  }
  want.push_back({command, result});
}

// BPF T1 and T2 wait 200 ms after their command, RX and TX LVA 500 ms.
inline void expectPausesAtRest() {
  const RigVelaItemIndex& items = Globals::model().itemIndex();
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(Globals::console().WaitAfterE8(static_cast<int16_t>(items.bpfT1 + k)), 200) << "BPF T" << k + 1;
    EXPECT_EQ(Globals::console().WaitAfterE8(static_cast<int16_t>(items.rxLva + k)), 500) << "LVA " << k;
  }
}

class ProcedureSimFixture : public SimAppFixture {
 protected:
  ProcedureSimFixture() {
    previousBeep_ = RigVelaProceduresBeep::SetBeepHandler([this] { ++beeps; });
    rig.setTraceHandler([this](const VirtualTransceiver::TraceEvent& e) {
      using Direction = VirtualTransceiver::TraceEvent::Direction;
      if (e.direction == Direction::Noise) return;
      const Bytes body = FrameCodec::bodyOf(e.bytes);
      if (body.size() < 10 || body[2] != 0xE8) return;
      const auto v = FrameCodec::hexPairValue(body[body.size() - 2], body[body.size() - 1]);
      const int command = body[body.size() - 3];
      if (e.direction == Direction::FromPc) {
        frames.push_back({command, v ? int{*v} : -1});
        if (command != 0x03) lastSent = v ? int{*v} : -1;
      } else if (command == 0x03 && v) {
        answered.emplace_back(lastSent, *v);
      }
    });
  }
  ~ProcedureSimFixture() override { RigVelaProceduresBeep::SetBeepHandler(previousBeep_); }

  static clsIndOp_RigVela& model() { return Globals::model(); }
  static clsConsole& console() { return Globals::console(); }
  static int16_t autoCode() { return model().autoState().autoCode; }

  // "Connect", the clone read, the first sending and the first full cycle.
  void connect() {
    Globals::mainWindow().cmd00(0).click();
    for (int t = 0; t < 600000 && !model().RigVelaProp_EditEnabled(); t += 50) tick();
    ASSERT_TRUE(model().RigVelaProp_EditEnabled());
    ticksFor(5000);
    ASSERT_TRUE(messages.empty());
    frames.clear();
    answered.clear();
  }
  void enter(int16_t row) {
    QListWidget& list = Globals::mainWindow().lboConsole();
    list.setCurrentRow(row);
    QTest::keyClick(&list, Qt::Key_Return);
    // The task takes the Enter at its next cycle.
    for (int t = 0; t < 5000 && console().flgEnterOn(row); t += 50) tick();
    EXPECT_FALSE(console().flgEnterOn(row));
  }
  void runToEnd() {
    for (int t = 0; t < 600000 && autoCode() != 0; t += 50) tick();
    EXPECT_EQ(autoCode(), 0);
    ticksFor(2000);
  }
  int count(int command) const {
    int n = 0;
    for (const E8& f : frames) n += f.command == command;
    return n;
  }
  // The frames that store something, readings left out.
  std::vector<E8> stored() const {
    std::vector<E8> kept;
    for (const E8& f : frames) {
      if (f.command != 0x03) kept.push_back(f);
    }
    return kept;
  }
  static std::string row(int16_t index) {
    return Globals::mainWindow().lboConsole().item(index)->text().toStdString();
  }
  static int16_t image(int32_t adr) { return Globals::radio().eepImage().ReadByte(adr); }

  std::vector<E8> frames;
  std::vector<std::pair<int, int>> answered;  // value last sent, reading answered
  int lastSent = -1;
  int beeps = 0;

 private:
  RigVelaProceduresBeep::BeepHandler previousBeep_;
};
