#include "CurvesRecorder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cmath>

#include "CurveFile.h"
#include "CurvesChart.h"
#include "CurvesReadingScale.h"
#include "Globals.h"
#include "SessionRecorder.h"
#include "clsCmcTick.h"

namespace {

const QString kStageNames[2][2] = {{"BPF T1", "BPF T2"}, {"RX LVA", "TX LVA"}};

QString stageName(int kind, int16_t stage) { return kStageNames[kind][stage == 1 ? 1 : 0]; }

QString tagOf(const QString& name) { return name.toLower().replace(' ', '-'); }

// $XDG_DATA_HOME/ravlen-adj/sessions/<date-time>, or under ~/.local/share.
QString sessionFolder() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty()) base = QDir::homePath() + "/.local/share";
  return base + "/ravlen-adj/sessions/" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
}

}  // namespace

CurvesRecorder::CurvesRecorder(QObject* parent) : QObject(parent), sessionStartMs_(clsCmcTick::now()) {
  ProcedureObserver::attach(this);
}

CurvesRecorder::~CurvesRecorder() {
  if (ProcedureObserver::attached() == this) ProcedureObserver::attach(nullptr);
}

const std::deque<QPointF>& CurvesRecorder::history(int list, int slot) const {
  return history_.at(static_cast<size_t>(list)).at(static_cast<size_t>(slot));
}

void CurvesRecorder::beginRun(CurveRun::Kind kind, bool coarse) {
  if (!written_run_) keepRun();  // broken off: kept as far as it got
  const int number = run_.number + 1;
  run_ = CurveRun{};
  run_.kind = kind;
  run_.number = number;
  run_.coarse = coarse;
  written_run_ = false;
  stem_ = runStem(run_);
  const QString folder = QFileInfo(stem_).path();
  if (!QDir().mkpath(folder)) say("cannot create " + folder.toStdString());
}

// Its CSV file is written point by point as the run goes.
void CurvesRecorder::addSeries(const QString& name, const QString& fileTag) {
  run_.series.push_back(CurveSeries{name, fileTag, {}, -1, -1, -1});
  auto file = std::make_shared<CurveFile>(stem_ + "-" + fileTag + ".csv");
  const char* header = run_.kind == CurveRun::Kind::Rssi ? "time_ms,level\n" : "value,reading\n";
  if (!file->open() || !file->write(header)) say(file->error());
  files_.push_back(std::move(file));
  emit runChanged();
}

void CurvesRecorder::say(const std::string& why) {
  writeError_ = why;
  const SessionRecorder& session = Globals::sessionRecorder();
  if (session.OnWriteFailure) session.OnWriteFailure(why);
}

CurveSeries* CurvesRecorder::seriesNamed(const QString& name) {
  for (CurveSeries& s : run_.series) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

void CurvesRecorder::addPoint(int series, QPoint p) {
  run_.series[static_cast<size_t>(series)].points.append(p);
  CurveFile& file = *files_.at(static_cast<size_t>(series));
  if (!file.failed() && !file.write(QByteArray::number(p.x()) + ',' + QByteArray::number(p.y()) + '\n')) {
    say(file.error());
  }
  emit pointAdded(series, p);
}

void CurvesRecorder::onSweepStart(int16_t stage, bool coarse) {
  const QString name = stageName(0, stage);
  const bool sameRun = coarse && run_.coarse && !written_run_ && run_.kind == CurveRun::Kind::Sweep &&
                       seriesNamed(name) == nullptr;
  if (!sameRun) beginRun(CurveRun::Kind::Sweep, coarse);
  addSeries(name, tagOf(name));
}

void CurvesRecorder::onSweepPoint(int16_t stage, int16_t value, int16_t reading) {
  if (written_run_ || run_.kind != CurveRun::Kind::Sweep) return;
  const CurveSeries* s = seriesNamed(stageName(0, stage));
  if (s == nullptr) return;
  addPoint(static_cast<int>(s - run_.series.data()), QPoint(value, reading));
}

void CurvesRecorder::onSweepEnd(int16_t stage, int16_t endValue, int16_t plateauFrom, int16_t plateauTo) {
  CurveSeries* s = written_run_ ? nullptr : seriesNamed(stageName(0, stage));
  if (s == nullptr) return;
  s->endValue = endValue;
  s->plateauFrom = plateauFrom;
  s->plateauTo = plateauTo;
  emit runChanged();
}

void CurvesRecorder::onLevelStart(int16_t stage, int16_t target) {
  beginRun(CurveRun::Kind::Level, false);
  run_.target = target;
  const QString name = stageName(1, stage);
  addSeries(name, tagOf(name));
}

void CurvesRecorder::onLevelPoint(int16_t, int16_t value, int16_t level) {
  if (written_run_ || run_.kind != CurveRun::Kind::Level) return;
  addPoint(0, QPoint(value, level));
}

void CurvesRecorder::onLevelEnd(int16_t, int16_t endValue) {
  if (written_run_ || run_.kind != CurveRun::Kind::Level) return;
  run_.series.front().endValue = endValue;
  emit runChanged();
}

void CurvesRecorder::onLevelFailed(int16_t, int16_t target, int16_t levelAt0, int16_t levelAt255) {
  if (written_run_ || run_.kind != CurveRun::Kind::Level) return;
  run_.failure = QString("the target %1 is not between the levels read at 0 (%2) and at 255 (%3)")
                     .arg(target)
                     .arg(levelAt0)
                     .arg(levelAt255);
  emit runChanged();
}

void CurvesRecorder::onRssiStart() {
  beginRun(CurveRun::Kind::Rssi, false);
  rssiStartMs_ = clsCmcTick::now();
  addSeries("RSSI", "rssi");
}

void CurvesRecorder::onRssiLevel(int16_t level) {
  if (written_run_ || run_.kind != CurveRun::Kind::Rssi) return;
  addPoint(0, QPoint(msSince(rssiStartMs_), level));
}

void CurvesRecorder::onRssiCapture(int16_t which, int16_t level) {
  if (written_run_ || run_.kind != CurveRun::Kind::Rssi) return;
  run_.captures.push_back({which, msSince(rssiStartMs_), level});
  emit runChanged();
}

void CurvesRecorder::onProcedureEnd() {
  if (written_run_) return;
  run_.ended = true;
  emit runChanged();
  keepRun();
}

void CurvesRecorder::onReading(int16_t list, int16_t slot, int16_t value) {
  if (list < 0 || list >= ReadingLists || slot < 0 || slot >= ReadingSlots) return;
  const double v = CurvesReadingScale::value(list, slot, value);
  if (std::isnan(v)) return;
  const QPointF p(msSince(sessionStartMs_) / 1000.0, v);
  std::deque<QPointF>& h = history_[static_cast<size_t>(list)][static_cast<size_t>(slot)];
  h.push_back(p);
  if (h.size() > HistoryPoints) h.pop_front();
  emit readingAdded(list, slot, p);
}

// Beside the session's backup and report, or, before any session, in a folder of
// its own.
int32_t CurvesRecorder::msSince(int32_t start) {
  return static_cast<int32_t>(static_cast<uint32_t>(clsCmcTick::now()) - static_cast<uint32_t>(start));
}

QString CurvesRecorder::runStem(const CurveRun& run) {
  const QString name = QString("curve-%1").arg(run.number, 2, 10, QChar('0'));
  const std::string& session = Globals::sessionRecorder().currentSessionStem();
  if (!session.empty()) return QString::fromStdString(session) + "_" + name;
  if (folder_.empty()) folder_ = sessionFolder().toStdString();
  return QString::fromStdString(folder_) + "/" + name;
}

void CurvesRecorder::keepRun() {
  written_run_ = true;
  QMetaObject::invokeMethod(
      this, [this, run = run_, stem = stem_, files = std::move(files_)] { writeRun(run, stem, files); },
      Qt::QueuedConnection);
  files_.clear();
}

// The CSV files are whole; the chart is drawn last.
void CurvesRecorder::writeRun(const CurveRun& run, const QString& stem, const CurveFiles& files) {
  for (const std::shared_ptr<CurveFile>& file : files) {
    if (file->failed()) continue;  // said when it failed
    if (file->commit()) {
      noteWritten(file->path());
    } else {
      say(file->error());
    }
  }
  CurveFile png(stem + ".png");
  if (png.open() && png.write(CurvesChart::png(run)) && png.commit()) {
    noteWritten(png.path());
  } else {
    say(png.error());
  }
}

void CurvesRecorder::noteWritten(const QString& path) {
  written_.push_back(path.toStdString());
  Globals::sessionRecorder().noteFile(written_.back());
}
