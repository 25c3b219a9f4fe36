// Runs the ravlen-sim program and talks to it over its pseudo-terminal. Every wait
// is a poll() with a deadline; the child is always killed at the end.
#include <gtest/gtest.h>

#ifdef RAVLEN_SIM_PROGRAM

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ImageFile.h"
#include "ImageLayout.h"
#include "PcWire.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(10);

int msLeft(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::string tempPath(const std::string& tag) {
  return (std::filesystem::temp_directory_path() /
          ("ravlen-sim-" + tag + "-" + std::to_string(::getpid())))
      .string();
}

class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDERR_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv{const_cast<char*>(RAVLEN_SIM_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(RAVLEN_SIM_PROGRAM, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
  }

  ~SimProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) ::close(stdout_);
  }

  // The first line the program prints, or empty after the deadline.
  std::string firstLine() {
    std::string line;
    const auto until = Clock::now() + kDeadline;
    while (line.find('\n') == std::string::npos) {
      pollfd fd{stdout_, POLLIN, 0};
      if (::poll(&fd, 1, msLeft(until)) <= 0) return {};
      char buffer[256];
      const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
      if (n <= 0) return {};
      line.append(buffer, static_cast<size_t>(n));
    }
    return line.substr(0, line.find('\n'));
  }

  // Sends the signal and waits for the exit; the exit status, or -1 on a time-out.
  int stop(int signal) {
    ::kill(pid_, signal);
    const auto until = Clock::now() + kDeadline;
    while (msLeft(until) > 0) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ::poll(nullptr, 0, 20);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  bool exited_ = false;
};

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

// Writes the bytes and collects what comes back until count bytes or the deadline.
Bytes exchange(int fd, const Bytes& out, size_t count) {
  if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) return {};
  Bytes in;
  const auto until = Clock::now() + kDeadline;
  while (in.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, msLeft(until)) <= 0) break;
    uint8_t buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) in.insert(in.end(), buffer, buffer + n);
  }
  return in;
}

void expectIdentification(int fd) {
  const Bytes e0{0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD};
  const Bytes back = exchange(fd, e0, e0.size() + 72);
  const auto rest = pcwire::afterEcho(back, e0);
  ASSERT_TRUE(rest.has_value()) << "no echo; got " << back.size() << " bytes";
  const auto frames = pcwire::bodies(*rest);
  ASSERT_EQ(frames.size(), 1u);
  const Bytes& body = frames[0];
  ASSERT_EQ(body.size(), 69u);
  EXPECT_EQ(body[2], 0xE1);
  EXPECT_EQ(body[7], 62);
  EXPECT_EQ(std::string(body.begin() + 65, body.end()), "7D6F");
}

TEST(Program, AnswersOverThePseudoTerminalAndSurvivesReopening) {
  const std::string link = tempPath("link");
  SimProcess sim({"--link", link, "--trace"});
  const std::string slave = sim.firstLine();
  ASSERT_FALSE(slave.empty()) << "no terminal path printed";

  struct stat st{};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);

  int fd = openRaw(slave);
  ASSERT_GE(fd, 0);
  expectIdentification(fd);
  ::close(fd);

  fd = openRaw(link);  // the PC closes the port and opens it again
  ASSERT_GE(fd, 0);
  expectIdentification(fd);
  ::close(fd);

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link is removed on exit";
}

TEST(Program, AdjustmentsAreSavedWithTheImage) {
  const std::string saved = tempPath("saved.bin");
  SimProcess sim({"--save-image", saved, "--mid"});
  const std::string slave = sim.firstLine();
  ASSERT_FALSE(slave.empty());
  const int fd = openRaw(slave);
  ASSERT_GE(fd, 0);
  const Bytes ref = pcwire::adjust(0x05, 0x33);
  EXPECT_EQ(exchange(fd, ref, ref.size()), ref);
  const Bytes read = pcwire::adjust(0x03, 12);  // reads REF back: the write has landed
  const Bytes back = exchange(fd, read, read.size() + 13);
  const auto frames = pcwire::bodies(back);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(pcwire::digitsValue(frames[1], 9, 10), 0x33);
  ::close(fd);
  ASSERT_EQ(sim.stop(SIGINT), 0);
  const Bytes image = ImageFile::load(saved);
  EXPECT_EQ(image[ImageLayout::kRef], 0x33);
  std::remove(saved.c_str());
}

TEST(Program, NeverReplacesAFileWithItsLink) {
  const std::string path = tempPath("not-a-link");
  {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("keep me", f);
    std::fclose(f);
  }
  SimProcess sim({"--link", path});
  EXPECT_EQ(sim.stop(0), 1);
  struct stat st{};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 7);
  std::remove(path.c_str());
}

TEST(Program, HelpAndBadOptions) {
  {
    SimProcess sim({"--help"});
    EXPECT_EQ(sim.firstLine().rfind("Usage: ravlen-sim", 0), 0u);
    EXPECT_EQ(sim.stop(0), 0);
  }
  {
    SimProcess sim({"--clone-bytes", "0"});
    EXPECT_EQ(sim.stop(0), 2);
  }
}

}  // namespace

#endif  // RAVLEN_SIM_PROGRAM
