#include "LoopbackSerialControl.h"

#include <algorithm>
#include <utility>

namespace {

// Enough for every byte of the largest answer to raise its own event.
constexpr int kMaxEventsPerPoll = 1 << 20;

}  // namespace

LoopbackSerialControl::LoopbackSerialControl(VirtualTransceiver& rig,
                                             MillisecondTimeline::Clock clock)
    : rig_(rig), timeline_(std::move(clock)) {}

bool LoopbackSerialControl::setPortOpen(bool open) {
  if (open == open_) return true;
  rig_.toPc(timeline_.nowUs());  // what arrived while nobody listened is gone
  received_.clear();
  overflowPending_ = false;
  if (open && existingPorts_.count(CommPort()) == 0) return false;
  open_ = open;
  return true;
}

void LoopbackSerialControl::receiveDue() const {
  const int64_t now = timeline_.nowUs();
  if (!open_) {
    rig_.toPc(now);
    return;
  }
  const size_t capacity = static_cast<size_t>(std::max<int32_t>(InBufferSize(), 1));
  const size_t room = capacity > received_.size() ? capacity - received_.size() : 0;
  size_t lost = 0;
  const Bytes due = rig_.toPc(now, room, &lost);
  received_.insert(received_.end(), due.begin(), due.end());
  if (lost > 0) {
    bytesLost_ += lost;
    overflowPending_ = true;
  }
}

int32_t LoopbackSerialControl::InBufferCount() const {
  receiveDue();
  return static_cast<int32_t>(received_.size());
}

Bytes LoopbackSerialControl::Input() {
  receiveDue();
  if (!open_) return {};
  Bytes out;
  if (rig_.settings().splitWrites && !received_.empty()) {
    out.push_back(received_.front());
    received_.erase(received_.begin());
  } else {
    out.swap(received_);
  }
  return out;
}

void LoopbackSerialControl::Output(const Bytes& bytes) {
  if (!open_) return;
  rig_.fromPc(bytes, timeline_.nowUs());
}

void LoopbackSerialControl::Poll() {
  receiveDue();
  if (overflowPending_) {
    overflowPending_ = false;
    raiseComm(comEventRxOver);
  }
  for (int i = 0; i < kMaxEventsPerPoll && open_ && RThreshold() > 0; ++i) {
    const int32_t before = InBufferCount();
    if (before < RThreshold()) break;
    raiseComm(comEvReceive);
    if (!open_ || InBufferCount() >= before) break;  // the handler took nothing
  }
}

void LoopbackSerialControl::Unplug() {
  if (!open_) return;
  setPortOpen(false);
  raiseVanished();
}
