#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <array>

#include "AppFixture.h"
#include "DetailBoxRecorder.h"
#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "clsConsole.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

const std::string kChecksPCW =
    "\r\n\r\nCheck the following:\r\n- The COM port settings.\r\n- Cloning cable connections.\r\n"
    "- Transceiver power is ON.";
const std::string kChecksCW =
    "\r\n\r\nCheck the following:\r\n- Cloning cable connections.\r\n- Transceiver power is ON.";

TEST(CloneErrorText, PortFlagsThenDriverThenSequencerCodes) {
  const std::string cannotWrite = "Cannot write cloning data." + kChecksCW;
  struct Case { bool cannotOpen, overflow; int16_t port, drvErr, seqErr; std::string text; };
  const Case cases[] = {
      {true, true, 1, 3, 2, "Cannot access COM 1." + kChecksPCW},
      {false, true, 1, 3, 2, "COM buffer overflow." + kChecksPCW},
      {true, false, 10, 0, 0, "Cannot access COM 10." + kChecksPCW},
      {false, false, 1, 1, 2, "Cannot access COM port" + kChecksPCW},
      {false, false, 1, 2, 0, "No answer from transceiver." + kChecksPCW},
      {false, false, 1, 3, 0, "Illegal data." + kChecksPCW},
      {false, false, 1, 4, 0, "Data counter error." + kChecksPCW},
      {false, false, 1, 5, 0, "Data overflow." + kChecksPCW},
      {false, false, 1, 6, 0, cannotWrite},
      {false, false, 1, 7, 0, cannotWrite},
      {false, false, 1, 8, 0,
       "Cannot Clone.\r\n\r\nCheck the following:\r\n\r\n- The COM port settings.\r\n"
       "- Cloning cable connections.\r\n- Transceiver power is ON."},
      {false, false, 1, 0, 0, "Communication failed." + kChecksCW},
      {false, false, 1, 0, 2, "Version number does not match\r\nfor this transceiver."},
      {false, false, 1, 0, 3,
       "Connected transceiver is not compatible model.\r\n\r\nCheck the following:\r\n"
       "- Appropriate cloning software for the transceiver is being used.\r\n"
       "- The revision number of the transceiver."},
      {false, false, 1, 0, 1, "Cannot Clone." + kChecksPCW},
      {false, false, 1, 0, 4, "Cannot Clone." + kChecksPCW},
  };
  for (const Case& c : cases)
    EXPECT_EQ(frmMain::CloneErrorText(c.cannotOpen, c.overflow, c.port, c.drvErr, c.seqErr), c.text)
        << c.drvErr << "/" << c.seqErr;
}

class MainWindowTest : public AppFixture {
 protected:
  MainWindowTest() { EXPECT_TRUE(start::Main()); }
};

TEST_F(MainWindowTest, TheLabelFollowsThePortState) {
  Globals::com().setcomOpen(true);
  tick();
  frmMain& w = Globals::mainWindow();
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 1: OPEN");
  const QColor openColour = w.lblComBusy().palette().color(QPalette::WindowText);
  EXPECT_EQ(openColour, w.palette().color(QPalette::Active, QPalette::ButtonText));
  Globals::com().setcomOpen(false);
  tick();
  EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM 1: CLOSE");
  EXPECT_EQ(w.lblComBusy().palette().color(QPalette::WindowText),
            w.palette().color(QPalette::Disabled, QPalette::WindowText));
}

TEST_F(MainWindowTest, MenuChoicesReachThePortAndTheReleaseTime) {
  frmMain& w = Globals::mainWindow();
  w.mnuOptionSelAutoRelease(2).trigger();
  EXPECT_EQ(w.ComAutoRelease(), 2);
  EXPECT_EQ(Globals::seq().comHoldReload(), 2000);
  w.mnuOptSelCom(2).trigger();
  EXPECT_EQ(Globals::seq().ComPortNo(), 2);
  tick();
  EXPECT_TRUE(w.mnuOptionSelAutoRelease(2).isChecked());
  EXPECT_FALSE(w.mnuOptionSelAutoRelease(0).isChecked());
  EXPECT_TRUE(w.mnuOptSelCom(2).isChecked());
  EXPECT_FALSE(w.mnuOptSelCom(1).isChecked());
}

// A port error from before the window existed is still reported by the first tick.
TEST_F(AppFixture, APortErrorRaisedBeforeTheWindowExistsIsNotLost) {
  frmCom& com = Globals::com();
  serial->failOpen = true;
  com.setcomOpen(true);
  ASSERT_TRUE(com.errCannotOpen());
  Globals::mainWindow();
  tick();
  EXPECT_EQ(messages, std::vector<std::string>{"Cannot access COM 1." + kChecksPCW});
}

TEST_F(AppFixture, ACablePulledMidSessionIsReportedWithTheMissingDevice) {
  DetailBoxRecorder box;  // the report with its details goes here
  const std::string gone = configDir.path().toStdString() + "/ttyUSB4";
  writeProfile("[PORTS]\nCOM1=" + gone + "\n");
  Globals::mainWindow();
  Globals::com().setcomOpen(true);
  ASSERT_TRUE(Globals::com().comOpen());
  serial->vanish();
  EXPECT_TRUE(Globals::com().errCannotOpen());
  tick();
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_TRUE(box.shown[0].first.starts_with("Cannot access COM 1.\r\n"));
  const std::string& details = box.shown[0].second;
  EXPECT_NE(details.find("Device tried: " + gone + "\n"), std::string::npos) << details;
  EXPECT_NE(details.find("This device does not exist"), std::string::npos) << details;
  tick();
  EXPECT_EQ(box.shown.size(), 1u);
}

TEST_F(MainWindowTest, APortThatCannotOpenIsReportedOnceWithItsNumber) {
  Globals::mainWindow().setComPortNo(3);
  serial->failOpen = true;
  Globals::seq().easyCloneRead();
  tick();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], "Cannot access COM 3." + kChecksPCW);
  const size_t reported = messages.size();
  for (int i = 0; i < 5; ++i) tick();
  EXPECT_EQ(messages.size(), reported);
  EXPECT_FALSE(Globals::seq().OpRunning());
}

// The window shown with its console frame, as while editing, and active.
class WindowKeysTest : public MainWindowTest {
 protected:
  WindowKeysTest() : w(Globals::mainWindow()), list(w.lboConsole()), console(Globals::console()) {
    w.fra01(1).show();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    list.setFocus();
    list.setCurrentRow(4);
  }

  frmMain& w;
  QListWidget& list;
  clsConsole& console;
};

// Records the keys that reach a control.
struct KeyRecorder : QObject {
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) keys.push_back(static_cast<QKeyEvent*>(event)->key());
    return false;
  }
  std::vector<int> keys;
};

TEST_F(WindowKeysTest, ArrowsStepTheSelectedRowShiftByFive) {
  const struct { Qt::Key key; Qt::KeyboardModifiers modifiers; int16_t from, to; } cases[] = {
      {Qt::Key_Right, Qt::ShiftModifier, 0, 5},  {Qt::Key_Right, Qt::NoModifier, 0, 1},
      {Qt::Key_Right, Qt::ControlModifier, 0, 1}, {Qt::Key_Right, Qt::AltModifier, 0, 1},
      {Qt::Key_Left, Qt::NoModifier, 10, 9},     {Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier, 10, 5},
      {Qt::Key_Left, Qt::NoModifier, 0, 0},      {Qt::Key_Right, Qt::ShiftModifier, 253, 255},
  };
  for (const auto& c : cases) {
    console.setValue(4, c.from);
    console.setflgChanged(4, false);
    QTest::keyClick(&list, c.key, c.modifiers);
    EXPECT_EQ(console.Value(4), c.to) << c.key << " from " << c.from;
    EXPECT_TRUE(console.flgChanged(4));
    EXPECT_EQ(list.currentRow(), 4) << "the arrows do not reach the list";
  }
  EXPECT_EQ(list.item(4)->text().toStdString(), "       BAL: 255 [####################]");
}

// Enter, on the console, on a focused button, or where only the default button
// can take it.
TEST_F(WindowKeysTest, EnterMarksTheRowOrPressesTheFocusedOrDefaultButton) {
  enum Target { List, Button1, Button2Disabled, Text };
  struct Case { const char* what; Target target; Qt::Key key; Qt::KeyboardModifiers modifiers;
                bool dispParaDefault, rowMarked, pressed; };
  const Case cases[] = {
      {"Return on the list", List, Qt::Key_Return, Qt::NoModifier, true, true, false},
      {"keypad Enter on the list", List, Qt::Key_Enter, Qt::KeypadModifier, false, true, false},
      {"keypad separator as comma", List, Qt::Key_Comma, Qt::KeypadModifier, false, true, false},
      {"keypad separator as point", List, Qt::Key_Period, Qt::KeypadModifier, false, true, false},
      {"a plain comma is type-ahead", List, Qt::Key_Comma, Qt::NoModifier, false, false, false},
      {"Return on a focused button", Button1, Qt::Key_Return, Qt::NoModifier, false, false, true},
      {"keypad Enter on a focused button", Button1, Qt::Key_Enter, Qt::KeypadModifier, true, false, true},
      {"a disabled button is not pressed", Button2Disabled, Qt::Key_Return, Qt::NoModifier, false, false, false},
      {"the parameter text gives it to the default", Text, Qt::Key_Return, Qt::NoModifier, true, false, true},
      {"no default, nothing pressed", Text, Qt::Key_Return, Qt::NoModifier, false, false, false},
  };
  w.fra01(3).show();
  int clicks = 0;
  for (int16_t i = 0; i < 3; ++i) QObject::connect(&w.cmd00(i), &QPushButton::clicked, [&clicks] { ++clicks; });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    w.cmd00(2).setDefault(c.dispParaDefault);
    w.cmd00(2).setEnabled(c.target != Button2Disabled);
    QWidget* const target = std::array<QWidget*, 4>{&list, &w.cmd00(1), &w.cmd00(2), &w.txtDispPara()}[c.target];
    target->setFocus();
    list.setCurrentRow(4);
    console.setflgEnterOn(4, false);
    clicks = 0;
    QTest::keyClick(target, c.key, c.modifiers);
    EXPECT_EQ(console.flgEnterOn(4), c.rowMarked);
    EXPECT_EQ(clicks, c.pressed ? 1 : 0);
  }
}

TEST_F(WindowKeysTest, OtherKeysMoveTheSelection) {
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.currentRow(), 5);
  QTest::keyClick(&list, Qt::Key_End);
  EXPECT_EQ(list.currentRow(), 16);
  for (int16_t i = 0; i < 17; ++i) EXPECT_FALSE(console.flgChanged(i));
}

TEST_F(WindowKeysTest, F5ReachesTheReloadButtonAndStillTheList) {
  KeyRecorder seen;
  list.installEventFilter(&seen);
  console.EnterPushed(16);
  QTest::keyClick(&list, Qt::Key_F5);
  EXPECT_FALSE(console.flgEnterOn(16)) << "the button's handler ends any procedure";
  EXPECT_EQ(seen.keys, std::vector<int>{Qt::Key_F5});

  w.cmd00(1).setFocus();
  console.EnterPushed(16);
  QTest::keyClick(&w.cmd00(1), Qt::Key_F5);
  EXPECT_FALSE(console.flgEnterOn(16));
}

TEST_F(WindowKeysTest, FocusSelectsTheFirstRowOnlyWhenNoneIsSelected) {
  w.cmd00(0).setFocus();
  list.setCurrentRow(-1);
  list.setFocus();
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_TRUE(list.item(0)->isSelected());
  list.setCurrentRow(7);
  w.cmd00(0).setFocus();
  list.setFocus();
  EXPECT_EQ(list.currentRow(), 7);
  w.cmd00(0).setFocus();
  list.clear();
  list.setFocus();
  EXPECT_EQ(list.currentRow(), -1);
}

TEST_F(WindowKeysTest, TheHiddenKeySequenceReplacesTheCaption) {
  QPushButton& button = w.cmd00(2);
  button.setFocus();
  QTest::keyClicks(&button, "ravlenservic");
  EXPECT_EQ(w.windowTitle(), "Ravlen ADJ Rev.1.0");
  QTest::keyClicks(&button, "xRAVLENservice");
  EXPECT_EQ(w.keyBuffer(), "SBWMFOTFSWJDF");
  EXPECT_EQ(w.windowTitle(), "Ravlen ADJ - service bench edition");
}

}  // namespace
