#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
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
// Time for bytes written to the terminal to reach its reading side.
constexpr int64_t kSettleUs = 100000;

int64_t steadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

PtyServer::PtyServer(VirtualTransceiver& rig, Log log, TerminalHandler onTerminal)
    : rig_(rig), log_(std::move(log)), onTerminal_(std::move(onTerminal)), startNs_(steadyNs()) {}

PtyServer::~PtyServer() {
  closeTerminal();
  if (notify_ >= 0) ::close(notify_);
}

int64_t PtyServer::nowUs() const { return (steadyNs() - startNs_) / 1000; }

void PtyServer::open() {
  if (notify_ < 0) notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notify_ < 0) throw systemError("inotify_init1");
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw systemError("posix_openpt");
  if (::grantpt(master_) != 0) throw systemError("grantpt");
  if (::unlockpt(master_) != 0) throw systemError("unlockpt");
  const char* name = ::ptsname(master_);
  if (!name) throw systemError("ptsname");
  slavePath_ = name;
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) throw systemError("open " + slavePath_);
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) throw systemError("tcgetattr");
  ::cfmakeraw(&tio);  // no echo, no translation: the echo is the transceiver's
  if (::tcsetattr(slave_, TCSANOW, &tio) != 0) throw systemError("tcsetattr");
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) throw systemError("fcntl");
  // Every opening and closing by others, a killed program's included.
  watch_ = ::inotify_add_watch(notify_, slavePath_.c_str(), IN_OPEN | IN_CLOSE);
  if (watch_ < 0) throw systemError("inotify_add_watch " + slavePath_);
  peers_ = 0;
  if (onTerminal_) onTerminal_(slavePath_);
}

void PtyServer::closeTerminal() {
  if (watch_ >= 0) ::inotify_rm_watch(notify_, watch_);
  watch_ = -1;
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  unsent_.clear();
  blockedSinceUs_ = hangUpWaitSinceUs_ = -1;
}

void PtyServer::run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask) {
  while (!stop) {
    readPeerEvents();
    collectDue();
    writeToPc();
    if (readyToHangUp()) {
      if (log_) log_("hung up " + slavePath_);
      closeTerminal();
      rig_.reset();
      open();
      continue;
    }
    pollfd fds[2]{{master_, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0},
                  {notify_, POLLIN, 0}};
    const int64_t wait = waitUs();
    const timespec timeout{static_cast<time_t>(wait / 1000000),
                           static_cast<long>((wait % 1000000) * 1000)};
    const int n = ::ppoll(fds, 2, &timeout, &waitMask);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw systemError("ppoll");
    }
    readPeerEvents();  // an opening comes before what the new peer writes
    if (n > 0 && (fds[0].revents & POLLIN)) readFromPc();
    dropStaleOutput();
  }
}

void PtyServer::readPeerEvents() {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(notify_, buffer, sizeof buffer);
    if (n <= 0) return;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      if (e->wd != watch_) continue;
      if (e->mask & IN_OPEN) ++peers_;
      if ((e->mask & IN_CLOSE) && peers_ > 0 && --peers_ == 0) peerLetGo();
    }
  }
}

// Nobody has the port open now: what the PC did not read is gone, and a flag for
// exclusive use left by a program that died with the port open is cleared.
void PtyServer::peerLetGo() {
  ::tcflush(slave_, TCIFLUSH);
  ::ioctl(slave_, TIOCNXCL);
  unsent_.clear();
  blockedSinceUs_ = -1;
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

// Bytes due while no PC listens are lost, as on a line into a closed port.
void PtyServer::collectDue() {
  const Bytes due = rig_.toPc(nowUs());
  if (peers_ > 0) unsent_.insert(unsent_.end(), due.begin(), due.end());
}

void PtyServer::writeToPc() {
  const size_t chunk = rig_.settings().splitWrites ? 1 : unsent_.size();
  size_t done = 0;
  while (done < unsent_.size()) {
    const ssize_t n = ::write(master_, unsent_.data() + done, std::min(chunk, unsent_.size() - done));
    if (n > 0) {
      done += static_cast<size_t>(n);
      lastWriteUs_ = nowUs();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // the terminal is full; POLLOUT tells when to go on
  }
  unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<std::ptrdiff_t>(done));
  if (unsent_.empty() || done > 0) blockedSinceUs_ = unsent_.empty() ? -1 : nowUs();
  else if (blockedSinceUs_ < 0) blockedSinceUs_ = nowUs();
}

// The PC keeps the port open but takes nothing: after a while the terminal's
// input and what waits here are thrown away.
void PtyServer::dropStaleOutput() {
  if (blockedSinceUs_ < 0 || nowUs() - blockedSinceUs_ < kStaleOutputUs) return;
  ::tcflush(slave_, TCIFLUSH);
  if (log_) log_("nobody reads the terminal; dropped " + std::to_string(unsent_.size()) + " bytes");
  unsent_.clear();
  blockedSinceUs_ = -1;
}

// The transceiver has hung up and the PC has read what came before (or has not
// for a while). Bytes written to the terminal take a moment to become readable.
bool PtyServer::readyToHangUp() {
  if (!rig_.hungUpAt(nowUs())) return false;
  if (hangUpWaitSinceUs_ < 0) hangUpWaitSinceUs_ = nowUs();
  const int64_t waited = nowUs() - std::max(hangUpWaitSinceUs_, lastWriteUs_);
  int unread = 0;
  const bool allRead = unsent_.empty() && ::ioctl(slave_, FIONREAD, &unread) == 0 && unread == 0;
  return (allRead && waited >= kSettleUs) || nowUs() - hangUpWaitSinceUs_ >= kStaleOutputUs;
}

int64_t PtyServer::waitUs() const {
  int64_t wait = kIdleWaitUs;
  if (const auto due = rig_.nextDueUs()) wait = std::clamp<int64_t>(*due - nowUs(), 0, kIdleWaitUs);
  const auto hangUp = rig_.hangUpUs();
  if (hangUp && *hangUp > nowUs()) wait = std::min<int64_t>(wait, *hangUp - nowUs());
  if (!unsent_.empty()) wait = std::min<int64_t>(wait, kIdleWaitUs / 10);
  if (hangUpWaitSinceUs_ >= 0) wait = std::min<int64_t>(wait, kIdleWaitUs / 100);
  return wait;
}
