#pragma once
// Runs the event loop until done() holds or limitMs have passed, looking every pollMs.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>

inline bool runUntil(const std::function<bool()>& done, int limitMs, int pollMs = 1) {
  QEventLoop loop;
  QElapsedTimer wall;
  wall.start();
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (done() || wall.elapsed() > limitMs) loop.quit();
  });
  watch.start(pollMs);
  loop.exec();
  return done();
}
