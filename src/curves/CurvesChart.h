#pragma once
// The chart of one procedure run, for the window and for the session's PNG. The
// data series come first, one per run series, in the run's order.
#include <QSize>
#include <QString>

#include "CurveRun.h"

class QByteArray;
class QChart;
class QXYSeries;

class CurvesChart {
 public:
  static constexpr QSize ImageSize{800, 480};

  static QChart* build(const CurveRun& run);
  // Draws the run in a chart made by build, keeping its axes (their labels are
  // laid out again only when their range or title changes).
  static void fill(QChart& chart, const CurveRun& run);
  static QXYSeries* dataSeries(QChart& chart, int index);
  static QString title(const CurveRun& run);
  // A fresh chart of the run rendered as a PNG file's bytes.
  static QByteArray png(const CurveRun& run, QSize size = ImageSize);
};
