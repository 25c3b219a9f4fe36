#pragma once
// The points of a series as drawn: every point while there are few, then, however
// long the series runs, 2 x Buckets points. The points taken are cut into equal
// runs, at most Kept of them; each run keeps its lowest and its highest point, so
// peaks and dips survive. When the runs are too many, neighbours merge in pairs. To
// draw, the runs are gathered into Buckets groups, each drawn as its lowest and its
// highest point in the order taken.
#include <QList>
#include <QPoint>
#include <QPointF>
#include <cstdint>
#include <vector>

class CurvePoints {
 public:
  static constexpr size_t Buckets = 1024;
  static constexpr size_t Kept = 4 * Buckets;

  void append(QPoint p);
  bool empty() const { return buckets_.empty(); }
  // Every point taken, drawn or not.
  uint64_t taken() const { return taken_; }
  QPoint last() const { return last_; }
  QList<QPointF> drawn() const;

 private:
  struct Extreme {
    QPoint p;
    uint64_t order;
  };
  struct Bucket {
    Extreme low, high;
    uint64_t count;
  };
  static Bucket merged(const Bucket& a, const Bucket& b);

  std::vector<Bucket> buckets_;
  uint64_t perBucket_ = 1;
  uint64_t taken_ = 0;
  QPoint last_;
};
