// The Curves window and the run files against the virtual transceiver's physical
// model (see ProcedureSimFixture): the signal level peaks at T1 71 and T2 93, the
// level reads the LVA value last sent. Each run goes with the window open and
// closed; both must send the same frames.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QChart>
#include <QFileInfo>
#include <QImage>
#include <QXYSeries>
#include <QDir>
#include <csignal>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "CurvePoints.h"
#include "CurvesChart.h"
#include "CurvesRecorder.h"
#include "CurvesWindow.h"
#include "ProcedureSimFixture.h"
#include "SessionRecorder.h"
#include "TestFiles.h"

namespace {

using Points = std::vector<QPoint>;

class CurvesSimTest : public ProcedureSimFixture, public ::testing::WithParamInterface<bool> {
 protected:
  // Connected, with the window open or not.
  void connectAndShow() {
    connect();
    if (GetParam()) Globals::mainWindow().findChild<QAction*>("mnuOptionCurves")->trigger();
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
    for (QAbstractSeries* s : chart().series()) {
      if (s->name() == name) return true;
    }
    return false;
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
  }
  Points answeredPoints() const {
    Points out;
    for (auto [v, r] : answered) out.emplace_back(v, r);
    return out;
  }


 private:
  std::unique_ptr<QChart> shown_;
};

TEST_P(CurvesSimTest, SingleStageSweepDrawsEveryAnsweredPointAndItsEnd) {
  connectAndShow();
  enter(kBpfT1Row);
  ticksFor(3000);
  // Grown while it runs: what is drawn is what was taken, less at most the
  // points of the last second.
  QCoreApplication::processEvents();
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
  const char* title;
};

// The points drawn are those read, in order; a failed search restores the value.
TEST_P(CurvesSimTest, LevelSearchesEndAtTheTargetOrRestoreAndDrawTheirPoints) {
  const std::string failedText = " (Auto Adjust Failed)";
  const std::string between = " is not between the levels read at 0 (0) and at 255 (255)";
  const LvaCase cases[] = {
      {"RX target at the low end", kRxLvaRow, 0, {0, 255, 140}, true, "RX LVA search failed: the target 0"},
      {"TX target at the high end", kRxLvaRow + 1, 255, {0, 255, 120}, true, "TX LVA search failed: the target 255"},
      {"RX to its target 150", kRxLvaRow, -1, {0, 255, 128, 192, 160, 144, 152, 148, 150}, false,
       "RX LVA level search"},
      {"TX to its target 100", kRxLvaRow + 1, -1, {0, 255, 128, 64, 96, 112, 104, 100}, false, "TX LVA level search"},
  };
  for (const LvaCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int stage = c.row - kRxLvaRow;
    connectAndShow();
    if (c.target >= 0) console().setValue(static_cast<int16_t>(kLvRxRow + stage), c.target);
    ticksFor(500);
    frames.clear();
    answered.clear();
    beeps = 0;
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
    expectPausesAtRest();
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(messages.empty());
    // The mark belongs to that connection.
    connect();
    EXPECT_FALSE(model().autoState().lvaFailed[stage]);
    EXPECT_FALSE(row(c.row).ends_with(failedText)) << row(c.row);
  }
}

// With T1 at 69 one step below its plateau and T2 at 95 on its upper end the level
// reads 20 + 107 + 110 = 237; each Enter takes it, S3 first, then S1.
TEST_P(CurvesSimTest, RssiStoresS3ThenS1AndDrawsTheLevelOverTime) {
  connectAndShow();
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
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(row(kRssiRow), "      RSSI: [Enter] to Start");
  expectPausesAtRest();
  const Points points = seriesPoints(0);
  ASSERT_EQ(points.size(), answered.size());
  ASSERT_GT(points.size(), 6u);
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(points[i].y(), answered[i].second);
    if (i > 0) {
      EXPECT_GT(points[i].x(), points[i - 1].x());
    }
  }
  EXPECT_TRUE(hasSeries("S3 captured: 237") && hasSeries("S1 captured: 237"));
  expectRunFiles("time_ms,level", {"rssi"});
}

// Two series of 65 points, and the files of the run: one CSV per series, rows as
// drawn, and its chart.
TEST_P(CurvesSimTest, BpfAllDrawsTwoSeriesKeptAsCsvAndPng) {
  connectAndShow();
  enter(kBpfAllRow);
  runToEnd();
  std::vector<E8> wantFrames{{0x13, 64}, {0x14, 64}};
  appendSweep(wantFrames, 0x13, 2, 128, 71);
  appendSweep(wantFrames, 0x14, 2, 128, 93);
  EXPECT_EQ(frames, wantFrames);
  EXPECT_EQ(rig.memoryByte(84), 71);
  EXPECT_EQ(rig.memoryByte(85), 93);
  expectPausesAtRest();
  const Points all = answeredPoints();
  ASSERT_EQ(all.size(), 130u);
  EXPECT_EQ(seriesPoints(0), Points(all.begin(), all.begin() + 65));
  EXPECT_EQ(seriesPoints(1), Points(all.begin() + 65, all.end()));
  EXPECT_TRUE(hasSeries("T1 end 71") && hasSeries("T2 end 93"));
  expectRunFiles("value,reading", {"bpf-t1", "bpf-t2"});
  const std::vector<std::string>& files = Globals::mainWindow().findChild<CurvesRecorder*>()->writtenFiles();
  ASSERT_EQ(files.size(), 3u);
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

QByteArray contents(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

// Writes past a few KiB fail while it lives, as on a full disk.
struct SmallDisk {
  SmallDisk() : previous(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 8192;
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
TEST_P(CurvesSimTest, FilesThatCannotBeWrittenAreSaidAndNothingIsReplaced) {
  connect();
  const std::string stem = Globals::sessionRecorder().currentSessionStem() + "_curve-01";
  std::ofstream(stem + "-bpf-t1.csv") << "keep";
  testing::internal::CaptureStderr();
  {
    const SmallDisk disk;  // the CSV files fit, the PNG does not
    enter(kBpfAllRow);
    runToEnd();
    QCoreApplication::processEvents();
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(contents(stem + "-bpf-t1.csv"), "keep");
  EXPECT_TRUE(contents(stem + "-bpf-t2.csv").startsWith("value,reading\n0,"));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(stem + ".png")));
  EXPECT_NE(said.find("cannot create " + stem + "-bpf-t1.csv"), std::string::npos) << said;
  EXPECT_NE(said.find("cannot write " + stem + ".png: File too large"), std::string::npos) << said;
  EXPECT_TRUE(Globals::mainWindow().toolTip().contains(QString::fromStdString("cannot write " + stem + ".png")));
  const QStringList left = QDir(QFileInfo(QString::fromStdString(stem)).path()).entryList({"*.part"});
  EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
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

class CurvesRecorderTest : public SimAppFixture {};

TEST_F(CurvesRecorderTest, ALongCaptureIsDrawnBoundedAndKeptWhole) {
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
  const QList<QByteArray> lines = contents(recorder.writtenFiles()[0]).split('\n');
  ASSERT_EQ(lines.size(), kLevels + 2);  // the header, the levels, the last line's end
  EXPECT_EQ(lines[0], "time_ms,level");
  EXPECT_EQ(lines[kLevels], QByteArray::number(kLevels * 100) + "," + QByteArray::number((kLevels - 1) % 200));
}

class CurvesWindowTest : public SimAppFixture {};

TEST_F(CurvesWindowTest, TheWindowComesBackWithItsSizeFromTheProfile) {
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

INSTANTIATE_TEST_SUITE_P(Curves, CurvesSimTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WindowOpen" : "WindowClosed"; });

}  // namespace
