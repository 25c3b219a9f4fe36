#pragma once
// The link layer wired straight to a virtual transceiver on the fake clock, with a
// tick that does what the utility's tick does for the link: received bytes to the
// driver, the driver's step, then the sequencer's step (twice while it runs).
#include <cstddef>
#include <vector>

#include "FakeClock.h"
#include "FakeLinkPort.h"
#include "LinkClient.h"
#include "LinkPort.h"
#include "VirtualTransceiver.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"

class SimLinkPort : public FakeLinkPort {
 public:
  SimLinkPort(VirtualTransceiver& rig, FakeClock& clock) : rig_(rig), clock_(clock), startMs_(clock.now()) {}

  void Output(const Bytes& bytes) override {
    written.push_back(bytes);
    rig_.fromPc(bytes, nowUs());
  }
  // Hands the bytes due now to the driver in one read; nobody listens on a closed port.
  void deliver() {
    const Bytes due = rig_.toPc(nowUs());
    if (open && !due.empty()) drv.read(due);
  }

 private:
  int64_t nowUs() const { return static_cast<int64_t>(static_cast<uint32_t>(clock_.now() - startMs_)) * 1000; }

  VirtualTransceiver& rig_;
  FakeClock& clock_;
  int32_t startMs_;
};

// Records failure reports and returns to idle the way the model object does.
class RecordingClient : public LinkClient {
 public:
  struct Report {
    int16_t driverError;
    int16_t seqError;
  };

  bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override { return nameS.substr(0, 4) <= "0100"; }
  void setRigVelaOp_Digital_Option(bool st) override { digitalOption = st; }
  void MsgBoxCloneErr(clsCmcLnk3Sequence& seq) override {
    reports.push_back({port != nullptr ? port->lnk3D().lastError() : int16_t{0}, seq.error()});
    seq.easyReset(portNo);
  }

  int16_t portNo = 1;
  bool digitalOption = false;
  LinkPort* port = nullptr;
  std::vector<Report> reports;
};

// A sequencer, radio and client around a SimLinkPort, ticking on the fake clock.
class SimLink {
 public:
  SimLink(VirtualTransceiver& rig, FakeClock& clock) : port(rig, clock), seq(port, radio, client), clock_(clock) {
    client.port = &port;
    radio.setradioNameM("2928");
    radio.setradionameS("0100");
    radio.cloneWriteAdrList_Add(0, 0x7D6F);
  }

  void tick(int32_t ms = 50) {
    clock_.advance(ms);
    port.deliver();
    port.drv.task();
    seq.task();
    if (seq.OpRunning()) seq.task();
  }
  // Ticks until the operation has ended; false if it did not within limitMs.
  bool runOperation(int32_t limitMs = 600000) {
    for (int32_t t = 0; t < limitMs && seq.OpRunning(); t += 50) tick();
    return !seq.OpRunning();
  }

  SimLinkPort port;
  clsCmcRadio radio;
  RecordingClient client;
  clsCmcLnk3Sequence seq;

 private:
  FakeClock& clock_;
};
