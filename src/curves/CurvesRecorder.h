#pragma once
// Keeps what the procedures and the live readings take as curves: the current
// procedure run and the reading history. A run is written beside the session's
// backup when it ends, or when the next one starts after it was broken off.
#include <QObject>
#include <QPointF>
#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "CurveRun.h"
#include "ProcedureObserver.h"

class CurveFile;

class CurvesRecorder : public QObject, public ProcedureObserver {
  Q_OBJECT
 public:
  static constexpr int ReadingLists = 2, ReadingSlots = 9;
  static constexpr size_t HistoryPoints = 3600;

  explicit CurvesRecorder(QObject* parent = nullptr);
  ~CurvesRecorder() override;

  const CurveRun& run() const { return run_; }
  bool hasRun() const { return run_.number > 0; }
  // Time in seconds and value in the list's unit, oldest first.
  const std::deque<QPointF>& history(int list, int slot) const;
  // Every file written so far, in order; a file that could not be written is said
  // (standard error and the main window) and kept as the last write error.
  const std::vector<std::string>& writtenFiles() const { return written_; }
  const std::string& lastWriteError() const { return writeError_; }
  // Milliseconds on the tick clock since start, across its wrap.
  static int32_t msSince(int32_t start);

  void onSweepStart(int16_t stage, bool coarse) override;
  void onSweepPoint(int16_t stage, int16_t value, int16_t reading) override;
  void onSweepEnd(int16_t stage, int16_t endValue, int16_t plateauFrom, int16_t plateauTo) override;
  void onLevelStart(int16_t stage, int16_t target) override;
  void onLevelPoint(int16_t stage, int16_t value, int16_t level) override;
  void onLevelEnd(int16_t stage, int16_t endValue) override;
  void onLevelFailed(int16_t stage, int16_t target, int16_t levelAt0, int16_t levelAt255) override;
  void onRssiStart() override;
  void onRssiLevel(int16_t level) override;
  void onRssiCapture(int16_t which, int16_t level) override;
  void onProcedureEnd() override;
  void onReading(int16_t list, int16_t slot, int16_t value) override;

 signals:
  // The run began or got a mark: redraw it whole.
  void runChanged();
  void pointAdded(int series, QPoint point);
  void readingAdded(int list, int slot, QPointF point);

 private:
  void beginRun(CurveRun::Kind kind, bool coarse);
  void addSeries(const QString& name, const QString& fileTag);
  void addPoint(int series, QPoint p);
  CurveSeries* seriesNamed(const QString& name);
  QString runStem(const CurveRun& run);
  using CurveFiles = std::vector<std::shared_ptr<CurveFile>>;
  // Queued: the files are finished once the tick that ended the run has returned.
  void keepRun();
  void writeRun(const CurveRun& run, const QString& stem, const CurveFiles& files);
  void noteWritten(const QString& path);
  void say(const std::string& why);

  CurveRun run_;
  bool written_run_ = true;
  int32_t rssiStartMs_ = 0;
  int32_t sessionStartMs_ = 0;
  std::string folder_;
  QString stem_;
  CurveFiles files_;
  std::vector<std::string> written_;
  std::string writeError_;
  std::array<std::array<std::deque<QPointF>, ReadingSlots>, ReadingLists> history_;
};
