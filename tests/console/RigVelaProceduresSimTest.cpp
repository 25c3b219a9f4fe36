// The automatic procedures through the whole utility against the virtual
// transceiver, with the Curves window open and closed (both must send the same
// frames): "Connect", Enter on a row in the window, the ticks to the end; the E8
// frames the transceiver received, the readings it answered, what was drawn and kept.
//
// The transceiver's physical model: the signal level (A/D code 4) is 20 plus one
// response per filter stage, 110 on the plateau from its tuned point -1 to +2 (T1
// at 71, T2 at 93), falling by 3 per step off it; the level voltage (A/D code 5)
// equals the LVA value last sent. Its image holds BPF T1 69, T2 95, RX LVA 140, TX
// LVA 120 and the targets 150 (RX) and 100 (TX). Then the curves apart from any
// connection.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QChart>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QXYSeries>
#include <algorithm>
#include <csignal>
#include <iterator>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CurvePoints.h"
#include "CurvesChart.h"
#include "CurvesRecorder.h"
#include "CurvesWindow.h"
#include "FrameCodec.h"
#include "Globals.h"
#include "RigVelaProceduresBeep.h"
#include "SessionRecorder.h"
#include "SimAppFixture.h"
#include "TestFiles.h"
#include "clsCmcEeprom.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"

namespace {

constexpr int16_t kBpfAllRow = 9, kBpfT1Row = 10, kRxLvaRow = 12, kLvRxRow = 14, kRssiRow = 16;

struct E8 {
  int command, value;
  bool operator==(const E8&) const = default;
};

std::ostream& operator<<(std::ostream& os, const E8& f) {
  return os << std::hex << f.command << ':' << f.value << std::dec;
}

using Points = std::vector<QPoint>;

// One stage's frames: its start value, the minimum, the points with a reading of
// the signal level (A/D code 4) after each, then the result sent by the cycle.
void appendSweep(std::vector<E8>& want, int command, int step, int last, int result) {
  want.insert(want.end(), 2, {command, 0});
  for (int v = 0; v <= last; v += step) {
    want.push_back({0x03, 4});
    if (v + step <= last) want.push_back({command, v + step});
  }
  want.push_back({command, result});
}

// BPF T1 and T2 wait 200 ms after their command, RX and TX LVA 500 ms.
void expectPausesAtRest() {
  for (int16_t k = 0; k < 2; ++k) {
    EXPECT_EQ(Globals::console().WaitAfterE8(kBpfT1Row + k), 200) << "BPF T" << k + 1;
    EXPECT_EQ(Globals::console().WaitAfterE8(kRxLvaRow + k), 500) << "LVA " << k;
  }
}

class ProceduresSimTest : public SimAppFixture, public ::testing::WithParamInterface<bool> {
 protected:
  ProceduresSimTest() {
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
  ~ProceduresSimTest() override { RigVelaProceduresBeep::SetBeepHandler(previousBeep_); }

  static clsIndOp_RigVela& model() { return Globals::model(); }
  static clsConsole& console() { return Globals::console(); }
  static int16_t autoCode() { return model().autoState().autoCode; }
  static std::string row(int16_t index) {
    return Globals::mainWindow().lboConsole().item(index)->text().toStdString();
  }
  static int16_t image(int32_t adr) { return Globals::radio().eepImage().ReadByte(adr); }

  // "Connect", the clone read, the first sending and the first full cycle; then the
  // window opened or not.
  void connect() {
    Globals::mainWindow().cmd00(0).click();
    for (int t = 0; t < 600000 && !model().RigVelaProp_EditEnabled(); t += 50) tick();
    ASSERT_TRUE(model().RigVelaProp_EditEnabled());
    ticksFor(5000);
    ASSERT_TRUE(messages.empty());
    if (GetParam()) Globals::mainWindow().findChild<QAction*>("mnuOptionCurves")->trigger();
    frames.clear();
    answered.clear();
    beeps = 0;
  }
  void enter(int16_t row) {
    QListWidget& list = Globals::mainWindow().lboConsole();
    list.setCurrentRow(row);
    QTest::keyClick(&list, Qt::Key_Return);
    // The task takes the Enter at its next cycle.
    for (int t = 0; t < 5000 && console().flgEnterOn(row); t += 50) tick();
    EXPECT_FALSE(console().flgEnterOn(row));
  }
  // To the procedure's end: one beep, no message, the rows' pauses back.
  void runToEnd() {
    for (int t = 0; t < 600000 && autoCode() != 0; t += 50) tick();
    EXPECT_EQ(autoCode(), 0);
    ticksFor(2000);
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(messages.empty());
    expectPausesAtRest();
  }
  int count(int command) const { return static_cast<int>(std::ranges::count(frames, command, &E8::command)); }
  // The frames that store something, readings left out.
  std::vector<E8> stored() const {
    std::vector<E8> kept;
    std::ranges::copy_if(frames, std::back_inserter(kept), [](const E8& f) { return f.command != 0x03; });
    return kept;
  }
  Points answeredPoints() const {
    Points out;
    for (auto [v, r] : answered) out.emplace_back(v, r);
    return out;
  }
  const CurveRun& run() { return Globals::mainWindow().findChild<CurvesRecorder*>()->run(); }
  // The window's chart when open, else the one the PNG is drawn from.
  QChart& chart() {
    QCoreApplication::processEvents();
    if (auto* w = Globals::mainWindow().findChild<CurvesWindow*>()) {
      EXPECT_TRUE(w->isVisible());
      return w->runChart();
    }
    shown_.reset(CurvesChart::build(run()));
    return *shown_;
  }
  Points seriesPoints(int index) {
    Points out;
    QXYSeries* s = CurvesChart::dataSeries(chart(), index);
    if (s == nullptr) return out;
    for (const QPointF& p : s->points()) out.emplace_back(p.toPoint());
    return out;
  }
  bool hasSeries(const QString& name) {
    return std::ranges::any_of(chart().series(), [&](const QAbstractSeries* s) { return s->name() == name; });
  }
  // The files of run number (each run alike so far): one CSV per series, its header
  // then the points as drawn, named after the series; then the chart.
  void expectRunFiles(const QString& header, const std::vector<std::string>& tags, size_t number = 1) {
    QCoreApplication::processEvents();  // the files are written from the event loop
    const std::vector<std::string>& all = Globals::mainWindow().findChild<CurvesRecorder*>()->writtenFiles();
    const std::string session = Globals::sessionRecorder().currentSessionStem();
    ASSERT_FALSE(session.empty());
    const std::string stem = session + "_curve-0" + std::to_string(number);
    ASSERT_EQ(all.size(), number * (tags.size() + 1));
    const std::vector<std::string> files(all.end() - static_cast<long>(tags.size() + 1), all.end());
    for (size_t i = 0; i < tags.size(); ++i) {
      EXPECT_EQ(files[i], stem + "-" + tags[i] + ".csv");
      QString want = header + "\n";
      for (const QPoint& p : seriesPoints(static_cast<int>(i))) want += QString("%1,%2\n").arg(p.x()).arg(p.y());
      EXPECT_EQ(QString::fromUtf8(fileBytes(QString::fromStdString(files[i]))), want);
    }
    EXPECT_EQ(files.back(), stem + ".png");
    for (const std::string& f : files) EXPECT_EQ(modeOf(QString::fromStdString(f)), 0600) << f;
  }

  OpenUmask openUmask;  // the files' modes are the program's own
  std::vector<E8> frames;
  std::vector<std::pair<int, int>> answered;  // value last sent, reading answered
  int lastSent = -1;
  int beeps = 0;

 private:
  RigVelaProceduresBeep::BeepHandler previousBeep_;
  std::unique_ptr<QChart> shown_;
};

TEST_P(ProceduresSimTest, SingleStageSweepDrawsEveryAnsweredPointAndItsEnd) {
  connect();
  enter(kBpfT1Row);
  ticksFor(3000);
  // Grown while it runs: what is drawn is what was taken, less at most the
  // points of the last second.
  const Points sofar = seriesPoints(0);
  Points taken;
  for (const QPointF& p : run().series.at(0).points.drawn()) taken.push_back(p.toPoint());
  EXPECT_GT(sofar.size(), 0u);
  EXPECT_LT(sofar.size(), 256u);
  ASSERT_LE(sofar.size(), taken.size());
  EXPECT_EQ(sofar, Points(taken.begin(), taken.begin() + static_cast<long>(sofar.size())));
  runToEnd();
  std::vector<E8> want{{0x13, 0}};
  appendSweep(want, 0x13, 1, 255, 71);
  EXPECT_EQ(frames, want);
  ASSERT_EQ(answered.size(), 256u);
  EXPECT_EQ(seriesPoints(0), answeredPoints());
  EXPECT_EQ(answered[71].second, 20 + 110 + 110);  // T1 on its plateau, T2 on its upper end
  const auto& t1 = run().series.at(0);
  EXPECT_EQ(std::make_tuple(t1.endValue, t1.plateauFrom, t1.plateauTo), std::make_tuple(71, 70, 73));
  EXPECT_TRUE(hasSeries("T1 end 71"));
  EXPECT_EQ(console().Value(kBpfT1Row), 71);
  EXPECT_EQ(std::make_tuple(rig.memoryByte(84), image(84), rig.memoryByte(85)), std::make_tuple(71, 71, 95));
  EXPECT_EQ(row(kBpfT1Row).substr(row(kBpfT1Row).size() - 17), " [Enter] to Sweep");
}

// The points drawn are those read, in order; a failed search restores the value.
TEST_P(ProceduresSimTest, LevelSearchesEndAtTheTargetOrRestoreAndDrawTheirPoints) {
  const std::string failedText = " (Auto Adjust Failed)";
  const std::string between = " is not between the levels read at 0 (0) and at 255 (255)";
  const struct {
    const char* name;
    int16_t row, target;  // target -1: the image's own
    std::vector<int> values;  // the adjuster values sent, each followed by a reading
    bool failed;
    const char* title;
  } cases[] = {
      {"RX target at the low end", kRxLvaRow, 0, {0, 255, 140}, true, "RX LVA search failed: the target 0"},
      {"TX target at the high end", kRxLvaRow + 1, 255, {0, 255, 120}, true, "TX LVA search failed: the target 255"},
      {"RX to its target 150", kRxLvaRow, -1, {0, 255, 128, 192, 160, 144, 152, 148, 150}, false,
       "RX LVA level search"},
      {"TX to its target 100", kRxLvaRow + 1, -1, {0, 255, 128, 64, 96, 112, 104, 100}, false, "TX LVA level search"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int stage = c.row - kRxLvaRow;
    connect();
    if (c.target >= 0) console().setValue(static_cast<int16_t>(kLvRxRow + stage), c.target);
    ticksFor(500);
    frames.clear();
    answered.clear();
    enter(c.row);
    runToEnd();
    std::vector<E8> want;
    Points points;
    for (int v : c.values) {
      want.insert(want.end(), {{0x06 + stage, v}, {0x03, 5}});
      points.emplace_back(v, v);
    }
    if (c.failed) {  // the restored value is not read
      want.pop_back();
      points.pop_back();
    }
    EXPECT_EQ(frames, want);
    EXPECT_EQ(answeredPoints(), points);
    EXPECT_EQ(seriesPoints(0), points);
    EXPECT_EQ(rig.memoryByte(92 + stage), c.values.back());
    EXPECT_EQ(model().autoState().lvaFailed[stage], c.failed);
    EXPECT_EQ(row(c.row).ends_with(failedText), c.failed) << row(c.row);
    EXPECT_EQ(chart().title().toStdString(), c.failed ? c.title + between : std::string(c.title));
    EXPECT_EQ(hasSeries(QString("LVA end %1").arg(c.values.back())), !c.failed);
    EXPECT_EQ(hasSeries(QString("Target %1").arg(c.values.back())), !c.failed);
    expectRunFiles("value,reading", {stage == 0 ? "rx-lva" : "tx-lva"}, static_cast<size_t>(&c - cases) + 1);
    // The mark belongs to that connection.
    connect();
    EXPECT_FALSE(model().autoState().lvaFailed[stage]);
    EXPECT_FALSE(row(c.row).ends_with(failedText)) << row(c.row);
  }
}

// With T1 at 69 one step below its plateau and T2 at 95 on its upper end the level
// reads 20 + 107 + 110 = 237; each Enter takes it, S3 first, then S1.
TEST_P(ProceduresSimTest, RssiStoresS3ThenS1AndDrawsTheLevelOverTime) {
  connect();
  for (const char* asked : {"RSSI S3 Level ", "RSSI S1 Level "}) {
    enter(kRssiRow);
    ticksFor(3000);
    EXPECT_EQ(row(kRssiRow), std::string("      RSSI: ") + asked);
  }
  EXPECT_EQ(stored(), (std::vector<E8>{{0x16, 237}}));
  enter(kRssiRow);
  runToEnd();
  EXPECT_EQ(stored(), (std::vector<E8>{{0x16, 237}, {0x15, 237}}));
  EXPECT_EQ(std::make_tuple(rig.memoryByte(170), rig.memoryByte(169), image(170), image(169)),
            std::make_tuple(237, 237, 237, 237));
  EXPECT_EQ(row(kRssiRow), "      RSSI: [Enter] to Start");
  const Points points = seriesPoints(0);
  ASSERT_EQ(points.size(), answered.size());
  ASSERT_GT(points.size(), 6u);
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(points[i].y(), answered[i].second);
    EXPECT_TRUE(i == 0 || points[i].x() > points[i - 1].x()) << i;
  }
  EXPECT_TRUE(hasSeries("S3 captured: 237") && hasSeries("S1 captured: 237"));
  expectRunFiles("time_ms,level", {"rssi"});
}

// Two series of 65 points, and the files of the run: one CSV per series, rows as
// drawn, and its chart.
TEST_P(ProceduresSimTest, BpfAllDrawsTwoSeriesKeptAsCsvAndPng) {
  connect();
  enter(kBpfAllRow);
  runToEnd();
  std::vector<E8> wantFrames{{0x13, 64}, {0x14, 64}};
  appendSweep(wantFrames, 0x13, 2, 128, 71);
  appendSweep(wantFrames, 0x14, 2, 128, 93);
  EXPECT_EQ(frames, wantFrames);
  EXPECT_EQ(std::make_tuple(rig.memoryByte(84), rig.memoryByte(85)), std::make_tuple(71, 93));
  const Points all = answeredPoints();
  ASSERT_EQ(all.size(), 130u);
  EXPECT_EQ(seriesPoints(0), Points(all.begin(), all.begin() + 65));
  EXPECT_EQ(seriesPoints(1), Points(all.begin() + 65, all.end()));
  EXPECT_TRUE(hasSeries("T1 end 71") && hasSeries("T2 end 93"));
  expectRunFiles("value,reading", {"bpf-t1", "bpf-t2"});
  const std::vector<std::string>& files = Globals::mainWindow().findChild<CurvesRecorder*>()->writtenFiles();
  EXPECT_EQ(QImage(QString::fromStdString(files[2])).size(), CurvesChart::ImageSize);
  // The session report names them.
  const std::string stem = Globals::sessionRecorder().currentSessionStem();
  Globals::mainWindow().cmd00(0).click();
  const QString text = QString::fromUtf8(fileBytes(QString::fromStdString(stem + "_report.txt")));
  for (const std::string& f : files) {
    const QString name = QFileInfo(QString::fromStdString(f)).fileName();
    EXPECT_TRUE(text.contains("\n  " + name + "\n")) << name.toStdString();
  }
}

// Writes past a few KiB fail while it lives, as on a full disk.
struct SmallDisk {
  SmallDisk() : previous(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{8192, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~SmallDisk() {
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  rlimit saved{};
  void (*previous)(int);
};

// A file already there under a run's name is kept as it was, and a file the disk
// cannot take is not left under its name; each is said on standard error and in
// the main window. The run's other files are written.
TEST_P(ProceduresSimTest, FilesThatCannotBeWrittenAreSaidAndNothingIsReplaced) {
  connect();
  const QString stem = QString::fromStdString(Globals::sessionRecorder().currentSessionStem()) + "_curve-01";
  putFile(stem + "-bpf-t1.csv", "keep");
  testing::internal::CaptureStderr();
  {
    const SmallDisk disk;  // the CSV files fit, the PNG does not
    enter(kBpfAllRow);
    runToEnd();
    QCoreApplication::processEvents();
  }
  const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
  EXPECT_EQ(fileBytes(stem + "-bpf-t1.csv"), "keep");
  EXPECT_TRUE(fileBytes(stem + "-bpf-t2.csv").startsWith("value,reading\n0,"));
  EXPECT_FALSE(QFileInfo::exists(stem + ".png"));
  EXPECT_TRUE(said.contains("cannot create " + stem + "-bpf-t1.csv")) << said.toStdString();
  EXPECT_TRUE(said.contains("cannot write " + stem + ".png: File too large")) << said.toStdString();
  EXPECT_TRUE(Globals::mainWindow().toolTip().contains("cannot write " + stem + ".png"));
  const QStringList left = QDir(QFileInfo(stem).path()).entryList({"*.part"});
  EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

// A sweep keeps the task in its step until the stage is swept; the Enter then
// ends the tuning before its second stage.
TEST_P(ProceduresSimTest, EnterOnAnotherProceduresRowEndsTheRunningOne) {
  connect();
  enter(kBpfAllRow);
  ticksFor(2000);
  enter(kRxLvaRow);
  runToEnd();
  EXPECT_EQ(rig.memoryByte(84), 71);
  EXPECT_EQ(rig.memoryByte(85), 64);  // parked, never swept
  EXPECT_EQ(count(0x14), 1);  // its parking only
  EXPECT_EQ(rig.memoryByte(92), 150);
}

TEST_P(ProceduresSimTest, AnyButtonEndsASweepAtOnce) {
  for (int16_t button = 0; button <= 2; ++button) {
    SCOPED_TRACE(button);
    connect();
    enter(kBpfT1Row);
    ticksFor(3000);
    ASSERT_EQ(autoCode(), 15);
    Globals::mainWindow().cmd00(button).click();
    EXPECT_EQ(autoCode(), 0);
    const int swept = count(0x13);
    ticksFor(3000);
    // At most the point on its way and the value reached, sent as a change.
    EXPECT_LE(count(0x13), swept + 2);
    expectPausesAtRest();
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(messages.empty());
  }
}

TEST_P(ProceduresSimTest, AMalformedReadingDuringASweepGivesOneMessageAndIdle) {
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
  EXPECT_EQ(atMessage.back(), (E8{0x03, 4}));  // nothing sent after the bad answer
  EXPECT_EQ(frames, atMessage);
  EXPECT_EQ(beeps, 0);
  expectPausesAtRest();
}

// However long a capture runs, what is drawn stays bounded and keeps its peaks and
// dips, in the order taken; the CSV file keeps every point.
TEST(CurvePointsTest, BoundedKeepsPeaksAndTheFileKeepsAll) {
  const struct {
    int taken;
    int spikeAt;
  } cases[] = {{10, 3}, {int(CurvePoints::Buckets), 0}, {5000, 4321}, {200000, 123457}};
  for (const auto& c : cases) {
    CurvePoints points;
    for (int i = 0; i < c.taken; ++i) points.append({i, i == c.spikeAt ? 250 : i == c.spikeAt + 1 ? 1 : 100 + i % 7});
    const QList<QPointF> drawn = points.drawn();
    EXPECT_LE(drawn.size(), qsizetype{2 * CurvePoints::Buckets});
    if (c.taken <= int(CurvePoints::Buckets)) {
      EXPECT_EQ(drawn.size(), c.taken);
    }
    EXPECT_TRUE(drawn.contains(QPointF(c.spikeAt, 250)) && drawn.contains(QPointF(c.spikeAt + 1, 1))) << c.taken;
    for (qsizetype i = 1; i < drawn.size(); ++i) ASSERT_LT(drawn[i - 1].x(), drawn[i].x());
  }
}

using CurvesTest = SimAppFixture;

TEST_F(CurvesTest, ALongCaptureIsDrawnBoundedAndKeptWhole) {
  CurvesRecorder recorder;
  recorder.onRssiStart();
  constexpr int kLevels = 20000;
  for (int i = 0; i < kLevels; ++i) {
    clock.advance(100);
    recorder.onRssiLevel(static_cast<int16_t>(i % 200));
  }
  recorder.onProcedureEnd();
  QCoreApplication::processEvents();
  EXPECT_LE(recorder.run().series.at(0).points.drawn().size(), qsizetype{2 * CurvePoints::Buckets});
  ASSERT_EQ(recorder.writtenFiles().size(), 2u);
  const QList<QByteArray> lines = fileBytes(QString::fromStdString(recorder.writtenFiles()[0])).split('\n');
  ASSERT_EQ(lines.size(), kLevels + 2);  // the header, the levels, the last line's end
  EXPECT_EQ(lines[0], "time_ms,level");
  EXPECT_EQ(lines[kLevels], QByteArray::number(kLevels * 100) + "," + QByteArray::number((kLevels - 1) % 200));
}

TEST_F(CurvesTest, TheWindowComesBackWithItsSizeFromTheProfile) {
  QAction* open = Globals::mainWindow().findChild<QAction*>("mnuOptionCurves");
  ASSERT_NE(open, nullptr);
  open->trigger();
  auto* window = Globals::mainWindow().findChild<CurvesWindow*>();
  ASSERT_NE(window, nullptr);
  const QSize first = window->size();
  window->resize(first.width() - 150, first.height() - 120);
  window->close();
  delete window;
  open->trigger();
  window = Globals::mainWindow().findChild<CurvesWindow*>();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->size(), QSize(first.width() - 150, first.height() - 120));
}

INSTANTIATE_TEST_SUITE_P(Procedures, ProceduresSimTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WindowOpen" : "WindowClosed"; });

}  // namespace
