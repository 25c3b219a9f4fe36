#include <gtest/gtest.h>

#include <QListWidget>

#include "AppFixture.h"
#include "Globals.h"
#include "RigVelaReadingText.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"

namespace {

struct ReadingCase {
  bool da;
  int16_t slot, v;
  const char* line;
};

// Values worked out by hand: volts v x 10 / 255 or v x 5 / 255, percent v / 255,
// the thermistor formula for TEMPS (128 gives 9.271 degrees, 200 gives 37.406).
const ReadingCase kReadings[] = {
    {false, 0, 123, "VIN  :123:7Bh:  4.82V"},   {false, 1, 128, "TEMPS:128:80h:  9.27'C"},
    {false, 1, 200, "TEMPS:200:C8h: 37.41'C"},  {false, 1, 0, "TEMPS:  0:00h:  *Error"},
    {false, 1, 255, "TEMPS:255:FFh:  *Error"},  {false, 2, 5, "LVIN :  5:05h:  0.10V"},
    {false, 3, 255, "SD   :255:FFh:  5.00V"},   {false, 4, 77, ""},
    {true, 0, 10, "T1/POW : 10:0Ah:  0.20V"},   {true, 5, 255, "MOD BAL:255:FFh:100.00%"},
    {true, 7, 51, "CTCSS  : 51:33h:  1.00V"},   {true, 8, 0, "SQL Lev:  0:00h:  0.00%"},
    {true, 8, 128, "SQL Lev:128:80h: 50.20%"},
};

TEST(RigVelaReadingText, LinesOfBothLists) {
  for (const ReadingCase& c : kReadings) {
    EXPECT_EQ(c.da ? RigVelaReadingText::DaLine(c.slot, c.v) : RigVelaReadingText::AdLine(c.slot, c.v), c.line)
        << c.da << " " << c.slot << " " << c.v;
  }
}

class RigVelaEventsTest : public AppFixture {
 protected:
  RigVelaEventsTest() { Globals::model(); }
  static clsIndOp_RigVela& model() { return Globals::model(); }
  static clsConsole& console() { return Globals::console(); }
  static std::string line(int i) { return Globals::mainWindow().lboConsole().item(i)->text().toStdString(); }
};

constexpr int kBpfAll = 9, kBpfT1 = 10, kBpfT2 = 11, kRxLva = 12, kTxLva = 13, kLvRx = 14, kRssi = 16;
const std::string kEmptyBar = " [--------------------]";

struct EnterStep {
  int row;
  int16_t autoCode;
  std::vector<std::pair<int, std::string>> lines;
};

// One Enter after the other: a procedure starts, a second Enter on its own rows is
// ignored (RSSI: asks for a capture), another procedure's Enter takes over.
TEST_F(RigVelaEventsTest, EnterStartsProceduresAndTheRowsSayWhatRuns) {
  const EnterStep steps[] = {
      {kRssi, 6, {{kRssi, "      RSSI: RSSI S3 Level "}, {kBpfAll, "   BPF ALL: [Enter] to Sweep"}}},
      {kRssi, 6, {{kRssi, "      RSSI: RSSI S3 Level "}}},
      {kBpfT2, 12,
       {{kRssi, "      RSSI: [Enter] to Start"},
        {kBpfT1, "    BPF T1:   0" + kEmptyBar},
        {kBpfT2, "    BPF T2:   0" + kEmptyBar + " Sweeping"},
        {kBpfAll, "   BPF ALL: [Enter] to Sweep"}}},
      {kBpfT1, 12, {{kBpfT1, "    BPF T1:   0" + kEmptyBar}, {kBpfT2, "    BPF T2:   0" + kEmptyBar + " Sweeping"}}},
      {kRxLva, 17,
       {{kBpfT1, "    BPF T1:   0" + kEmptyBar + " [Enter] to Sweep"},
        {kRxLva, "    RX LVA:   0" + kEmptyBar + " Sweeping"},
        {kTxLva, "    TX LVA:   0" + kEmptyBar}}},
      {kTxLva, 17, {{kRxLva, "    RX LVA:   0" + kEmptyBar + " Sweeping"}}},
      {kBpfAll, 12,
       {{kBpfAll, "   BPF ALL: Sweeping"},
        {kBpfT1, "    BPF T1:   0" + kEmptyBar + " Sweeping"},
        {kRxLva, "    RX LVA:   0" + kEmptyBar + " [Enter] to Sweep"}}},
  };
  for (const EnterStep& s : steps) {
    SCOPED_TRACE(s.row);
    console().EnterExec(static_cast<int16_t>(s.row));
    EXPECT_EQ(model().autoState().autoCode, s.autoCode);
    for (const auto& [row, text] : s.lines) EXPECT_EQ(line(row), text) << row;
  }
  const RigVelaAutoState& a = model().autoState();
  EXPECT_TRUE(a.rssiCaptureReq);
  EXPECT_TRUE(a.bpfAll);
  EXPECT_TRUE(a.bpfSel[0] && a.bpfSel[1]);
  EXPECT_EQ(a.bpfItem, kBpfAll);
  EXPECT_TRUE(a.lvaSel[0] && !a.lvaSel[1]);
  EXPECT_EQ(a.lvaItem, kRxLva);
}

TEST_F(RigVelaEventsTest, LevelTargetsShowTheirVoltage) {
  const std::pair<int16_t, std::string> cases[] = {
      {128, "LV(RX LVA): 128 [##########----------] [2.51V]"},
      {0, "LV(RX LVA):   0 [--------------------] [0.00V]"},
      {255, "LV(RX LVA): 255 [####################] [5.00V]"},
  };
  for (const auto& [value, text] : cases) {
    console().setValue(kLvRx, value);
    EXPECT_EQ(line(kLvRx), text);
  }
}

}  // namespace
