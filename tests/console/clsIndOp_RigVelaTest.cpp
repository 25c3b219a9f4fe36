#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "AppFixture.h"
#include "Globals.h"
#include "RigVelaFormLayout.h"
#include "RigVelaReadingText.h"
#include "Twips.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"
#include "start.h"

namespace {

const std::string kEmptyBar = " [--------------------]";

struct Expected {
  const char* title;
  int16_t min, max;
  int32_t eeAdr;
  int16_t e8, evDisp, evSend, evEnter;
  bool loop, bar;
  int32_t wait;
};

// The Selvik's rows as the technician's manual lists them.
const Expected kRows[17] = {
    {"    CH No.", 0, 0, -1, 0x00, 0, 0, -1, true, false, 200},
    {" Pow(H CB)", 0, 255, 168, 0x09, -1, -1, -1, false, true, 200},
    {"Pow(H Pri)", 0, 255, 167, 0x0A, -1, -1, -1, false, true, 200},
    {"  Pow(Low)", 0, 255, 166, 0x0B, -1, -1, -1, false, true, 200},
    {"       BAL", 0, 255, 99, 0x10, -1, -1, -1, false, true, 200},
    {"     MOD W", 0, 255, 98, 0x0C, -1, -1, -1, false, true, 200},
    {" CTCS/DTCS", 0, 255, 83, 0x0F, -1, -1, -1, false, true, 200},
    {"       SQL", 0, 255, 184, 0x08, -1, -1, -1, false, true, 200},
    {"       REF", 0, 255, 173, 0x05, -1, -1, -1, false, true, 200},
    {"   BPF ALL", 0, 255, -1, -1, 2, -1, 7, false, false, 200},
    {"    BPF T1", 0, 255, 84, 0x13, 3, -1, 3, false, true, 200},
    {"    BPF T2", 0, 255, 85, 0x14, 3, -1, 4, false, true, 200},
    {"    RX LVA", 0, 255, 92, 0x06, 6, -1, 8, false, true, 500},
    {"    TX LVA", 0, 255, 93, 0x07, 6, -1, 9, false, true, 500},
    {"LV(RX LVA)", 0, 255, -1, -1, 7, -1, -1, false, true, 200},
    {"LV(TX LVA)", 0, 255, -1, -1, 7, -1, -1, false, true, 200},
    {"      RSSI", 0, 255, -1, -1, 4, -1, 1, false, false, 200},
};

class ModelTest : public AppFixture {
 protected:
  ModelTest() { Globals::model(); }
  clsIndOp_RigVela& model() { return Globals::model(); }
  clsConsole& console() { return Globals::console(); }
  QListWidget& list() { return Globals::mainWindow().lboConsole(); }
  std::string line(int i) { return list().item(i)->text().toStdString(); }
};

TEST_F(ModelTest, ResetBuildsTheSeventeenRowsWhateverTheListHeld) {
  for (int i = 0; i < 25; ++i) list().addItem("left over");
  console().setValue(4, 77);
  console().EnterPushed(9);
  console().setWaitAfterE8(12, 1);
  model().RigOpFunc_ResetAll();

  ASSERT_EQ(console().ListCount(), 17);
  ASSERT_EQ(list().count(), 17);
  for (int16_t i = 0; i < 17; ++i) {
    const Expected& e = kRows[i];
    SCOPED_TRACE(e.title);
    const clsConsole& c = console();
    EXPECT_EQ(std::make_tuple(c.Title(i), c.Value(i), c.Min(i), c.Max(i), c.EeAdr(i), c.E8Command(i), c.WaitAfterE8(i)),
              std::make_tuple(std::string(e.title), 0, e.min, e.max, e.eeAdr, e.e8, e.wait));
    EXPECT_EQ(std::make_tuple(c.Event_Disp(i), c.Event_SendE8(i), c.Event_Enter(i), c.LoopVal(i), c.BarExist(i)),
              std::make_tuple(e.evDisp, e.evSend, e.evEnter, e.loop, e.bar));
    EXPECT_FALSE(c.flgChanged(i) || c.flgEnterOn(i));
    if (e.evDisp < 0) {  // the model draws the others itself
      EXPECT_EQ(line(i), std::string(e.title) + ":   0" + (e.bar ? kEmptyBar : ""));
    }
  }
}

TEST_F(ModelTest, CreationLeavesTheReadingsUnread) {
  // Nothing read yet: the first reading is drawn whatever its value, 0 included.
  for (int16_t last : model().readings().adLast) EXPECT_EQ(last, -1);
  for (int16_t last : model().readings().daLast) EXPECT_EQ(last, -1);
}

TEST_F(ModelTest, OnlyANewPortResetsTheModel) {
  console().setValue(8, 42);
  model().RigOpFunc_SetComPortNo(1);
  EXPECT_EQ(console().Value(8), 42);
  model().RigOpFunc_SetComPortNo(3);
  EXPECT_EQ(console().Value(8), 0);
  EXPECT_EQ(std::make_tuple(model().ComPortNo(), Globals::seq().ComPortNo()), std::make_tuple(3, 3));
}

TEST_F(ModelTest, SubNameCheck) {
  const std::pair<const char*, bool> cases[] = {{"0100", true},  {"0000", true},  {"00FF", true},
                                                {"0101", false}, {"0200", false}, {"1000", false},
                                                {"010012", true}, {"01", true}};
  for (const auto& [name, legal] : cases) EXPECT_EQ(model().RigOpFunc_CheckSubNameLegal(name), legal) << name;
}

TEST_F(ModelTest, ResourcesFillTheButtonsListsAndProgress) {
  frmMain& w = Globals::mainWindow();
  w.lbo01(0).addItem("stale");
  w.lblProgress().setText("ooo");
  model().RigOpFunc_FormResource();
  EXPECT_EQ(std::make_tuple(w.cmd00(0).text(), w.cmd00(1).text(), w.cmd00(2).text()),
            std::make_tuple("Connect", "Reload(F5)", "Disp para"));
  const std::pair<int16_t, int> lists[] = {{0, 5}, {1, 9}};
  for (const auto& [index, readings] : lists) {
    QListWidget& l = w.lbo01(index);
    ASSERT_EQ(l.count(), readings + 1);
    EXPECT_EQ(l.item(0)->text(), index == 0 ? "[A/D]" : "[D/A]");
    for (int i = 1; i <= readings; ++i) EXPECT_EQ(l.item(i)->text(), "----");
  }
  EXPECT_EQ(w.lblProgress().text(), QString(32, ' '));
}

// A pause asked for before "Connect", pending or running, does not hold up the read.
TEST_F(ModelTest, ConnectDropsThePauseOfTheConnectionBefore) {
  for (const bool running : {false, true}) {
    model().setWaitE8Required(2000);
    if (running) tick();
    model().RigOpFunc_ClickCmd00(0);
    tick();
    EXPECT_EQ(std::make_tuple(model().opState(), Globals::seq().OpRunning()), std::make_tuple(2, true)) << running;
  }
}

// Values worked out by hand: volts v x 10 / 255 or v x 5 / 255, percent v / 255,
// the thermistor formula for TEMPS (128 gives 9.271 degrees, 200 gives 37.406).
TEST(RigVelaReadingText, LinesOfBothLists) {
  const struct {
    bool da;
    int16_t slot, v;
    const char* line;
  } cases[] = {
      {false, 0, 123, "VIN  :123:7Bh:  4.82V"},   {false, 1, 128, "TEMPS:128:80h:  9.27'C"},
      {false, 1, 200, "TEMPS:200:C8h: 37.41'C"},  {false, 1, 0, "TEMPS:  0:00h:  *Error"},
      {false, 1, 255, "TEMPS:255:FFh:  *Error"},  {false, 2, 5, "LVIN :  5:05h:  0.10V"},
      {false, 3, 255, "SD   :255:FFh:  5.00V"},   {false, 4, 77, ""},
      {true, 0, 10, "T1/POW : 10:0Ah:  0.20V"},   {true, 5, 255, "MOD BAL:255:FFh:100.00%"},
      {true, 7, 51, "CTCSS  : 51:33h:  1.00V"},   {true, 8, 0, "SQL Lev:  0:00h:  0.00%"},
      {true, 8, 128, "SQL Lev:128:80h: 50.20%"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.da ? RigVelaReadingText::DaLine(c.slot, c.v) : RigVelaReadingText::AdLine(c.slot, c.v), c.line)
        << c.da << " " << c.slot << " " << c.v;
  }
}

constexpr int kBpfAll = 9, kBpfT1 = 10, kBpfT2 = 11, kRxLva = 12, kTxLva = 13, kLvRx = 14, kRssi = 16;

// One Enter after the other: a procedure starts, a second Enter on its own rows is
// ignored (RSSI: asks for a capture), another procedure's Enter takes over.
TEST_F(ModelTest, EnterStartsProceduresAndTheRowsSayWhatRuns) {
  const struct {
    int row;
    int16_t autoCode;
    std::vector<std::pair<int, std::string>> lines;
  } steps[] = {
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
  for (const auto& s : steps) {
    SCOPED_TRACE(s.row);
    console().EnterExec(static_cast<int16_t>(s.row));
    EXPECT_EQ(model().autoState().autoCode, s.autoCode);
    for (const auto& [row, text] : s.lines) EXPECT_EQ(line(row), text) << row;
  }
  const RigVelaAutoState& a = model().autoState();
  EXPECT_EQ(std::make_tuple(a.rssiCaptureReq, a.bpfAll, a.bpfSel[0], a.bpfSel[1], a.lvaSel[0], a.lvaSel[1]),
            std::make_tuple(true, true, true, true, true, false));
  EXPECT_EQ(std::make_tuple(a.bpfItem, a.lvaItem), std::make_tuple(kBpfAll, kRxLva));
}

TEST_F(ModelTest, LevelTargetsShowTheirVoltage) {
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

TEST(WindowHeight, ClampedAndTallScreensGetLess) {
  const std::pair<double, double> cases[] = {{15360, 8500}, {10000, 9000}, {10020, 8500}, {9000, 8100},
                                             {7334, 6601},  {7000, 6600},  {0, 6600}};
  for (const auto& [screen, window] : cases) EXPECT_EQ(RigVelaFormLayout::WindowHeightFor(screen), window) << screen;
}

// The started window, laid out again by a layout that has not sized it yet.
class LayoutTest : public AppFixture {
 protected:
  LayoutTest() : started(start::Main()), w(Globals::mainWindow()) {}

  void layOut(QSize screen) { RigVelaFormLayout().FormLayout(w, screen, Twips(15)); }
  int innerHeight() const { return w.centralWidget()->height(); }
  // Space left and right of the three buttons, in pixels.
  std::pair<int, int> buttonMargins() {
    return {w.cmd00(0).x(), w.centralWidget()->width() - (w.cmd00(2).x() + w.cmd00(2).width())};
  }

  bool started;
  frmMain& w;
};

TEST_F(LayoutTest, FirstLayoutSizesAndCentresTheWindow) {
  ASSERT_TRUE(started);
  struct Case {
    QSize screen;
    int height;
    QPoint place;
  };
  const Case cases[] = {{{1280, 1024}, 567, {323, 137}}, {{800, 600}, 540, {83, 18}}, {{640, 480}, 440, {3, 12}}};
  for (const Case& c : cases) {
    layOut(c.screen);
    EXPECT_EQ(w.frameGeometry(), QRect(c.place, QSize(635, c.height))) << c.screen.height();
    const QSize frame = w.frameGeometry().size() - w.size();
    EXPECT_EQ(innerHeight(), c.height - frame.height() - w.menuBar()->height());
  }
}

// Figures in pixels at 15 twips each; the inner width is the window's less its frame.
TEST_F(LayoutTest, ControlsStandWhereTheirFiguresSay) {
  layOut({1280, 1024});
  const int inner = innerHeight();
  const int width = w.centralWidget()->width();
  const auto [left, right] = buttonMargins();
  EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
  for (int16_t i = 0; i <= 2; ++i) {
    EXPECT_EQ(w.cmd00(i).geometry(), QRect(left + 128 * i, 9, 120, 22)) << i;
    EXPECT_TRUE(w.cmd00(i).isVisibleTo(&w));
  }
  const QRect shielding(8, 31, width - 16, inner - 39);
  for (int16_t i : {0, 1, 3}) EXPECT_EQ(w.fra01(i).geometry(), shielding) << i;
  EXPECT_EQ(w.fra01(2).geometry(), QRect(8, 12, width - 32, 160));
  const QRect ad = w.lbo01(0).geometry();
  EXPECT_EQ(std::make_tuple(ad.topLeft(), ad.height()), std::make_tuple(QPoint(8, 8), 152));
  EXPECT_LE(std::abs(2 * ad.width() + 24 - (width - 32)), 1) << ad.width();
  EXPECT_EQ(w.lbo01(1).geometry(), ad.translated(ad.width() + 8, 0));
  EXPECT_EQ(w.lboConsole().geometry(), QRect(16, 180, width - 48, shielding.height() - 192));
  EXPECT_EQ(w.txtDispPara().geometry(), QRect(8, 16, width - 32, shielding.height() - 24));
  // The title and the progress centred on the first frame, 16 apart.
  const std::pair<const QLabel*, int> labels[] = {{&w.lblTitle(), 16}, {&w.lblProgress(), 32 + w.lblTitle().height()}};
  for (const auto& [label, y] : labels) {
    EXPECT_LE(std::abs(2 * label->x() + label->width() - shielding.width()), 1);
    EXPECT_EQ(label->y(), y);
    EXPECT_EQ(label->parentWidget(), &w.fra01(0));
  }
  EXPECT_EQ(std::make_tuple(w.fra01(0).isVisible(), w.fra01(1).isVisible(), w.fra01(3).isVisible()),
            std::make_tuple(true, false, false));
}

TEST_F(LayoutTest, ALowWindowKeepsEveryHeightAtLeastOne) {
  layOut({1280, 1024});
  w.resize(635, w.menuBar()->height() + 20);
  ASSERT_LT(innerHeight(), 40);
  EXPECT_EQ(std::make_tuple(w.fra01(0).height(), w.lboConsole().height(), w.txtDispPara().height()),
            std::make_tuple(1, 1, 1));
  for (QWidget* control : w.findChildren<QWidget*>()) EXPECT_GE(control->height(), 1);
}

TEST_F(LayoutTest, LaterLayoutsKeepTheWindowAndCentreTheButtons) {
  layOut({1280, 1024});
  w.resize(1000, 500);
  w.move(40, 50);
  Globals::model().RigOpFunc_FormLayout();
  EXPECT_EQ(w.size(), QSize(1000, 500));
  EXPECT_EQ(w.pos(), QPoint(40, 50));
  const auto [left, right] = buttonMargins();
  EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
  const int width = w.centralWidget()->width();
  EXPECT_EQ(w.linSepa(1).width(), width);
  EXPECT_EQ(w.fra01(0).width(), width - 16);
  EXPECT_EQ(w.lboConsole().width(), width - 48);
  EXPECT_LE(std::abs(2 * w.lbo01(0).width() + 24 - (width - 32)), 1);
  EXPECT_EQ(w.lbo01(1).width(), w.lbo01(0).width());
}

}  // namespace
