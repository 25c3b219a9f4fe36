#pragma once
// The serial control on a real device, through QSerialPort.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "SerialControl.h"

class QtSerialControl : public QObject, public SerialControl {
  Q_OBJECT
 public:
  // Counters of line errors as the serial driver keeps them.
  struct LineCounts {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
  };
  // Reads the counters of an open device; false when it keeps none. The default
  // asks the serial driver (TIOCGICOUNT).
  using CounterReader = std::function<bool(int fd, LineCounts& counts)>;

  explicit QtSerialControl(QObject* parent = nullptr);
  explicit QtSerialControl(CounterReader readCounts, QObject* parent = nullptr);

  bool PortOpen() const override;
  bool setPortOpen(bool open) override;
  int32_t InBufferCount() const override;
  int32_t OutBufferCount() const override;
  bool ClearOutBuffer() override;
  Bytes Input() override;
  void Output(const Bytes& bytes) override;
  // Stops watching the device while the expected bytes cannot all be there yet.
  void ExpectBytes(int32_t count, Haste haste = Haste::AtOnce) override;
  void TakeInArrived() override;

  // Event codes for the line errors counted between two readings.
  static std::vector<int16_t> LineErrorEvents(const LineCounts& before, const LineCounts& after);

 private:
  bool openDevice();
  void closeDevice();
  void watchDevice(bool on);
  void endQuiet();
  void applyLineControl();
  void onReadyRead();
  void onError(QSerialPort::SerialPortError error);
  void handleVanished(uint64_t failed);
  bool readLineCounts(LineCounts& counts) const;
  void pollLineErrors();

  CounterReader readCounts_;
  QSerialPort port_;
  LineCounts lastCounts_;
  bool countsKnown_ = false;
  uint64_t openings_ = 0;
  // The port's own read notifier; disabled, the port reads nothing until enabled.
  QPointer<QSocketNotifier> readNotifier_;
  QTimer quiet_;
  QElapsedTimer clock_;
  int64_t lastTransferNs_ = 0;
  int64_t byteTimeNs_ = 0;
};
