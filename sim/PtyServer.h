#pragma once
// Serves a VirtualTransceiver on a pseudo-terminal, as a line would: what the
// transceiver sends while no PC has the port open is lost, and when the PC lets go
// (closing, or dying with the port open) its exclusive-use flag is cleared so that
// the next program can open the port. When the transceiver hangs up, the terminal
// closes and a new one takes its place.
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "Common.h"
#include "VirtualTransceiver.h"

class PtyServer {
 public:
  using Log = std::function<void(const std::string&)>;
  // Told the slave path of every terminal the server opens.
  using TerminalHandler = std::function<void(const std::string&)>;

  PtyServer(VirtualTransceiver& rig, Log log, TerminalHandler onTerminal = {});
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the terminal; throws std::runtime_error.
  void open();
  const std::string& slavePath() const { return slavePath_; }

  // Serves until stop becomes non-zero. The caller blocks the stop signals; they are
  // let through only while waiting (waitMask is the mask to wait with).
  void run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask);

  // Microseconds since the server was created.
  int64_t nowUs() const;

 private:
  void closeTerminal();
  void readPeerEvents();
  void peerLetGo();
  void readFromPc();
  void collectDue();
  void writeToPc();
  void dropStaleOutput();
  bool readyToHangUp();
  int64_t waitUs() const;

  VirtualTransceiver& rig_;
  Log log_;
  TerminalHandler onTerminal_;
  int master_ = -1;
  int slave_ = -1;  // held, so the terminal outlives the PC's openings
  int notify_ = -1;
  int watch_ = -1;
  int peers_ = 0;  // openings of the slave by others
  std::string slavePath_;
  int64_t startNs_ = 0;
  Bytes unsent_;
  int64_t blockedSinceUs_ = -1;
  int64_t hangUpWaitSinceUs_ = -1;
  int64_t lastWriteUs_ = -1;
};
