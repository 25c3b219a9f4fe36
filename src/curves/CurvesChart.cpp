#include "CurvesChart.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

namespace {

constexpr double kTop = 255;

void attach(QChart& chart, QAbstractSeries* s, QValueAxis* x, QValueAxis* y) {
  chart.addSeries(s);
  s->attachAxis(x);
  s->attachAxis(y);
}

QLineSeries* line(const QString& name, QPointF a, QPointF b, Qt::PenStyle style) {
  auto* s = new QLineSeries;
  s->setName(name);
  s->append(a);
  s->append(b);
  QPen pen = s->pen();
  pen.setStyle(style);
  pen.setWidth(1);
  s->setPen(pen);
  return s;
}

QAreaSeries* band(const QString& name, double from, double to) {
  auto* lower = new QLineSeries;
  auto* upper = new QLineSeries;
  lower->append(from, 0);
  lower->append(to, 0);
  upper->append(from, kTop);
  upper->append(to, kTop);
  auto* s = new QAreaSeries(upper, lower);
  upper->setParent(s);  // the area series does not own its edges
  lower->setParent(s);
  s->setName(name);
  QColor fill(255, 160, 0, 70);
  s->setBrush(fill);
  s->setPen(QPen(fill.darker(), 1));
  return s;
}

void setTitle(QValueAxis& axis, const QString& text) {
  if (axis.titleText() != text) axis.setTitleText(text);
}

QString stageShort(const CurveSeries& s) { return s.name.section(' ', -1); }

}  // namespace

QString CurvesChart::title(const CurveRun& run) {
  switch (run.kind) {
    case CurveRun::Kind::Sweep: return run.coarse ? "BPF ALL sweep" : "BPF sweep";
    case CurveRun::Kind::Level: {
      const QString name = run.series.empty() ? QString("LVA") : run.series.front().name;
      if (!run.failure.isEmpty()) return name + " search failed: " + run.failure;
      return name + " level search";
    }
    case CurveRun::Kind::Rssi: return "RSSI capture";
  }
  return {};
}

QChart* CurvesChart::build(const CurveRun& run) {
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setDropShadowEnabled(false);
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  y->setRange(0, kTop);
  y->setLabelFormat("%d");
  x->setLabelFormat("%d");
  y->setTickType(QValueAxis::TicksDynamic);
  y->setTickAnchor(0);
  y->setTickInterval(32);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  fill(*chart, run);
  return chart;
}

void CurvesChart::fill(QChart& chartRef, const CurveRun& run) {
  QChart* chart = &chartRef;
  if (chart->title() != title(run)) chart->setTitle(title(run));
  auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
  if (x == nullptr || y == nullptr) return;
  // The curves drawn so far stay when the run is the same; the marks are drawn anew.
  const QList<QAbstractSeries*> shown = chart->series();
  const auto n = static_cast<qsizetype>(run.series.size());
  bool same = shown.size() >= n;
  for (qsizetype i = 0; same && i < n; ++i) {
    same = shown[i]->type() == QAbstractSeries::SeriesTypeLine && shown[i]->name() == run.series[size_t(i)].name;
  }
  if (!same) chart->removeAllSeries();
  for (qsizetype i = same ? n : 0; i < shown.size() && same; ++i) {
    chart->removeSeries(shown[i]);
    delete shown[i];
  }
  for (qsizetype i = 0; i < n; ++i) {
    const CurveSeries& cs = run.series[size_t(i)];
    const QList<QPointF> points = cs.points.drawn();
    if (same) {
      auto* s = static_cast<QXYSeries*>(shown[i]);
      if (s->points() != points) s->replace(points);
      continue;
    }
    auto* s = new QLineSeries;
    s->setName(cs.name);
    s->setPointsVisible(run.kind == CurveRun::Kind::Level);
    s->append(points);
    attach(*chart, s, x, y);
  }
  if (run.kind == CurveRun::Kind::Rssi) {
    int32_t last = 1000;
    if (!run.series.empty() && !run.series.front().points.empty()) {
      last = std::max(last, run.series.front().points.last().x());
    }
    x->setRange(0, last);
    x->setTickType(QValueAxis::TicksFixed);
    setTitle(*x, "Time (ms)");
    setTitle(*y, "Signal level (A/D)");
    for (const CurveRun::Capture& c : run.captures) {
      auto* s = new QScatterSeries;
      s->setName(QString("S%1 captured: %2").arg(c.which).arg(c.level));
      s->setMarkerSize(12);
      s->append(c.timeMs, c.level);
      attach(*chart, s, x, y);
    }
    return;
  }
  x->setRange(0, kTop);
  x->setTickType(QValueAxis::TicksDynamic);
  x->setTickAnchor(0);
  x->setTickInterval(32);
  setTitle(*x, run.kind == CurveRun::Kind::Sweep ? "Filter value" : "Adjuster value");
  setTitle(*y, run.kind == CurveRun::Kind::Sweep ? "Signal level (A/D)" : "Level (A/D)");
  if (run.kind == CurveRun::Kind::Level && run.target >= 0) {
    attach(*chart, line(QString("Target %1").arg(run.target), {0, double(run.target)}, {kTop, double(run.target)},
                        Qt::DashLine),
           x, y);
  }
  for (const CurveSeries& cs : run.series) {
    if (cs.plateauFrom >= 0) {
      attach(*chart,
             band(QString("%1 highest %2-%3").arg(stageShort(cs)).arg(cs.plateauFrom).arg(cs.plateauTo),
                  cs.plateauFrom - 0.5, cs.plateauTo + 0.5),
             x, y);
    }
    if (cs.endValue >= 0) {
      attach(*chart, line(QString("%1 end %2").arg(stageShort(cs)).arg(cs.endValue), {double(cs.endValue), 0},
                          {double(cs.endValue), kTop}, Qt::DotLine),
             x, y);
    }
  }
}

QXYSeries* CurvesChart::dataSeries(QChart& chart, int index) {
  const QList<QAbstractSeries*> all = chart.series();
  if (index < 0 || index >= all.size()) return nullptr;
  return qobject_cast<QXYSeries*>(all.at(index));
}

QByteArray CurvesChart::png(const CurveRun& run, QSize size) {
  QGraphicsScene scene;
  QChart* chart = build(run);
  scene.addItem(chart);
  chart->setGeometry(QRectF(QPointF(0, 0), size));
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
  painter.end();
  QByteArray bytes;
  QBuffer out(&bytes);
  out.open(QIODevice::WriteOnly);
  image.save(&out, "PNG");
  return bytes;
}
