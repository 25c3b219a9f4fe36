#pragma once
// Serves a VirtualTransceiver on a pseudo-terminal. The server keeps the slave side
// open itself, in raw mode, so the PC may close and reopen it at will.
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "Common.h"
#include "VirtualTransceiver.h"

class PtyServer {
 public:
  using Log = std::function<void(const std::string&)>;

  PtyServer(VirtualTransceiver& rig, Log log);
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
  void readFromPc();
  void collectDue();
  void writeToPc();
  void dropStaleOutput();
  int64_t waitUs() const;

  VirtualTransceiver& rig_;
  Log log_;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  int64_t startNs_ = 0;
  Bytes unsent_;
  int64_t blockedSinceUs_ = -1;
};
