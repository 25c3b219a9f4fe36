#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
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

PseudoTerminal::~PseudoTerminal() { closeMaster(); }

void PseudoTerminal::write(const Bytes& bytes) {
  size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

Bytes PseudoTerminal::read(size_t count, int timeoutMs) {
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

void PseudoTerminal::closeMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}
