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
  SimLinkPort(VirtualTransceiver& rig, FakeClock& clock);

  void Output(const Bytes& bytes) override;
  // Hands the bytes due now to the driver in one read.
  void deliver();

 private:
  int64_t nowUs() const;

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
  void MsgBoxCloneErr(clsCmcLnk3Sequence& seq) override;

  int16_t portNo = 1;
  bool digitalOption = false;
  LinkPort* port = nullptr;
  std::vector<Report> reports;
};

// A sequencer, radio and client around a SimLinkPort, ticking on the fake clock.
class SimLink {
 public:
  SimLink(VirtualTransceiver& rig, FakeClock& clock);

  void tick(int32_t ms = 50);
  // Ticks until the operation has ended; false if it did not within limitMs.
  bool runOperation(int32_t limitMs = 600000);

  SimLinkPort port;
  clsCmcRadio radio;
  RecordingClient client;
  clsCmcLnk3Sequence seq;

 private:
  FakeClock& clock_;
};
