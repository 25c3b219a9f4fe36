// Undo, redo, revert, verify and apply from a backup, through the window's keys
// and the model against the virtual transceiver.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <fstream>

#include "ConnectionFixture.h"
#include "SessionRecorder.h"
#include "TestFiles.h"
#include "WayBackMenus.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"

namespace {

constexpr int kPowCb = 1, kBal = 4, kSql = 7, kRef = 8, kBpfT1 = 10;
constexpr int32_t kRefAdr = 173, kSqlAdr = 184, kPowCbAdr = 168;

class WayBackTest : public ConnectionFixture {
 protected:
  QListWidget& list() { return Globals::mainWindow().lboConsole(); }
  RigVelaWayBack& back() { return model().wayBack(); }
  WayBackMenus& menus() { return Globals::mainWindow().wayBackMenus(); }
  // Undo and Redo as the technician gives them: the shortcuts with the list focused.
  void shortcut(QKeySequence seq) {
    menus().refresh();
    frmMain& w = Globals::mainWindow();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    list().setFocus();
    QTest::keySequence(&list(), seq);
    ticksFor(1500);
  }
  static std::string change(int from, int to) { return std::to_string(from) + " -> " + std::to_string(to); }
  int value(int r) { return Globals::console().Value(static_cast<int16_t>(r)); }
  bool runIdle() {
    return runUntil([this] { return !back().busy() && !Globals::seq().OpRunning() && model().opState() == 28; });
  }
  std::string reportOfSession() {
    const std::string stem = Globals::sessionRecorder().currentSessionStem();
    model().RigVelaOp_EndSession();
    return fileBytes(QString::fromStdString(stem + "_report.txt")).toStdString();
  }
};

TEST_F(WayBackTest, UndoAndRedoTakeBackKeyStepsAShiftStepABalanceRowAndASweep) {
  ASSERT_TRUE(connect());
  const int ref0 = value(kRef), pow0 = value(kPowCb), bal0 = value(kBal), bpf0 = value(kBpfT1);
  press(kRef, Qt::Key_Right);
  press(kPowCb, Qt::Key_Right, Qt::ShiftModifier);
  press(kBal, Qt::Key_Left, {}, 1500);
  press(kBpfT1, Qt::Key_Return);
  ASSERT_TRUE(runUntil([this] { return model().autoState().autoCode == 0; }));
  ASSERT_TRUE(runIdle());
  const int bpf1 = value(kBpfT1);
  ASSERT_NE(bpf1, bpf0);
  const QKeySequence undo(Qt::CTRL | Qt::Key_Z), redo(Qt::CTRL | Qt::Key_Y);

  size_t from = sent.size();
  shortcut(undo);  // the whole sweep
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x13, bpf0)}));
  EXPECT_EQ(list().currentRow(), kBpfT1);
  from = sent.size();
  shortcut(undo);  // the balance row with its copies
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x10, bal0), e8(0x12, bal0), e8(0x10, bal0), e8(0x11, bal0),
                                                        e8(0x10, bal0)}));
  from = sent.size();
  shortcut(undo);  // Shift: the step of 5 at once
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x09, pow0)}));
  shortcut(undo);
  EXPECT_EQ(rig.memoryByte(kRefAdr), ref0);
  EXPECT_FALSE(menus().undoAction()->isEnabled());
  from = sent.size();
  shortcut(redo);
  shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x05, ref0 + 1), e8(0x09, pow0 + 5)}));
  EXPECT_EQ(rig.memoryByte(kPowCbAdr), pow0 + 5);

  const std::string report = reportOfSession();
  EXPECT_TRUE(holds(report, "row 10 BPF T1: " + change(bpf0, bpf1) + " (sweep, 256 points"));
  EXPECT_TRUE(holds(report, "row 10 BPF T1: " + change(bpf1, bpf0) + " (undo)"));
  EXPECT_TRUE(holds(report, "row 1 Pow(H CB): " + change(pow0, pow0 + 5) + " (redo)"));
  EXPECT_TRUE(holds(report, "Adjustments sent: 10\n"));  // one line for the sweep, not one per point

  model().RigOpFunc_ClickCmd00(0);  // a new connection forgets the steps
  ASSERT_TRUE(connect());
  EXPECT_FALSE(back().canUndo());
}

TEST_F(WayBackTest, RevertSendsOnlyTheRowsThatDifferFromTheRead) {
  ASSERT_TRUE(connect());
  const int ref0 = value(kRef), sql0 = value(kSql);
  press(kSql, Qt::Key_Right);
  press(kRef, Qt::Key_Right);
  press(kRef, Qt::Key_Left);
  const auto plan = back().revertPlan();
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].row, kSql);
  EXPECT_EQ(plan[0].target, sql0);
  const size_t from = sent.size();
  back().startPlan(plan, "revert");
  ASSERT_TRUE(runIdle());
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x08, sql0)}));
  EXPECT_EQ(rig.memoryByte(kRefAdr), ref0);
  EXPECT_TRUE(holds(reportOfSession(), "row 7 SQL: " + change(sql0 + 1, sql0) + " (revert)"));
}

// Adjustment commands without answer ride out a silent line; a read-back does not.
TEST_F(WayBackTest, ALineFaultDuringVerifyEndsItWithTheMessageAndNothingVerified) {
  ASSERT_TRUE(connect());
  press(kRef, Qt::Key_Right);
  const std::string stem = Globals::sessionRecorder().currentSessionStem();
  TransceiverSettings settings = rig.settings();
  settings.noAnswer = true;
  rig.setSettings(settings);
  back().requestVerify();
  ASSERT_TRUE(runUntil([this] { return !back().busy() && !Globals::seq().OpRunning(); }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(model().opState(), 0);
  const std::string report = fileBytes(QString::fromStdString(stem + "_report.txt")).toStdString();
  EXPECT_TRUE(holds(report, "verification broken off by a line fault: nothing verified"));
  EXPECT_EQ(report.find("verified "), std::string::npos) << report;
}

struct VerifyCase {
  int dropped;
  bool equal;
};
class WayBackVerifyTest : public WayBackTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(WayBackVerifyTest, VerifyReadsBackAndNamesTheRowNotStored) {
  TransceiverSettings settings = rig.settings();
  settings.dropE8Command = GetParam().dropped;
  rig.setSettings(settings);
  ASSERT_TRUE(connect());
  const int ref0 = value(kRef);
  press(kRef, Qt::Key_Right);
  back().requestVerify();
  ASSERT_TRUE(runIdle());
  const std::string text = back().outcomeText();
  if (GetParam().equal) {
    EXPECT_TRUE(text.starts_with("verified ")) << text;
    EXPECT_EQ(value(kRef), ref0 + 1);
  } else {
    EXPECT_TRUE(holds(text, "row 8 REF: sent " + std::to_string(ref0 + 1) + ", held " + std::to_string(ref0)));
    EXPECT_EQ(value(kRef), ref0);  // the console shows what the transceiver holds
  }
  menus().refresh();
  EXPECT_EQ(messages.size(), GetParam().equal ? 0u : 1u);
  EXPECT_TRUE(holds(reportOfSession(), GetParam().equal ? "verified " : "verification: 1 of"));
}

INSTANTIATE_TEST_SUITE_P(Cases, WayBackVerifyTest, ::testing::Values(VerifyCase{-1, true}, VerifyCase{0x05, false}));

TEST_F(WayBackTest, ApplyFromABackupSendsTheDifferingRowsInRowOrderAndRefusesAShortFile) {
  const Bytes image = rig.memory();
  ASSERT_TRUE(connect());
  Bytes backup = image;
  backup[kRefAdr] = static_cast<uint8_t>(backup[kRefAdr] + 3);
  backup[kSqlAdr] = static_cast<uint8_t>(backup[kSqlAdr] + 2);
  backup[kPowCbAdr] = static_cast<uint8_t>(backup[kPowCbAdr] - 1);
  const std::string path = dataDir.filePath("old.img").toStdString();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(backup.data()), static_cast<std::streamsize>(backup.size()));
  std::string error;
  const auto preview = back().previewBackup(path, error);
  ASSERT_TRUE(preview) << error;
  std::vector<int> rows;
  for (const auto& r : preview->rows) rows.push_back(r.row);
  EXPECT_EQ(rows, (std::vector<int>{kPowCb, kSql, kRef}));
  const size_t from = sent.size();
  back().startPlan(preview->rows, "from old.img");
  ASSERT_TRUE(runIdle());
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x09, backup[kPowCbAdr]), e8(0x08, backup[kSqlAdr]),
                                                        e8(0x05, backup[kRefAdr])}));
  EXPECT_EQ(back().planSent(), 3);
  EXPECT_TRUE(holds(reportOfSession(), "(from old.img)"));

  const std::string shortPath = dataDir.filePath("short.img").toStdString();
  std::ofstream(shortPath, std::ios::binary).write(reinterpret_cast<const char*>(backup.data()), 1000);
  EXPECT_FALSE(back().previewBackup(shortPath, error));
  EXPECT_TRUE(holds(error, "1000 bytes"));
}

}  // namespace
