#include "CurvesWindow.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "frmCom.h"

#include "CurvesChart.h"
#include "CurvesRecorder.h"
#include "Globals.h"
#include "clsCmcProfileIO.h"
#include "clsCmcTick.h"

namespace {

constexpr double kStripSeconds = 300;
constexpr double kStripTop[CurvesReadingScale::Units] = {10, 100, 80};
const char* const kSection = "CURVES";
const char* const kStripTitles[CurvesReadingScale::Units] = {"Volts", "Per cent", "Temperature"};

QValueAxis* axis(QChart& chart, Qt::Orientation o) {
  const QList<QAbstractAxis*> axes = chart.axes(o);
  return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.front());
}

}  // namespace

CurvesWindow::CurvesWindow(CurvesRecorder& recorder, QWidget* owner)
    : QWidget(owner, Qt::Window), recorder_(recorder) {
  setObjectName("CurvesWindow");
  setWindowTitle("Curves");
  resize(900, 760);
  loadGeometry();
  auto* layout = new QVBoxLayout(this);
  runView_ = new QChartView(CurvesChart::build(recorder.run()), this);
  layout->addWidget(runView_, 3);
  auto* tabs = tabs_ = new QTabWidget(this);
  for (int u = 0; u < CurvesReadingScale::Units; ++u) {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setDropShadowEnabled(false);
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    x->setTitleText("Time (s)");
    y->setTitleText(CurvesReadingScale::unitName(static_cast<CurvesReadingScale::Unit>(u)));
    y->setRange(0, kStripTop[u]);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    stripViews_[static_cast<size_t>(u)] = new QChartView(chart, tabs);
    tabs->addTab(stripViews_[static_cast<size_t>(u)], kStripTitles[u]);
  }
  for (int list = 0; list < CurvesRecorder::ReadingLists; ++list) {
    for (int slot = 0; slot < CurvesRecorder::ReadingSlots; ++slot) {
      const CurvesReadingScale::Unit unit = CurvesReadingScale::unit(list, slot);
      if (unit == CurvesReadingScale::None) continue;
      QChart& chart = stripChart(unit);
      auto* s = new QLineSeries;
      s->setName(CurvesReadingScale::name(list, slot));
      chart.addSeries(s);
      s->attachAxis(axis(chart, Qt::Horizontal));
      s->attachAxis(axis(chart, Qt::Vertical));
      stripSeries_[static_cast<size_t>(list)][static_cast<size_t>(slot)] = s;
    }
  }
  layout->addWidget(tabs, 2);
  connect(tabs, &QTabWidget::currentChanged, this, [this] { redrawStrips(); });
  connect(&recorder_, &CurvesRecorder::runChanged, this, [this] {
    runStale_ = true;  // a start or a mark: drawn at once
    if (isVisible() && !flushQueued_) {
      flushQueued_ = true;
      QMetaObject::invokeMethod(this, &CurvesWindow::flush, Qt::QueuedConnection);
    }
  });
  connect(&recorder_, &CurvesRecorder::pointAdded, this, &CurvesWindow::appendPoint);
  connect(&recorder_, &CurvesRecorder::readingAdded, this, &CurvesWindow::appendReading);
  flushTimer_.setSingleShot(true);
  connect(&flushTimer_, &QTimer::timeout, this, &CurvesWindow::flush);
}

void CurvesWindow::addMenuEntry(QMenu& menu, QWidget& owner) {
  auto* recorder = new CurvesRecorder(&owner);
  QAction* open = menu.addAction(QString::fromUtf8("&Curves\u2026"));
  open->setObjectName("mnuOptionCurves");
  QObject::connect(open, &QAction::triggered, &owner, [recorder, &owner] {
    auto* window = owner.findChild<CurvesWindow*>("CurvesWindow", Qt::FindDirectChildrenOnly);
    if (window == nullptr) window = new CurvesWindow(*recorder, &owner);
    window->show();
    window->raise();
    window->activateWindow();
  });
}

QChart& CurvesWindow::runChart() { return *runView_->chart(); }

QChart& CurvesWindow::stripChart(CurvesReadingScale::Unit unit) {
  return *stripViews_.at(static_cast<size_t>(unit))->chart();
}

void CurvesWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (runStale_) redrawRun();
  redrawStrips();
}

void CurvesWindow::hideEvent(QHideEvent* event) {
  saveGeometry();
  QWidget::hideEvent(event);
}

void CurvesWindow::loadGeometry() {
  if (!Globals::comExists()) return;
  clsCmcProfileIO profile = Globals::com().profMain();
  profile.setSection(kSection);
  int32_t left = 0, top = 0, width = 0, height = 0;
  profile.loadData("Left", left, int32_t{0});
  profile.loadData("Top", top, int32_t{0});
  profile.loadData("Width", width, int32_t{0});
  profile.loadData("Height", height, int32_t{0});
  if (width < 200 || height < 200 || width > 10000 || height > 10000) return;  // none kept, or not sound
  resize(width, height);
  move(left, top);
}

void CurvesWindow::saveGeometry() const {
  if (!Globals::comExists()) return;
  clsCmcProfileIO profile = Globals::com().profMain();
  profile.setSection(kSection);
  profile.saveData("Left", int32_t{pos().x()});
  profile.saveData("Top", int32_t{pos().y()});
  profile.saveData("Width", int32_t{width()});
  profile.saveData("Height", int32_t{height()});
}

void CurvesWindow::redrawRun() {
  CurvesChart::fill(runChart(), recorder_.run());
  runStale_ = false;
  pointsAdded_ = false;
}

void CurvesWindow::appendPoint() {
  if (!isVisible() || runStale_) return;  // the redraw takes it from the run
  pointsAdded_ = true;
  flushSoon();
}

void CurvesWindow::flushSoon() {
  if (flushQueued_) return;
  const int32_t since = CurvesRecorder::msSince(lastFlushMs_);
  if (since >= FlushMs || since < 0) {
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, &CurvesWindow::flush, Qt::QueuedConnection);
  } else if (!flushTimer_.isActive()) {
    flushTimer_.start(FlushMs - since);  // the last points of a pause
  }
}


void CurvesWindow::flush() {
  lastFlushMs_ = clsCmcTick::now();
  flushQueued_ = false;
  flushTimer_.stop();
  if (!isVisible()) return;
  if (runStale_) redrawRun();
  if (pointsAdded_) redrawPoints();
  const auto sinceStrips =
      static_cast<int32_t>(static_cast<uint32_t>(lastFlushMs_) - static_cast<uint32_t>(lastStripFlushMs_));
  if (sinceStrips >= 0 && sinceStrips < StripFlushMs) return;
  lastStripFlushMs_ = lastFlushMs_;
  for (size_t list = 0; list < pendingStrips_.size(); ++list) {
    for (size_t slot = 0; slot < pendingStrips_[list].size(); ++slot) {
      std::vector<QPointF>& pending = pendingStrips_[list][slot];
      QXYSeries* s = stripSeries_[list][slot];
      if (s == nullptr || pending.empty()) continue;
      // A hidden tab's chart is redrawn from the history when it is shown.
      if (CurvesReadingScale::unit(static_cast<int>(list), static_cast<int>(slot)) != tabs_->currentIndex()) {
        pending.clear();
        continue;
      }
      QList<QPointF> all = s->points();
      all.append(QList<QPointF>(pending.begin(), pending.end()));
      const qsizetype over = all.size() - static_cast<qsizetype>(CurvesRecorder::HistoryPoints);
      if (over > 0) all.remove(0, over);
      s->replace(all);
      QValueAxis* x = axis(*s->chart(), Qt::Horizontal);
      const double last = pending.back().x();
      // The time axis moves on by half its width: its labels are laid out seldom.
      if (x != nullptr && last > x->max()) x->setRange(last - kStripSeconds / 2, last + kStripSeconds / 2);
      pending.clear();
    }
  }
}

// The run's curves as the recorder keeps them: never more than a bounded number of
// points, however long the run.
void CurvesWindow::redrawPoints() {
  pointsAdded_ = false;
  const CurveRun& run = recorder_.run();
  for (size_t i = 0; i < run.series.size(); ++i) {
    QXYSeries* s = CurvesChart::dataSeries(runChart(), static_cast<int>(i));
    if (s == nullptr) continue;
    s->replace(run.series[i].points.drawn());
    if (run.kind == CurveRun::Kind::Rssi && !run.series[i].points.empty()) {
      QValueAxis* x = axis(runChart(), Qt::Horizontal);
      const int last = run.series[i].points.last().x();
      if (x != nullptr && last > x->max()) x->setMax(last);
    }
  }
}

void CurvesWindow::redrawStrips() {
  double last = 0;
  for (int list = 0; list < CurvesRecorder::ReadingLists; ++list) {
    for (int slot = 0; slot < CurvesRecorder::ReadingSlots; ++slot) {
      QXYSeries* s = stripSeries_[static_cast<size_t>(list)][static_cast<size_t>(slot)];
      pendingStrips_[static_cast<size_t>(list)][static_cast<size_t>(slot)].clear();
      if (s == nullptr) continue;
      const std::deque<QPointF>& h = recorder_.history(list, slot);
      s->replace(QList<QPointF>(h.begin(), h.end()));
      if (!h.empty()) last = std::max(last, h.back().x());
    }
  }
  for (QChartView* v : stripViews_) {
    if (QValueAxis* x = axis(*v->chart(), Qt::Horizontal)) {
      x->setRange(std::max(0.0, last - kStripSeconds / 2), std::max(0.0, last - kStripSeconds / 2) + kStripSeconds);
    }
  }
}

void CurvesWindow::appendReading(int list, int slot, QPointF p) {
  if (!isVisible()) return;
  pendingStrips_.at(static_cast<size_t>(list)).at(static_cast<size_t>(slot)).push_back(p);
  flushSoon();
}
