#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

// Output nobody reads for this long is dropped: the PC has gone away.
constexpr int64_t kStaleOutputUs = 2000000;
constexpr int64_t kIdleWaitUs = 1000000;

int64_t steadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

PtyServer::PtyServer(VirtualTransceiver& rig, Log log)
    : rig_(rig), log_(std::move(log)), startNs_(steadyNs()) {}

PtyServer::~PtyServer() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

int64_t PtyServer::nowUs() const { return (steadyNs() - startNs_) / 1000; }

void PtyServer::open() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) throw systemError("posix_openpt");
  if (::grantpt(master_) != 0) throw systemError("grantpt");
  if (::unlockpt(master_) != 0) throw systemError("unlockpt");
  const char* name = ::ptsname(master_);
  if (!name) throw systemError("ptsname");
  slavePath_ = name;
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ < 0) throw systemError("open " + slavePath_);
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) throw systemError("tcgetattr");
  ::cfmakeraw(&tio);  // no echo, no translation: the echo is the transceiver's
  if (::tcsetattr(slave_, TCSANOW, &tio) != 0) throw systemError("tcsetattr");
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) throw systemError("fcntl");
}

void PtyServer::run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask) {
  while (!stop) {
    collectDue();
    writeToPc();
    pollfd fd{master_, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0};
    const int64_t wait = waitUs();
    const timespec timeout{static_cast<time_t>(wait / 1000000),
                           static_cast<long>((wait % 1000000) * 1000)};
    const int n = ::ppoll(&fd, 1, &timeout, &waitMask);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw systemError("ppoll");
    }
    if (n > 0 && (fd.revents & POLLIN)) readFromPc();
    dropStaleOutput();
  }
}

void PtyServer::readFromPc() {
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      rig_.fromPc(Bytes(buffer, buffer + n), nowUs());
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // EAGAIN: all read; EIO cannot happen while the slave is held open
  }
}

void PtyServer::collectDue() {
  const Bytes due = rig_.toPc(nowUs());
  unsent_.insert(unsent_.end(), due.begin(), due.end());
}

void PtyServer::writeToPc() {
  const size_t chunk = rig_.settings().splitWrites ? 1 : unsent_.size();
  size_t done = 0;
  while (done < unsent_.size()) {
    const ssize_t n = ::write(master_, unsent_.data() + done, std::min(chunk, unsent_.size() - done));
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // the terminal is full; POLLOUT tells when to go on
  }
  unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<std::ptrdiff_t>(done));
  if (unsent_.empty() || done > 0) blockedSinceUs_ = unsent_.empty() ? -1 : nowUs();
  else if (blockedSinceUs_ < 0) blockedSinceUs_ = nowUs();
}

// The slave is held open by this server, so output for a PC that has closed the
// port piles up in the terminal. Once nothing has been taken for a while, the
// terminal's input and what waits here are thrown away.
void PtyServer::dropStaleOutput() {
  if (blockedSinceUs_ < 0 || nowUs() - blockedSinceUs_ < kStaleOutputUs) return;
  ::tcflush(slave_, TCIFLUSH);
  if (log_) log_("nobody reads the terminal; dropped " + std::to_string(unsent_.size()) + " bytes");
  unsent_.clear();
  blockedSinceUs_ = -1;
}

int64_t PtyServer::waitUs() const {
  int64_t wait = kIdleWaitUs;
  if (const auto due = rig_.nextDueUs()) wait = std::clamp<int64_t>(*due - nowUs(), 0, kIdleWaitUs);
  if (!unsent_.empty()) wait = std::min<int64_t>(wait, kIdleWaitUs / 10);
  return wait;
}
