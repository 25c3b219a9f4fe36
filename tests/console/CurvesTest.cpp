// The Curves window and what a capture keeps, apart from any connection.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <string>

#include "CurvePoints.h"
#include "CurvesRecorder.h"
#include "CurvesWindow.h"
#include "Globals.h"
#include "SimAppFixture.h"
#include "TestFiles.h"
#include "frmMain.h"

namespace {

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
  const QList<QByteArray> lines = fileBytes(QString::fromStdString(recorder.writtenFiles()[0])).split('\n');
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

}  // namespace
