#pragma once
// A serial control wired straight to a VirtualTransceiver, for tests: writes reach
// the transceiver at once, reads give what is due on a millisecond clock. Never
// sleeps; time moves only with the clock.
//
// Receiving: due bytes move into a receive buffer of InBufferSize bytes. Ordinary
// bytes that do not fit wait on the line; a burst (the flood) that does not fit is
// lost and Poll() raises comEventRxOver. With the transceiver's splitWrites fault
// Input() hands over one byte per call.
#include <cstdint>
#include <set>

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
  int32_t OutBufferCount() const override { return 0; }
  bool ClearOutBuffer() override { return true; }
  Bytes Input() override;
  void Output(const Bytes& bytes) override;

  // Raises the events a real control would have raised by now: comEventRxOver once
  // after an overflow, then comEvReceive (when RThreshold > 0 and that many bytes
  // wait) for as long as the handler keeps taking bytes.
  void Poll();
  // The cable is pulled out: the port closes and OnVanished is raised.
  void Unplug();

  int64_t nowUs() const { return timeline_.nowUs(); }
  uint64_t bytesLost() const { return bytesLost_; }

 private:
  // Moves what is due into the receive buffer.
  void receiveDue() const;

  VirtualTransceiver& rig_;
  mutable MillisecondTimeline timeline_;
  std::set<int16_t> existingPorts_{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  bool open_ = false;
  mutable Bytes received_;
  mutable bool overflowPending_ = false;
  mutable uint64_t bytesLost_ = 0;
};
