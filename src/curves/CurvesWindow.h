#pragma once
// The "Curves" window: the chart of the procedure running (or last run) and the
// live readings as strip charts, one per unit. It draws only while shown; when it
// opens it redraws from what the recorder kept.
#include <QPointF>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "CurvesReadingScale.h"

class QChart;
class QTabWidget;
class QChartView;
class QMenu;
class QXYSeries;
class CurvesRecorder;

class CurvesWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int32_t FlushMs = 1000;
  static constexpr int32_t StripFlushMs = 2000;

  CurvesWindow(CurvesRecorder& recorder, QWidget* owner);

  // Adds "Curves..." to the menu and starts recording for the owner's lifetime.
  static void addMenuEntry(QMenu& menu, QWidget& owner);

  QChart& runChart();
  QChart& stripChart(CurvesReadingScale::Unit unit);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Place and size in the profile's own section.
  void loadGeometry();
  void saveGeometry() const;
  void redrawRun();
  void redrawStrips();
  void appendPoint();
  void redrawPoints();
  void appendReading(int list, int slot, QPointF p);
  // New points and marks are drawn together once control is back in the event
  // loop, at most every FlushMs of the tick clock.
  void flushSoon();
  void flush();

  CurvesRecorder& recorder_;
  QChartView* runView_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  std::array<QChartView*, CurvesReadingScale::Units> stripViews_{};
  std::array<std::array<QXYSeries*, 9>, 2> stripSeries_{};
  bool runStale_ = true;
  bool pointsAdded_ = false;
  std::array<std::array<std::vector<QPointF>, 9>, 2> pendingStrips_{};
  int32_t lastFlushMs_ = 0;
  int32_t lastStripFlushMs_ = 0;
  bool flushQueued_ = false;
  QTimer flushTimer_;
};
