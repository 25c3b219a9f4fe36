#include "SimLinkPort.h"

SimLinkPort::SimLinkPort(VirtualTransceiver& rig, FakeClock& clock)
    : rig_(rig), clock_(clock), startMs_(clock.now()) {}

int64_t SimLinkPort::nowUs() const {
  return static_cast<int64_t>(static_cast<uint32_t>(clock_.now() - startMs_)) * 1000;
}

void SimLinkPort::Output(const Bytes& bytes) {
  written.push_back(bytes);
  rig_.fromPc(bytes, nowUs());
}

void SimLinkPort::deliver() {
  if (!open) {
    rig_.toPc(nowUs());  // nobody listens on a closed port
    return;
  }
  const Bytes due = rig_.toPc(nowUs());
  if (due.empty()) return;
  drv.read(due);
}

void RecordingClient::MsgBoxCloneErr(clsCmcLnk3Sequence& seq) {
  reports.push_back({port != nullptr ? port->lnk3D().lastError() : int16_t{0}, seq.error()});
  seq.easyReset(portNo);
}

SimLink::SimLink(VirtualTransceiver& rig, FakeClock& clock)
    : port(rig, clock), seq(port, radio, client), clock_(clock) {
  client.port = &port;
  radio.setradioNameM("2928");
  radio.setradionameS("0100");
  radio.cloneWriteAdrList_Add(0, 0x7D6F);
}

void SimLink::tick(int32_t ms) {
  clock_.advance(ms);
  port.deliver();
  port.drv.task();
  seq.task();
  if (seq.OpRunning()) seq.task();
}

bool SimLink::runOperation(int32_t limitMs) {
  for (int32_t t = 0; t < limitMs && seq.OpRunning(); t += 50) tick();
  return !seq.OpRunning();
}
