#include "CurvePoints.h"

#include <algorithm>

CurvePoints::Bucket CurvePoints::merged(const Bucket& a, const Bucket& b) {
  return {b.low.p.y() < a.low.p.y() ? b.low : a.low, b.high.p.y() > a.high.p.y() ? b.high : a.high,
          a.count + b.count};
}

void CurvePoints::append(QPoint p) {
  const Extreme e{p, taken_++};
  last_ = p;
  if (!buckets_.empty() && buckets_.back().count < perBucket_) {
    buckets_.back() = merged(buckets_.back(), Bucket{e, e, 1});
    return;
  }
  buckets_.push_back(Bucket{e, e, 1});
  if (buckets_.size() <= Kept) return;
  // One bucket too many: halve their number. The last, odd one stays as it is.
  size_t kept = 0;
  for (size_t i = 0; i + 1 < buckets_.size(); i += 2) buckets_[kept++] = merged(buckets_[i], buckets_[i + 1]);
  if (buckets_.size() % 2 != 0) buckets_[kept++] = buckets_.back();
  buckets_.resize(kept);
  perBucket_ *= 2;
}

QList<QPointF> CurvePoints::drawn() const {
  QList<QPointF> out;
  const size_t groups = std::min(buckets_.size(), Buckets);
  out.reserve(static_cast<qsizetype>(groups * 2));
  for (size_t g = 0; g < groups; ++g) {
    const size_t from = g * buckets_.size() / groups, to = (g + 1) * buckets_.size() / groups;
    Bucket b = buckets_[from];
    for (size_t i = from + 1; i < to; ++i) b = merged(b, buckets_[i]);
    if (b.low.order == b.high.order) {
      out.append(b.low.p);
    } else if (b.low.order < b.high.order) {
      out.append({QPointF(b.low.p), QPointF(b.high.p)});
    } else {
      out.append({QPointF(b.high.p), QPointF(b.low.p)});
    }
  }
  return out;
}
