// The protocol trace: the virtual transceiver's line form, every frame both ways.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QTemporaryDir>
#include <regex>

#include "ConnectionFixture.h"
#include "FrameTrace.h"
#include "ProtocolTrace.h"
#include "TestFiles.h"
#include "UnifiedDiff.h"
#include "frmCom.h"

namespace {

TEST(ProtocolTraceLineTest, SameFormAsTheVirtualTransceiver) {
  using Direction = VirtualTransceiver::TraceEvent::Direction;
  const struct { int32_t ms; bool fromPc; Bytes frame; } cases[] = {
      {0x0000A1F3, true, {0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD}},
      {0, false, {0xFE, 0xFE, 0xEF, 0xEE, 0xE5, 0x0A, 0xFD}},
      {0x7FFFFFFF, true, {0x01}},
      {-1, false, {}},
  };
  for (const auto& c : cases) {
    const int64_t us = static_cast<int64_t>(static_cast<uint32_t>(c.ms)) * 1000 + 999;
    const std::string simLine = FrameTrace::line({c.fromPc ? Direction::FromPc : Direction::ToPc, us, c.frame});
    EXPECT_EQ(ProtocolTrace::line(c.ms, c.fromPc, c.frame), simLine);
  }
  EXPECT_EQ(ProtocolTrace::line(0x1A2B, false, {0x0F, 0xFD}), "[00001A2B] RIG>PC 0F FD");
}

// Chunks are cut into frames at FD, whatever their sizes; an unfinished frame
// is written at close.
TEST(ProtocolTraceLineTest, ChunksBecomeFrames) {
  QTemporaryDir dir;
  const std::string path = (dir.path() + "/t.txt").toStdString();
  ProtocolTrace trace;
  trace.sent({0xFE, 0xFE}, 5);  // not open: nothing kept
  std::string error;
  ASSERT_TRUE(trace.open(path, error)) << error;
  trace.received({0xFE, 0xFE, 0xEF}, 10);
  trace.received({0xEE, 0xFD, 0xFE}, 11);
  trace.sent({0xFE, 0xFD, 0xFE, 0xFD}, 12);
  trace.received({0xFD, 0x01}, 13);
  trace.close();
  EXPECT_FALSE(trace.isOpen());
  EXPECT_EQ(fileBytes(QString::fromStdString(path)).toStdString(),
            "[0000000B] RIG>PC FE FE EF EE FD\n"
            "[0000000C] PC>RIG FE FD\n"
            "[0000000C] PC>RIG FE FD\n"
            "[0000000D] RIG>PC FE FD\n"
            "[0000000D] RIG>PC 01\n");
  // A second trace to the same file adds to it.
  ASSERT_TRUE(trace.open(path, error));
  trace.sent({0xE0, 0xFD}, 14);
  trace.close();
  EXPECT_EQ(UnifiedDiff::splitLines(fileBytes(QString::fromStdString(path)).toStdString()).size(), 6u);
  EXPECT_FALSE(trace.open(dir.path().toStdString() + "/no/such/dir/t.txt", error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

// A write that fails stops the trace and says why; the link goes on untouched.
TEST(ProtocolTraceLineTest, AFullDiskStopsTheTraceAndSaysSo) {
  ProtocolTrace trace;
  std::string error;
  ASSERT_TRUE(trace.open("/dev/full", error)) << error;
  testing::internal::CaptureStderr();
  trace.sent({0xFE, 0xFD}, 1);
  trace.sent({0xFE, 0xFD}, 2);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(trace.isOpen());
  EXPECT_EQ(trace.stopReason(), "/dev/full: No space left on device");
  EXPECT_EQ(said, "ravlen-adj: protocol trace stopped: cannot write /dev/full: No space left on device\n");
}

using ProtocolTraceTest = ConnectionFixture;

// A whole connection traced: what the transceiver received is every PC>RIG line,
// in order, and each reaches the transceiver after its line's time.
TEST_F(ProtocolTraceTest, EveryFrameOfAConnectionIsTraced) {
  using Direction = VirtualTransceiver::TraceEvent::Direction;
  std::vector<std::string> received, answered;
  rig.setTraceHandler([&](const VirtualTransceiver::TraceEvent& e) {
    if (e.direction == Direction::Noise) return;
    (e.direction == Direction::FromPc ? received : answered).push_back(FrameTrace::line(e).substr(18));
  });
  const QString path = dataDir.path() + "/trace.txt";
  std::string error;
  ASSERT_TRUE(Globals::com().trace().open(path.toStdString(), error)) << error;
  ASSERT_TRUE(connect());
  Globals::com().trace().close();

  const auto lines = UnifiedDiff::splitLines(fileBytes(path).toStdString());
  ASSERT_GT(lines.size(), 100u);
  const std::regex form(R"(\[[0-9A-F]{8}\] (PC>RIG|RIG>PC)( [0-9A-F]{2})+)");
  std::vector<std::string> pcFrames, rigFrames;
  uint32_t last = 0;
  for (const std::string& l : lines) {
    ASSERT_TRUE(std::regex_match(l, form)) << l;
    const auto ms = static_cast<uint32_t>(std::stoul(l.substr(1, 8), nullptr, 16));
    EXPECT_GE(ms, last) << l;
    last = ms;
    (l.find("PC>RIG") != std::string::npos ? pcFrames : rigFrames).push_back(l.substr(18));
  }
  EXPECT_EQ(pcFrames, received);
  EXPECT_EQ(pcFrames.front(), "FE FE EE EF E0 29 28 00 00 FD");
  // What comes back is every echo and every answer.
  EXPECT_EQ(rigFrames.size(), pcFrames.size() + answered.size());
  for (const std::string& a : answered) {
    EXPECT_NE(std::find(rigFrames.begin(), rigFrames.end(), a), rigFrames.end()) << a;
  }
}

// The menu entry asks for the file, starts the trace, and stops it when chosen again.
TEST_F(ProtocolTraceTest, TheOptionEntryStartsAndStopsTheTrace) {
  frmMain& w = Globals::mainWindow();
  QAction* entry = nullptr;
  for (QAction* menu : w.menuBar()->actions()) {
    for (QAction* a : menu->text() == "&Option" ? menu->menu()->actions() : QList<QAction*>{}) {
      if (a->text() == "&Trace to file…") entry = a;
    }
  }
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->isCheckable());
  EXPECT_FALSE(entry->isChecked());
  const QString path = dataDir.path() + "/bench.trace";
  bool dialogSeen = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialogSeen = true;
    EXPECT_TRUE(dialog->windowTitle().contains("appends")) << dialog->windowTitle().toStdString();
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  entry->trigger();
  ASSERT_TRUE(dialogSeen);
  EXPECT_TRUE(Globals::com().trace().isOpen());
  EXPECT_EQ(Globals::com().trace().path(), path.toStdString());
  EXPECT_TRUE(entry->isChecked());

  Globals::model().RigOpFunc_ClickCmd00(0);
  ticksFor(200);
  entry->trigger();  // stops, no dialog
  EXPECT_FALSE(Globals::com().trace().isOpen());
  EXPECT_FALSE(entry->isChecked());
  const auto lines = UnifiedDiff::splitLines(fileBytes(path).toStdString());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(11), "PC>RIG FE FE EE EF E0 29 28 00 00 FD");
  EXPECT_TRUE(messages.empty());
}

}  // namespace
