#pragma once
// A pseudo-terminal pair for tests: the test holds the master side, the code
// under test opens the slave path like a serial device.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "Common.h"

class PseudoTerminal {
 public:
  PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_ < 0) return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      closeMaster();
      return;
    }
    slavePath_ = ::ptsname(master_);
    termios raw{};
    if (::tcgetattr(master_, &raw) == 0) {
      ::cfmakeraw(&raw);
      ::tcsetattr(master_, TCSANOW, &raw);
    }
  }
  ~PseudoTerminal() { closeMaster(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& slavePath() const { return slavePath_; }
  void write(const Bytes& bytes) {
    for (size_t done = 0; master_ >= 0 && done < bytes.size();) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  // Reads until count bytes came or timeoutMs passed without any.
  Bytes read(size_t count, int timeoutMs = 2000) {
    Bytes out;
    while (master_ >= 0 && out.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) break;
      uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};
