#include "LoopbackSerialControl.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "LineSettings.h"

namespace {

// Enough for every byte of the largest answer to raise its own event.
constexpr int kMaxEventsPerPoll = 1 << 20;
constexpr int64_t kBitTimesPerByte = 10;
constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kMarginNs = 1'000'000;

}  // namespace

LoopbackSerialControl::LoopbackSerialControl(VirtualTransceiver& rig,
                                             MillisecondTimeline::Clock clock)
    : rig_(rig), timeline_(std::move(clock)) {}

bool LoopbackSerialControl::devicePresent() const {
  return plugged_ && !rig_.hungUpAt(timeline_.nowUs());
}

bool LoopbackSerialControl::setPortOpen(bool open) {
  if (open == open_) return true;
  transmitDue();
  transmit_.clear();
  rig_.toPc(timeline_.nowUs());  // what arrived while nobody listened is gone
  received_.clear();
  overflowPending_ = false;
  spoilArmed_ = false;
  quietUntilUs_ = 0;
  if (open) {
    const std::optional<LineSettings> settings = LineSettings::Parse(Settings());
    if (!settings || existingPorts_.count(CommPort()) == 0 || !devicePresent()) return false;
    baud_ = settings->baud;
    byteTimeNs_ = settings->ByteTimeNs();
    lineFreeScaled_ = 0;
    lastTransferUs_ = timeline_.nowUs();
  }
  open_ = open;
  return true;
}

void LoopbackSerialControl::transmitDue() const {
  const int64_t now = timeline_.nowUs();
  while (!transmit_.empty() && transmit_.front().startUs <= now) {
    if (plugged_) rig_.fromPc(Bytes{transmit_.front().value}, transmit_.front().startUs);
    transmit_.pop_front();
  }
}

int32_t LoopbackSerialControl::OutBufferCount() const {
  transmitDue();
  return static_cast<int32_t>(transmit_.size());
}

bool LoopbackSerialControl::ClearOutBuffer() {
  transmitDue();
  transmit_.clear();
  return true;
}

void LoopbackSerialControl::Output(const Bytes& bytes) {
  if (!open_) return;
  lastTransferUs_ = timeline_.nowUs();
  quietUntilUs_ = 0;
  transmitDue();
  const int64_t byteTime = kBitTimesPerByte * kMicrosPerSecond;
  for (uint8_t b : bytes) {
    const int64_t start = std::max(lineFreeScaled_, timeline_.nowUs() * baud_);
    lineFreeScaled_ = start + byteTime;
    transmit_.push_back({(start + baud_ - 1) / baud_, b});
  }
  transmitDue();
}

void LoopbackSerialControl::receiveDue() const {
  transmitDue();
  const int64_t now = timeline_.nowUs();
  if (!open_ || !plugged_) {
    rig_.toPc(now);  // lost: nobody listens, or the cable is out
    return;
  }
  const size_t capacity = static_cast<size_t>(std::max<int32_t>(InBufferSize(), 1));
  const size_t room = capacity > received_.size() ? capacity - received_.size() : 0;
  size_t lost = 0;
  const Bytes due = rig_.toPc(now, room, &lost);
  received_.insert(received_.end(), due.begin(), due.end());
  if (!due.empty() && spoilEvent_ != 0) spoilArmed_ = true;
  if (lost > 0) {
    bytesLost_ += lost;
    overflowPending_ = true;
  }
}

int32_t LoopbackSerialControl::InBufferCount() const {
  receiveDue();
  return static_cast<int32_t>(received_.size());
}

void LoopbackSerialControl::ExpectBytes(int32_t count, Haste haste) {
  if (!open_) return;
  const int64_t bytes = BytesBeforeReceive(count, haste, static_cast<int64_t>(received_.size()));
  quietUntilUs_ = bytes < 2 ? 0 : lastTransferUs_ + ((bytes - 1) * byteTimeNs_ - kMarginNs) / 1000;
}

// As the real port's reading at the tick: one piece, however it came.
void LoopbackSerialControl::TakeInArrived() {
  receiveDue();
  takeAllAtOnce_ = received_.size() > 1;
}

Bytes LoopbackSerialControl::Input() {
  receiveDue();
  if (!open_) return {};
  lastTransferUs_ = timeline_.nowUs();
  Bytes out;
  if (rig_.settings().splitWrites && !received_.empty() && !std::exchange(takeAllAtOnce_, false)) {
    out.push_back(received_.front());
    received_.erase(received_.begin());
  } else {
    out.swap(received_);
  }
  return out;
}

void LoopbackSerialControl::Poll() {
  receiveDue();
  if (overflowPending_) {
    overflowPending_ = false;
    raiseComm(comEventRxOver);
  }
  if (spoilArmed_) {
    const int16_t event = spoilEvent_;
    spoilArmed_ = false;
    spoilEvent_ = 0;
    raiseComm(event);
  }
  if (timeline_.nowUs() >= quietUntilUs_) raiseReceiveEvents();
  if (open_ && !devicePresent()) {
    setPortOpen(false);
    raiseVanished();
  }
}

void LoopbackSerialControl::raiseReceiveEvents() {
  for (int i = 0; i < kMaxEventsPerPoll && open_ && RThreshold() > 0; ++i) {
    const int32_t before = InBufferCount();
    if (before < RThreshold()) break;
    raiseComm(comEvReceive);
    if (!open_ || InBufferCount() >= before) break;  // the handler took nothing
  }
}
