#pragma once
// The serial control the port form drives: configuration, open state, buffered I/O
// and the receive event. The utility uses a QSerialPort behind it; tests use a
// loopback to the virtual transceiver.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "Common.h"
#include "Haste.h"

class SerialControl {
 public:
  // Event codes handed to OnComm.
  enum CommEvent : int16_t {
    comEvReceive = 2,
    comEventBreak = 1001,
    comEventCTSTO = 1002,
    comEventDSRTO = 1003,
    comEventFrame = 1004,
    comEventOverrun = 1006,
    comEventCDTO = 1007,
    comEventRxOver = 1008,
    comEventRxParity = 1009,
    comEventTxFull = 1010,
    comEventDCB = 1011,
  };

  virtual ~SerialControl() = default;

  // Configuration; takes effect at the next opening.
  int16_t CommPort() const { return commPort_; }
  void setCommPort(int16_t v) { commPort_ = v; }
  const std::string& Settings() const { return settings_; }
  void setSettings(const std::string& v) { settings_ = v; }
  bool DTREnable() const { return dtrEnable_; }
  void setDTREnable(bool v) { dtrEnable_ = v; }
  bool RTSEnable() const { return rtsEnable_; }
  void setRTSEnable(bool v) { rtsEnable_ = v; }
  int32_t InBufferSize() const { return inBufferSize_; }
  void setInBufferSize(int32_t v) { inBufferSize_ = v; }
  int32_t OutBufferSize() const { return outBufferSize_; }
  void setOutBufferSize(int32_t v) { outBufferSize_ = v; }
  int32_t RThreshold() const { return rThreshold_; }
  void setRThreshold(int32_t v) { rThreshold_ = v; }
  int32_t SThreshold() const { return sThreshold_; }
  void setSThreshold(int32_t v) { sThreshold_ = v; }

  virtual bool PortOpen() const = 0;
  // Opens or closes; false when the device refused (the port is then closed).
  virtual bool setPortOpen(bool open) = 0;
  virtual int32_t InBufferCount() const = 0;
  virtual int32_t OutBufferCount() const = 0;
  // Drops what waits for transmission; false when the device refused.
  virtual bool ClearOutBuffer() = 0;
  // Everything received so far (empty on a closed port).
  virtual Bytes Input() = 0;
  // Queues the bytes for transmission, in order.
  virtual void Output(const Bytes& bytes) = 0;
  // The receiver needs count more bytes before what it awaits can be complete (0:
  // nothing awaited). The control may hold the receive event back while a reading
  // could not raise it yet, counted in line times from the last reading or writing,
  // so that it wakes once for the lot, never past the time the last of them can
  // have arrived. By the next tick: until the tick takes them in (TakeInArrived).
  virtual void ExpectBytes(int32_t count, Haste haste = Haste::AtOnce) {
    (void)count;
    (void)haste;
  }
  // Takes in what the device has received meanwhile, so that the tick sees every
  // byte that has arrived, watched or not.
  virtual void TakeInArrived() {}

  // Device path behind a port number; the port form supplies it.
  std::function<std::string(int16_t commPort)> DeviceFor;

  // Raised with a CommEvent code.
  std::function<void(int16_t commEvent)> OnComm;
  // Raised when an open device disappears (cable unplugged).
  std::function<void()> OnVanished;

 protected:
  // How many bytes must be there before a reading can raise the receive event: the
  // count, or RThreshold less the waiting bytes; by the next tick, as many as the
  // device safely holds. 0 when nothing is awaited.
  int64_t BytesBeforeReceive(int32_t count, Haste haste, int64_t waiting) const {
    constexpr int64_t kMaxQuietBytes = 1024;
    if (count < 1) return 0;
    if (haste == Haste::ByNextTick) return kMaxQuietBytes;
    return std::min(std::max<int64_t>(count, RThreshold() - waiting), kMaxQuietBytes);
  }
  void raiseComm(int16_t commEvent) {
    if (OnComm) OnComm(commEvent);
  }
  void raiseVanished() {
    if (OnVanished) OnVanished();
  }

 private:
  int16_t commPort_ = 1;
  std::string settings_ = "9600,N,8,1";
  bool dtrEnable_ = false;
  bool rtsEnable_ = false;
  int32_t inBufferSize_ = 1024;
  int32_t outBufferSize_ = 512;
  int32_t rThreshold_ = 0;
  int32_t sThreshold_ = 0;
};
