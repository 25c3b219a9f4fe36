// An RSSI capture left running for a day, on the fake clock: a level every 100 ms
// (about 600 a minute, as at 9600 baud) into the recorder, with the Curves window
// open. Measures one redraw of the run's chart (the points of the last second
// drawn, then the chart painted) after 1 hour and after 24 hours, and the heap then
// in use. Both should be the same within a few per cent.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <map>

#include "CurvesRecorder.h"
#include "CurvesWindow.h"
#include "FakeClock.h"
#include "Globals.h"

namespace {

constexpr int32_t kStepMs = 100;
constexpr int32_t kMinuteMs = 60'000;

struct Capture {
  FakeClock clock;
  QWidget owner;
  CurvesRecorder recorder{&owner};
  CurvesWindow* window = nullptr;
  QImage image{1000, 500, QImage::Format_ARGB32};
  int64_t takenMs = 0;

  Capture() {
    window = new CurvesWindow(recorder, &owner);
    window->resize(1000, 800);
    window->show();
    recorder.onRssiStart();
  }
  // A noisy level around a slow drift, with a spike now and then.
  int16_t level() {
    noise = noise * 1103515245u + 12345u;
    const int64_t drift = (takenMs / 60'000) % 40;
    return static_cast<int16_t>(100 + drift + static_cast<int>((noise >> 16) % 60) + (takenMs % 3'100'000 == 0 ? 80 : 0));
  }
  uint32_t noise = 1;
  // Levels for ms on the clock, then the event loop runs (the hours before a
  // measurement go by a minute at a time).
  void run(int64_t ms) {
    for (int64_t end = takenMs + ms; takenMs < end;) {
      clock.advance(kStepMs);
      takenMs += kStepMs;
      recorder.onRssiLevel(level());
    }
    QCoreApplication::processEvents();
  }
  // One second of levels, its redraw, and the chart painted.
  void redraw() {
    run(1000);
    QPainter painter(&image);
    window->runChart().scene()->render(&painter);
  }
};

Capture* capture = nullptr;
std::map<int, double> heapMb;

double heapInUseMb() { return static_cast<double>(mallinfo2().uordblks) / (1 << 20); }

void runTo(int hours) {
  const int64_t until = int64_t{hours} * 60 * kMinuteMs;
  while (capture->takenMs < until) capture->run(kMinuteMs);
}

void BM_RssiRedraw(benchmark::State& state) {
  const int hours = static_cast<int>(state.range(0));
  runTo(hours);
  for (auto _ : state) capture->redraw();
  heapMb[hours] = heapInUseMb();
  state.counters["heap_MB"] = heapMb[hours];
  state.counters["points_taken"] = static_cast<double>(capture->recorder.run().series.at(0).points.taken());
  state.counters["points_drawn"] =
      static_cast<double>(capture->recorder.run().series.at(0).points.drawn().size());
}
BENCHMARK(BM_RssiRedraw)->Arg(1)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(60);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  benchmark::Initialize(&argc, argv);
  Capture day;
  capture = &day;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  capture = nullptr;
  if (heapMb.count(1) && heapMb.count(24)) {
    std::printf("heap in use: %.2f MB at 1 h, %.2f MB at 24 h (%+.1f %%)\n", heapMb[1], heapMb[24],
                (heapMb[24] - heapMb[1]) / heapMb[1] * 100);
  }
  Globals::tearDown();
  return 0;
}
