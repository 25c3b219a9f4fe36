// The Curves window and the run files against the virtual transceiver's physical
// model (see ProcedureSimFixture): the signal level peaks at T1 71 and T2 93, the
// level reads the LVA value last sent. Each run goes with the window open and
// closed; both must send the same frames.
#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QFileInfo>
#include <QImage>
#include <QXYSeries>
#include <string>
#include <tuple>
#include <vector>

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
  // The run's files: one CSV per series, its header then the points as drawn,
  // named after the series; then the chart.
  void expectRunFiles(const QString& header, const std::vector<std::string>& tags) {
    QCoreApplication::processEvents();  // the files are written from the event loop
    const std::vector<std::string>& files = Globals::mainWindow().findChild<CurvesRecorder*>()->writtenFiles();
    const std::string stem = Globals::sessionRecorder().currentSessionStem();
    ASSERT_FALSE(stem.empty());
    ASSERT_EQ(files.size(), tags.size() + 1);
    for (size_t i = 0; i < tags.size(); ++i) {
      EXPECT_EQ(files[i], stem + "_curve-01-" + tags[i] + ".csv");
      QString want = header + "\n";
      for (const QPoint& p : seriesPoints(static_cast<int>(i))) want += QString("%1,%2\n").arg(p.x()).arg(p.y());
      EXPECT_EQ(QString::fromUtf8(fileBytes(QString::fromStdString(files[i]))), want);
    }
    EXPECT_EQ(files.back(), stem + "_curve-01.png");
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
  const Points& taken = run().series.at(0).points;
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
}

TEST_P(CurvesSimTest, LevelSearchDrawsItsPointsInOrderAndTheTarget) {
  connectAndShow();
  enter(kRxLvaRow);
  runToEnd();
  const Points want{{0, 0}, {255, 255}, {128, 128}, {192, 192}, {160, 160},
                    {144, 144}, {152, 152}, {148, 148}, {150, 150}};
  EXPECT_EQ(answeredPoints(), want);
  EXPECT_EQ(seriesPoints(0), want);
  EXPECT_TRUE(hasSeries("Target 150") && hasSeries("LVA end 150"));
  EXPECT_EQ(chart().title(), "RX LVA level search");
  expectRunFiles("value,reading", {"rx-lva"});
}

TEST_P(CurvesSimTest, FailedLevelSearchSaysWhy) {
  connectAndShow();
  Globals::console().setValue(kLvRxRow, 0);
  ticksFor(500);
  answered.clear();
  enter(kRxLvaRow);
  runToEnd();
  EXPECT_EQ(seriesPoints(0), (Points{{0, 0}, {255, 255}}));
  EXPECT_EQ(chart().title(),
            "RX LVA search failed: the target 0 is not between the levels read at 0 (0) and at 255 (255)");
  EXPECT_FALSE(hasSeries("LVA end 140"));
}

TEST_P(CurvesSimTest, RssiDrawsTheLevelOverTimeWithBothCaptures) {
  connectAndShow();
  enter(kRssiRow);
  ticksFor(3000);
  enter(kRssiRow);
  ticksFor(3000);
  enter(kRssiRow);
  runToEnd();
  const Points points = seriesPoints(0);
  ASSERT_EQ(points.size(), answered.size());
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
