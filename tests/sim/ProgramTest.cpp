// The ravlen-sim program: its options, then the program itself talking over its
// pseudo-terminal. Every wait has a deadline; the child is always killed at the end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Bench.h"
#include "ImageFile.h"
#include "ImageLayout.h"
#include "RavlenVersion.h"
#include "SimOptions.h"

namespace {

TEST(SimOptions, EachKindOfValueIsParsedOrExplained) {
  std::string error;
  EXPECT_EQ(SimOptions::parse({}, error).value().rig.modelCode, 0x2928);
  const auto o = SimOptions::parse({"--baud", "9600", "--model-code", "2929", "--temperature",
                                    "-10.5", "--no-echo", "--link", "/tmp/x"},
                                   error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_TRUE(o->rig.baud == 9600 && o->rig.modelCode == 0x2929 && o->rig.temperatureC == -10.5 &&
              o->rig.noEcho && o->linkPath == "/tmp/x");
  // Arguments, and a word the error message must contain.
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad{
      {{"--bogus"}, "--bogus"},           {{"--baud"}, "needs"},
      {{"--baud", "fast"}, "--baud"},     {{"--baud", "-1"}, "--baud"},
      {{"--clone-bytes", "256"}, "256"},  {{"--model-code", "29"}, "--model-code"},
      {{"--sub-code", "01FD"}, "FD"},     {{"--source", "FE"}, "FE"},
      {{"--temperature", "warm"}, "warm"}, {{"--link", ""}, "--link"},
      {{"--image", "a.bin", "--mid"}, "--mid"}};
  for (const auto& [args, word] : bad) {
    std::string error;
    EXPECT_FALSE(SimOptions::parse(args, error).has_value()) << args[0] << " " << args.back();
    EXPECT_NE(error.find(word), std::string::npos) << args[0] << ": " << error;
  }
  EXPECT_TRUE(SimOptions::parse({"--version"}, error).value().version);
  const std::string version = SimOptions::versionText();
  EXPECT_EQ(version.rfind(std::string("ravlen-sim ") + RavlenRelease::Version + "\n", 0), 0u) << version;
  EXPECT_NE(version.find("GNU GPL version 3 or later"), std::string::npos) << version;
}

#ifdef RAVLEN_SIM_PROGRAM

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string tempPath(const std::string& tag) {
  return (fs::temp_directory_path() / ("ravlen-sim-" + tag + "-" + std::to_string(::getpid()))).string();
}

// Reads from fd until done(what was read), the end of its input, or the deadline.
std::string readUntil(int fd, const std::function<bool(const std::string&)>& done,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
  std::string in;
  const auto until = Clock::now() + deadline;
  while (!done(in)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    pollfd p{fd, POLLIN, 0};
    char buffer[512];
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) in.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EAGAIN) break;
  }
  return in;
}

// The program with its output on a pipe and its errors discarded.
struct SimProcess {
  explicit SimProcess(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    args.insert(args.begin(), RAVLEN_SIM_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid = ::fork();
    if (pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
      ::close(out[0]);
      ::execv(RAVLEN_SIM_PROGRAM, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    output = out[0];
  }
  ~SimProcess() {
    stop(SIGKILL);
    if (output >= 0) ::close(output);
  }

  // Sends the signal (0: none) and waits up to ten seconds for the exit; its status,
  // or -1 on a time-out.
  int stop(int signal) {
    if (pid <= 0) return -1;
    if (signal != 0) ::kill(pid, signal);
    int status = 0;
    for (int i = 0; i < 500; ++i, ::usleep(20'000)) {
      if (::waitpid(pid, &status, WNOHANG) != pid) continue;
      pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return -1;
  }

  // The next terminal path the program prints.
  std::string nextPath() {
    const std::string line =
        readUntil(output, [](const std::string& s) { return s.find('\n') != std::string::npos; });
    return line.substr(0, line.find('\n'));
  }

  pid_t pid = -1;
  int output = -1;
};

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios tio{};
  if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  return fd;
}

// Writes the bytes and collects what comes back, until count bytes or the deadline.
Bytes exchange(int fd, const Bytes& out, size_t count) {
  if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) return {};
  const std::string in = readUntil(fd, [count](const std::string& s) { return s.size() >= count; });
  return Bytes(in.begin(), in.end());
}

// The echo, then the same E1 answer as the transceiver gives in-process.
void expectEchoThenIdentification(int fd) {
  const Bytes back = exchange(fd, Frames::identify(), 10 + 72);
  ASSERT_TRUE(Frames::afterEcho(back, Frames::identify())) << "got " << back.size() << " bytes";
  EXPECT_EQ(back, Bench().exchange(Frames::identify()));
}

// One session through the link: what comes while the port is closed is lost; a
// hang-up closes the terminal and a new one takes the link; the image is saved on exit.
TEST(Program, ServesOverAPseudoTerminalAcrossClosingAndHangingUp) {
  const std::string link = tempPath("link"), saved = tempPath("saved.bin");
  SimProcess sim({"--link", link, "--save-image", saved, "--trace", "--delay", "300", "--hang-up-after", "3"});
  const std::string slave = sim.nextPath();
  ASSERT_TRUE(fs::is_symlink(link)) << "no link; printed: " << slave;
  EXPECT_EQ(fs::read_symlink(link).string(), slave);

  int fd = openRaw(slave);
  ASSERT_GE(fd, 0);
  expectEchoThenIdentification(fd);
  const Bytes ref = Frames::adjust(0x05, 0x33);
  EXPECT_EQ(exchange(fd, ref, ref.size()), ref);
  const Bytes read = Frames::adjust(0x03, 12);  // reads REF back: the write has landed
  const auto frames = Frames::bodies(exchange(fd, read, read.size() + 13));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(Frames::digitsValue(frames[1], 9, 10), 0x33);
  ASSERT_EQ(::write(fd, Frames::identify().data(), 10), 10);
  ::close(fd);  // before the echo is read and the answer has come
  ::usleep(600'000);

  fd = openRaw(link);  // the PC opens the port again
  ASSERT_GE(fd, 0);
  const auto nothing = [](const std::string& s) { return !s.empty(); };
  EXPECT_EQ(readUntil(fd, nothing, std::chrono::milliseconds(300)), "");
  expectEchoThenIdentification(fd);
  // Read to the end of the terminal's input: the echo and three E4 frames.
  EXPECT_EQ(Frames::commands(exchange(fd, Frames::cloneRead(), SIZE_MAX)), (Bytes{0xE2, 0xE4, 0xE4, 0xE4}));
  ::close(fd);

  const std::string next = sim.nextPath();
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(fs::read_symlink(link).string(), next);
  fd = openRaw(link);
  ASSERT_GE(fd, 0);
  expectEchoThenIdentification(fd);
  ::close(fd);

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_FALSE(fs::is_symlink(link)) << "the link is removed on exit";
  EXPECT_EQ(ImageFile::load(saved)[ImageLayout::kRef], 0x33);
  std::remove(saved.c_str());
}

// Closing without clearing the flag is what the system does for a killed program.
TEST(Program, ExclusiveUseEndsWithThePeerThatTookIt) {
  SimProcess sim({});
  const std::string path = sim.nextPath();
  const int peer = openRaw(path);
  ASSERT_EQ(::ioctl(peer, TIOCEXCL), 0);
  ::close(peer);
  int exclusive = 1;
  for (int i = 0; i < 100 && exclusive != 0; ++i, ::usleep(20'000)) {
    const int fd = openRaw(path);  // refused to others than root while the flag is on
    if (fd >= 0 && ::ioctl(fd, TIOCGEXCL, &exclusive) != 0) exclusive = -1;
    if (fd >= 0) ::close(fd);
  }
  EXPECT_EQ(exclusive, 0);
}

TEST(Program, ExitStatusesAndAFileInTheLinksPlaceIsKept) {
  const std::string file = tempPath("not-a-link");
  std::ofstream(file) << "keep me";
  EXPECT_EQ(SimProcess({"--help"}).stop(0), 0);
  EXPECT_EQ(SimProcess({"--clone-bytes", "0"}).stop(0), 2);
  EXPECT_EQ(SimProcess({"--link", file}).stop(0), 1);
  EXPECT_EQ(fs::file_size(file), 7u);
  EXPECT_FALSE(fs::is_symlink(file));
  std::remove(file.c_str());
}

#endif  // RAVLEN_SIM_PROGRAM

}  // namespace
