// ravlen-sim: a virtual Selvik transceiver on a pseudo-terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "FrameTrace.h"
#include "ImageFile.h"
#include "MemoryImageBuilder.h"
#include "PtyServer.h"
#include "SimOptions.h"
#include "VirtualTransceiver.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

// Blocks the stop signals and returns the mask to wait with, which lets them in.
sigset_t catchStopSignals() {
  struct sigaction action{};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, sig);
  sigset_t previous;
  sigprocmask(SIG_BLOCK, &stopSignals, &previous);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&previous, sig);
  return previous;
}

// Removes path only when it is a symbolic link; anything else is left alone.
void removeLink(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(path.c_str());
}

Bytes initialImage(const SimOptions& options) {
  if (!options.imagePath.empty()) return ImageFile::load(options.imagePath);
  return MemoryImageBuilder().setMid(options.mid).build();
}

int serve(const SimOptions& options) {
  const sigset_t waitMask = catchStopSignals();
  VirtualTransceiver rig(options.rig, initialImage(options));
  // Every terminal (a new one after each hang-up) is linked and printed.
  const auto announce = [&options](const std::string& slavePath) {
    if (!options.linkPath.empty()) {
      removeLink(options.linkPath);  // one left by an earlier run or terminal
      if (::symlink(slavePath.c_str(), options.linkPath.c_str()) != 0) {
        throw std::runtime_error("cannot link " + options.linkPath + ": " + std::strerror(errno));
      }
    }
    std::cout << slavePath << std::endl;
  };
  PtyServer server(rig, [](const std::string& note) { std::cerr << note << std::endl; }, announce);
  if (options.trace) {
    rig.setTraceHandler([](const VirtualTransceiver::TraceEvent& event) {
      std::cerr << FrameTrace::line(event) << std::endl;
    });
  }
  try {
    server.open();
  } catch (const std::exception& e) {
    std::cerr << "ravlen-sim: " << e.what() << std::endl;
    return 1;
  }

  int status = 0;
  try {
    server.run(stopRequested, waitMask);
  } catch (const std::exception& e) {
    std::cerr << "ravlen-sim: " << e.what() << std::endl;
    status = 1;
  }
  if (!options.linkPath.empty()) removeLink(options.linkPath);
  if (!options.saveImagePath.empty()) ImageFile::save(options.saveImagePath, rig.memory());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = SimOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "ravlen-sim: " << error << "\n(--help lists the options)" << std::endl;
    return 2;
  }
  if (options->help) {
    std::cout << SimOptions::helpText();
    return 0;
  }
  if (options->version) {
    std::cout << SimOptions::versionText();
    return 0;
  }
  try {
    return serve(*options);
  } catch (const std::exception& e) {
    std::cerr << "ravlen-sim: " << e.what() << std::endl;
    return 1;
  }
}
