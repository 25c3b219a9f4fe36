#pragma once
// One procedure run as drawn: its series of points in the order taken (bounded,
// see CurvePoints; the files keep every point) and the marks it ends with.
#include <QString>
#include <cstdint>
#include <vector>

#include "CurvePoints.h"

struct CurveSeries {
  QString name;     // "BPF T1", "RX LVA", "RSSI"
  QString fileTag;  // "bpf-t1", "rx-lva", "rssi"
  CurvePoints points;
  int16_t endValue = -1;
  int16_t plateauFrom = -1, plateauTo = -1;
};

struct CurveRun {
  enum class Kind { Sweep, Level, Rssi };
  struct Capture {
    int16_t which;  // 3 or 1
    int32_t timeMs;
    int16_t level;
  };

  Kind kind = Kind::Sweep;
  int number = 0;
  bool coarse = false;
  std::vector<CurveSeries> series;
  int16_t target = -1;
  QString failure;
  std::vector<Capture> captures;
  bool ended = false;
};
