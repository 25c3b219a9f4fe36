#pragma once
// A serial control wired straight to a VirtualTransceiver, for tests: it behaves as
// the real port does on a millisecond clock. Never sleeps; time moves only with the
// clock.
//
// Sending: written bytes wait in the transmit buffer and go onto the line one by one
// at the rate of the settings text (ten bit times each); the transceiver hears a byte
// as it starts. Closing or ClearOutBuffer drops what has not started.
//
// Receiving: due bytes move into a receive buffer of InBufferSize bytes. Ordinary
// bytes that do not fit wait on the line; a burst (the flood) that does not fit is
// lost and Poll() raises comEventRxOver. What arrives while the port is closed is
// lost. With the transceiver's splitWrites fault Input() hands over one byte per call,
// but after TakeInArrived() everything at once, as a late reading does.
//
// The device: opening fails for a port number that does not exist, for settings the
// real control refuses, and while the device is gone (unplugged, or the transceiver
// hung up its line until it is reset); an open port finds it gone at the next Poll().
#include <cstdint>
#include <deque>
#include <set>
#include <utility>

#include "MillisecondTimeline.h"
#include "SerialControl.h"
#include "VirtualTransceiver.h"

class LoopbackSerialControl : public SerialControl {
 public:
  LoopbackSerialControl(VirtualTransceiver& rig, MillisecondTimeline::Clock clock);

  // Port numbers that open; 1 to 10 unless set.
  void setExistingPorts(std::set<int16_t> ports) { existingPorts_ = std::move(ports); }

  bool PortOpen() const override { return open_; }
  bool setPortOpen(bool open) override;
  int32_t InBufferCount() const override;
  int32_t OutBufferCount() const override;
  bool ClearOutBuffer() override;
  Bytes Input() override;
  void Output(const Bytes& bytes) override;
  // As the real port: no receive event while a reading could not raise one yet:
  // until the line time of count bytes (or RThreshold, or for the next tick many)
  // less one, and a millisecond, has passed since the last reading or writing.
  void ExpectBytes(int32_t count, Haste haste = Haste::AtOnce) override;
  void TakeInArrived() override;

  // Raises the events a real control would have raised by now: comEventRxOver once
  // after an overflow; a pending line error before the receive event of its chunk;
  // then, unless expected bytes keep it quiet, comEvReceive (when RThreshold > 0 and
  // that many bytes wait) for as long as the handler keeps taking bytes; and
  // OnVanished once the device is gone.
  void Poll();
  // The cable is pulled out (the next Poll() finds the device gone) or put back.
  void Unplug() { plugged_ = false; }
  void Plug() { plugged_ = true; }
  // The next bytes to arrive come with a line error of that kind (a CommEvent code).
  void spoilNextChunk(int16_t commEvent) { spoilEvent_ = commEvent; }

  int64_t nowUs() const { return timeline_.nowUs(); }
  uint64_t bytesLost() const { return bytesLost_; }

 private:
  struct QueuedByte {
    int64_t startUs;
    uint8_t value;
  };

  bool devicePresent() const;
  // Hands the bytes whose turn on the line has come to the transceiver.
  void transmitDue() const;
  // Moves what is due into the receive buffer.
  void receiveDue() const;
  void raiseReceiveEvents();

  VirtualTransceiver& rig_;
  mutable MillisecondTimeline timeline_;
  std::set<int16_t> existingPorts_{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  bool open_ = false;
  bool plugged_ = true;
  int32_t baud_ = 9600;
  mutable std::deque<QueuedByte> transmit_;
  int64_t lineFreeScaled_ = 0;  // microseconds times the baud rate
  int64_t byteTimeNs_ = 0;
  int64_t lastTransferUs_ = 0;
  int64_t quietUntilUs_ = 0;
  bool takeAllAtOnce_ = false;  // the next Input() takes everything received
  mutable Bytes received_;
  mutable bool overflowPending_ = false;
  mutable bool spoilArmed_ = false;
  int16_t spoilEvent_ = 0;
  mutable uint64_t bytesLost_ = 0;
};
