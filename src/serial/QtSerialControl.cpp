#include "QtSerialControl.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <QMetaObject>

#include "LineSettings.h"
#include "PortDiagnosis.h"

namespace {

QSerialPort::Parity toParity(char p) {
  switch (p) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits toStopBits(int tenths) {
  if (tenths == 15) return QSerialPort::OneAndHalfStop;
  if (tenths == 20) return QSerialPort::TwoStop;
  return QSerialPort::OneStop;
}

bool driverLineCounts(int fd, QtSerialControl::LineCounts& counts) {
  serial_icounter_struct icount{};
  if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  counts = {icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
  return true;
}

}  // namespace

QtSerialControl::QtSerialControl(QObject* parent) : QtSerialControl(driverLineCounts, parent) {}

QtSerialControl::QtSerialControl(CounterReader readCounts, QObject* parent)
    : QObject(parent), readCounts_(std::move(readCounts)) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialControl::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
  quiet_.setSingleShot(true);
  quiet_.setTimerType(Qt::PreciseTimer);
  connect(&quiet_, &QTimer::timeout, this, &QtSerialControl::endQuiet);
  clock_.start();
}

bool QtSerialControl::PortOpen() const { return port_.isOpen(); }

bool QtSerialControl::setPortOpen(bool open) {
  if (!open) {
    closeDevice();
    return true;
  }
  if (port_.isOpen()) return true;
  if (openDevice()) return true;
  closeDevice();
  return false;
}

void QtSerialControl::closeDevice() {
  quiet_.stop();
  readNotifier_ = nullptr;
  if (port_.isOpen()) port_.close();
}

bool QtSerialControl::openDevice() {
  const std::optional<LineSettings> settings = LineSettings::Parse(Settings());
  if (!settings || !DeviceFor) return false;
  port_.setPortName(QString::fromStdString(DeviceFor(CommPort())));
  port_.setReadBufferSize(0);  // the overflow rule below decides, not Qt
  if (!port_.open(QIODevice::ReadWrite)) return false;
  // A terminal that cannot be a serial line (the pseudo-terminal master) is refused.
  if (!PortDiagnosis::NotSerialReason(static_cast<int>(port_.handle())).empty()) return false;
  ++openings_;
  const bool configured = port_.setBaudRate(settings->baud) &&
                          port_.setDataBits(static_cast<QSerialPort::DataBits>(settings->dataBits)) &&
                          port_.setParity(toParity(settings->parity)) &&
                          port_.setStopBits(toStopBits(settings->stopTenths)) &&
                          port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!configured) return false;
  applyLineControl();
  // Bytes from before the opening (kept by the device across a close) are stale.
  port_.clear(QSerialPort::Input);
  port_.clearError();
  countsKnown_ = readLineCounts(lastCounts_);
  byteTimeNs_ = settings->ByteTimeNs();
  lastTransferNs_ = clock_.nsecsElapsed();
  // The port reads through a read notifier of its own, a child of it; the only way
  // to pause its reading. Without it the device is simply watched all the time.
  for (QSocketNotifier* n : port_.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
    if (n->type() == QSocketNotifier::Read && n->isEnabled() && n->socket() == port_.handle()) readNotifier_ = n;
  }
  return true;
}

// DTR and RTS where the device has them; a pseudo-terminal has neither.
void QtSerialControl::applyLineControl() {
  port_.setDataTerminalReady(DTREnable());
  port_.setRequestToSend(RTSEnable());
}

int32_t QtSerialControl::InBufferCount() const {
  return port_.isOpen() ? static_cast<int32_t>(std::min<qint64>(port_.bytesAvailable(), INT32_MAX)) : 0;
}

int32_t QtSerialControl::OutBufferCount() const {
  return port_.isOpen() ? static_cast<int32_t>(std::min<qint64>(port_.bytesToWrite(), INT32_MAX)) : 0;
}

bool QtSerialControl::ClearOutBuffer() {
  if (!port_.isOpen()) return true;
  return port_.clear(QSerialPort::Output);
}

Bytes QtSerialControl::Input() {
  if (!port_.isOpen()) return {};
  const QByteArray data = port_.readAll();
  return Bytes(data.begin(), data.end());
}

void QtSerialControl::Output(const Bytes& bytes) {
  if (!port_.isOpen() || bytes.empty()) return;
  port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  // What the receiver expected was worked out before this frame; wait for a new hint.
  lastTransferNs_ = clock_.nsecsElapsed();
  quiet_.stop();
  watchDevice(true);
}

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
// The quiet ends this long before the second last byte can be there.
constexpr int64_t kMarginNs = kNsPerMs;

}  // namespace

// A reading raises no receive event before the frame can be complete, nor before
// RThreshold bytes wait. The last byte cannot arrive before (count - 1) line times
// after the last reading or writing; the device is left alone until then, less a
// margin for the timer, and watched again for the byte that completes them. By the
// next tick, it is left alone as long as it safely can be.
void QtSerialControl::ExpectBytes(int32_t count, Haste haste) {
  if (!port_.isOpen()) return;
  quiet_.stop();
  const int64_t bytes = BytesBeforeReceive(count, haste, port_.bytesAvailable());
  const int64_t quietMs = (lastTransferNs_ + (bytes - 1) * byteTimeNs_ - kMarginNs - clock_.nsecsElapsed()) / kNsPerMs;
  if (bytes < 2 || quietMs < 1 || readNotifier_.isNull()) {
    watchDevice(true);
    return;
  }
  watchDevice(false);
  quiet_.start(static_cast<int>(std::min<int64_t>(quietMs, INT32_MAX)));
}

// Reads what has come at once, without a round through the event loop, and watches
// the device again unless its receive event began a new quiet.
void QtSerialControl::endQuiet() {
  TakeInArrived();
  if (!quiet_.isActive()) watchDevice(true);
}

// A device that has gone shows as readable: the reading fails and reports it.
void QtSerialControl::TakeInArrived() {
  int waiting = 0;
  if (!port_.isOpen()) return;
  if (::ioctl(static_cast<int>(port_.handle()), FIONREAD, &waiting) != 0 || waiting > 0) port_.waitForReadyRead(0);
}

void QtSerialControl::watchDevice(bool on) {
  if (!readNotifier_.isNull() && port_.isOpen()) readNotifier_->setEnabled(on);
}

// Line errors are raised before the receive event of the same chunk, so that the
// port form can drop the bytes they spoiled.
void QtSerialControl::onReadyRead() {
  lastTransferNs_ = clock_.nsecsElapsed();
  pollLineErrors();
  if (!port_.isOpen()) return;
  if (port_.bytesAvailable() > InBufferSize()) {
    raiseComm(comEventRxOver);
  } else if (port_.bytesAvailable() >= std::max<int32_t>(RThreshold(), 1)) {
    raiseComm(comEvReceive);
  }
}

void QtSerialControl::onError(QSerialPort::SerialPortError error) {
  // An unplugged device shows as a resource error; a hung-up line as failing reads.
  const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
  if (!gone || !port_.isOpen()) return;
  // Leave the port's own signal handling before closing it; an opening made
  // meanwhile is not the one that failed.
  const uint64_t failed = openings_;
  QMetaObject::invokeMethod(
      this, [this, failed] { handleVanished(failed); }, Qt::QueuedConnection);
}

void QtSerialControl::handleVanished(uint64_t failed) {
  if (!port_.isOpen() || failed != openings_) return;
  closeDevice();
  raiseVanished();
}

bool QtSerialControl::readLineCounts(LineCounts& counts) const {
  return port_.isOpen() && readCounts_ && readCounts_(static_cast<int>(port_.handle()), counts);
}

void QtSerialControl::pollLineErrors() {
  if (!countsKnown_) return;
  LineCounts now;
  if (!readLineCounts(now)) return;
  const std::vector<int16_t> events = LineErrorEvents(lastCounts_, now);
  lastCounts_ = now;
  for (int16_t e : events) raiseComm(e);
}

std::vector<int16_t> QtSerialControl::LineErrorEvents(const LineCounts& before, const LineCounts& after) {
  std::vector<int16_t> events;
  if (after.brk != before.brk) events.push_back(comEventBreak);
  if (after.frame != before.frame) events.push_back(comEventFrame);
  if (after.overrun != before.overrun || after.bufOverrun != before.bufOverrun)
    events.push_back(comEventOverrun);
  if (after.parity != before.parity) events.push_back(comEventRxParity);
  return events;
}
