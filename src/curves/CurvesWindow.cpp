#include "CurvesWindow.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "CurvesChart.h"
#include "CurvesRecorder.h"

namespace {

constexpr double kStripSeconds = 300;
constexpr double kStripTop[CurvesReadingScale::Units] = {10, 100, 80};
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
  auto* layout = new QVBoxLayout(this);
  runView_ = new QChartView(CurvesChart::build(recorder.run()), this);
  runView_->setRenderHint(QPainter::Antialiasing);
  layout->addWidget(runView_, 3);
  auto* tabs = new QTabWidget(this);
  for (int u = 0; u < CurvesReadingScale::Units; ++u) {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
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
  connect(&recorder_, &CurvesRecorder::runChanged, this, [this] {
    runStale_ = true;
    if (isVisible()) redrawRun();
  });
  connect(&recorder_, &CurvesRecorder::pointAdded, this, &CurvesWindow::appendPoint);
  connect(&recorder_, &CurvesRecorder::readingAdded, this, &CurvesWindow::appendReading);
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

void CurvesWindow::redrawRun() {
  QChart* old = runView_->chart();
  runView_->setChart(CurvesChart::build(recorder_.run()));
  delete old;
  runStale_ = false;
}

void CurvesWindow::appendPoint(int series, QPoint p) {
  if (!isVisible() || runStale_) {
    runStale_ = true;
    return;
  }
  if (QXYSeries* s = CurvesChart::dataSeries(runChart(), series)) {
    s->append(p);
    if (recorder_.run().kind == CurveRun::Kind::Rssi) {
      QValueAxis* x = axis(runChart(), Qt::Horizontal);
      if (x != nullptr && p.x() > x->max()) x->setMax(p.x());
    }
  }
}

void CurvesWindow::redrawStrips() {
  double last = 0;
  for (int list = 0; list < CurvesRecorder::ReadingLists; ++list) {
    for (int slot = 0; slot < CurvesRecorder::ReadingSlots; ++slot) {
      QXYSeries* s = stripSeries_[static_cast<size_t>(list)][static_cast<size_t>(slot)];
      if (s == nullptr) continue;
      const std::deque<QPointF>& h = recorder_.history(list, slot);
      s->replace(QList<QPointF>(h.begin(), h.end()));
      if (!h.empty()) last = std::max(last, h.back().x());
    }
  }
  for (QChartView* v : stripViews_) {
    if (QValueAxis* x = axis(*v->chart(), Qt::Horizontal)) x->setRange(std::max(0.0, last - kStripSeconds), std::max(last, 10.0));
  }
}

void CurvesWindow::appendReading(int list, int slot, QPointF p) {
  if (!isVisible()) return;
  QXYSeries* s = stripSeries_[static_cast<size_t>(list)][static_cast<size_t>(slot)];
  if (s == nullptr) return;
  s->append(p);
  if (s->count() > static_cast<int>(CurvesRecorder::HistoryPoints)) s->remove(0);
  QValueAxis* x = axis(*s->chart(), Qt::Horizontal);
  if (x != nullptr && p.x() > x->max()) x->setRange(std::max(0.0, p.x() - kStripSeconds), p.x());
}
