#pragma once
// The "Curves" window: the chart of the procedure running (or last run) and the
// live readings as strip charts, one per unit. It draws only while shown; when it
// opens it redraws from what the recorder kept.
#include <QWidget>
#include <array>

#include "CurvesReadingScale.h"

class QChart;
class QChartView;
class QMenu;
class QXYSeries;
class CurvesRecorder;

class CurvesWindow : public QWidget {
  Q_OBJECT
 public:
  CurvesWindow(CurvesRecorder& recorder, QWidget* owner);

  // Adds "Curves..." to the menu and starts recording for the owner's lifetime.
  static void addMenuEntry(QMenu& menu, QWidget& owner);

  QChart& runChart();
  QChart& stripChart(CurvesReadingScale::Unit unit);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void redrawRun();
  void redrawStrips();
  void appendPoint(int series, QPoint p);
  void appendReading(int list, int slot, QPointF p);

  CurvesRecorder& recorder_;
  QChartView* runView_ = nullptr;
  std::array<QChartView*, CurvesReadingScale::Units> stripViews_{};
  std::array<std::array<QXYSeries*, 9>, 2> stripSeries_{};
  bool runStale_ = true;
};
