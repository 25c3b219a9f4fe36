#include "EndingSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace {

constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// One pair for the process: [0] is written by the handler, [1] read by the loop.
int pairFds[2] = {-1, -1};

void onSignal(int signalNumber) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signalNumber);
  [[maybe_unused]] const ssize_t n = ::write(pairFds[0], &byte, 1);
  errno = saved;
}

bool ignoredAtStart(int signalNumber) {
  struct sigaction current {};
  return ::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

void setHandler(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signalNumber, &action, nullptr);
}

}  // namespace

EndingSignals::EndingSignals(QObject* parent) : QObject(parent) {
  if (pairFds[0] >= 0) return;  // one instance a process
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pairFds) != 0) {
    pairFds[0] = pairFds[1] = -1;
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(pairFds[1], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readSignal(); });
  for (int s : kSignals) {
    if (!ignoredAtStart(s)) setHandler(s, onSignal);
  }
}

EndingSignals::~EndingSignals() {
  if (!notifier_) return;
  for (int s : kSignals) {
    if (!ignoredAtStart(s)) setHandler(s, SIG_DFL);
  }
  notifier_.reset();
  ::close(pairFds[0]);
  ::close(pairFds[1]);
  pairFds[0] = pairFds[1] = -1;
}

void EndingSignals::readSignal() {
  unsigned char byte = 0;
  while (::read(pairFds[1], &byte, 1) == 1) {
    if (OnSignal) OnSignal(byte);
  }
}
