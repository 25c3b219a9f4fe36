#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <string>
#include <tuple>

#include "AppFixture.h"
#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"

namespace {

const char* const kNoBar = "";
const char* const kEmptyBar = " [--------------------]";

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
      EXPECT_EQ(list().item(i)->text().toStdString(), std::string(e.title) + ":   0" + (e.bar ? kEmptyBar : kNoBar));
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
  EXPECT_EQ(model().ComPortNo(), 3);
  EXPECT_EQ(Globals::seq().ComPortNo(), 3);
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
  EXPECT_EQ(w.cmd00(0).text(), "Connect");
  EXPECT_EQ(w.cmd00(1).text(), "Reload(F5)");
  EXPECT_EQ(w.cmd00(2).text(), "Disp para");
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
    EXPECT_EQ(model().opState(), 2) << running;
    EXPECT_TRUE(Globals::seq().OpRunning()) << running;
  }
}

}  // namespace
