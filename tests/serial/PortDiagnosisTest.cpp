#include "PortDiagnosis.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "PseudoTerminal.h"
#include "TestFiles.h"
#include "WithoutCapabilities.h"

namespace {

class FixedPortList : public SerialPortList {
 public:
  std::vector<SerialPortEntry> ports;
  std::vector<SerialPortEntry> Ports() const override { return ports; }
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Another process opens path and sets it exclusive, until it is killed.
class ExclusiveHolder {
 public:
  explicit ExclusiveHolder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 1 : 0;
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    held_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
  }
  ~ExclusiveHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

class PortDiagnosisTest : public ::testing::Test {
 protected:
  PortDiagnosisTest() {
    SerialPortEntry usb;
    usb.device = "/dev/ttyUSB0";
    usb.stablePath = "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0";
    usb.description = "CP2102 USB to UART Bridge Controller";
    usb.vendorId = 0x10c4;
    usb.productId = 0xea60;
    SerialPortEntry acm;
    acm.device = "/dev/ttyACM0";
    list.ports = {usb, acm};
  }
  std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }

  FixedPortList list;
  QTemporaryDir dir;
};

TEST_F(PortDiagnosisTest, AMissingDeviceNamesThePathAndTheDevicesThatExistIfAny) {
  const PortDiagnosis::Finding f = PortDiagnosis(list).Examine(path("ttyUSB7"));
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::Missing);
  EXPECT_TRUE(has(f.text, "Device tried: " + path("ttyUSB7") + "\n")) << f.text;
  EXPECT_TRUE(has(f.text, "does not exist")) << f.text;
  EXPECT_TRUE(has(f.text, "  /dev/ttyUSB0  CP2102 USB to UART Bridge Controller [10c4:ea60]\n"
                          "    /dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0\n"))
      << f.text;
  EXPECT_TRUE(has(f.text, "  /dev/ttyACM0\n")) << f.text;
  list.ports.clear();
  const PortDiagnosis::Finding none = PortDiagnosis(list).Examine(path("ttyUSB0"));
  EXPECT_EQ(none.reason, PortDiagnosis::Reason::Missing);
  EXPECT_TRUE(has(none.text, "No serial devices are present.")) << none.text;
  EXPECT_EQ(PortDiagnosis(list).Examine("").reason, PortDiagnosis::Reason::Missing);
}

TEST_F(PortDiagnosisTest, ThingsThatAreNoSerialDeviceAreNamedAsSuch) {
  putFile(dir.path() + "/plain", "text\n");
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* says;
  } cases[] = {{dir.path().toStdString(), "This is a directory, not a serial device."},
               {path("plain"), "not a serial device (an ordinary file)"},
               {path("pipe"), "not a serial device (not a terminal)"},
               {"/dev/null", "not a serial device (not a terminal)"}};
  for (const auto& c : cases) {
    const PortDiagnosis::Finding f = PortDiagnosis(list).Examine(c.path);
    EXPECT_EQ(f.reason, PortDiagnosis::Reason::NotSerial) << c.path;
    EXPECT_TRUE(has(f.text, "Device tried: " + c.path + "\n")) << f.text;
    EXPECT_TRUE(has(f.text, c.says)) << f.text;
  }
}

TEST_F(PortDiagnosisTest, AFileNobodyMayOpenIsPermissionDeniedWithTheFix) {
  putFile(dir.path() + "/locked", "");
  ASSERT_EQ(::chmod(path("locked").c_str(), 0), 0);
  const WithoutCapabilities lowered({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
  ASSERT_TRUE(lowered.ok());
  const PortDiagnosis::Finding f = PortDiagnosis(list).Examine(path("locked"));
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::PermissionDenied);
  EXPECT_TRUE(has(f.text, "Permission denied: the device belongs to user ")) << f.text;
  EXPECT_TRUE(has(f.text, "(mode ---------)")) << f.text;
  EXPECT_TRUE(has(f.text, "  sudo chmod 660 " + path("locked") + "\n")) << f.text;
}

TEST_F(PortDiagnosisTest, AGroupDeviceOfAnotherGroupTellsHowToJoinIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing a file to another group needs the super-user";
  const group* other = ::getgrnam("dialout");
  if (other == nullptr) GTEST_SKIP() << "no dialout group here";
  ASSERT_NE(::getegid(), other->gr_gid);
  putFile(dir.path() + "/ttyGroup", "");
  ASSERT_EQ(::chown(path("ttyGroup").c_str(), 0, other->gr_gid), 0);
  ASSERT_EQ(::chmod(path("ttyGroup").c_str(), 0060), 0);
  const WithoutCapabilities lowered({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
  ASSERT_TRUE(lowered.ok());
  const PortDiagnosis::Finding f = PortDiagnosis(list).Examine(path("ttyGroup"));
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::PermissionDenied);
  EXPECT_TRUE(has(f.text, "group dialout (mode ---rw----)")) << f.text;
  EXPECT_TRUE(has(f.text, "are not in the group dialout. This fixes it:\n  sudo usermod -aG dialout ")) << f.text;
}

TEST_F(PortDiagnosisTest, AFreeTerminalOpensAndOneHeldByAnotherProgramNamesIt) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  const PortDiagnosis diagnosis(list);
  EXPECT_EQ(diagnosis.Examine(pty.slavePath()).reason, PortDiagnosis::Reason::Opens);
  EXPECT_EQ(diagnosis.FindHolder(pty.slavePath()).pid, 0);
  const ExclusiveHolder holder(pty.slavePath());
  ASSERT_TRUE(holder.held());
  const WithoutCapabilities lowered({CAP_SYS_ADMIN});
  ASSERT_TRUE(lowered.ok());
  const PortDiagnosis::Finding f = diagnosis.Examine(pty.slavePath());
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::Busy);
  EXPECT_TRUE(has(f.text, "The device is busy: another program holds it.")) << f.text;
  EXPECT_TRUE(has(f.text, "(process " + std::to_string(holder.pid()) + ")")) << f.text;
  EXPECT_EQ(diagnosis.FindHolder(pty.slavePath()).pid, holder.pid());
}

// A process table of our making: ModemManager holds the device.
TEST_F(PortDiagnosisTest, AModemManagerHoldingTheDeviceComesWithTheCommandToStopIt) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  const ExclusiveHolder holder(pty.slavePath());
  ASSERT_TRUE(holder.held());
  ASSERT_TRUE(QDir(dir.path()).mkpath("proc/812/fd"));
  ASSERT_TRUE(QDir(dir.path()).mkpath("proc/self/fd"));
  putFile(dir.path() + "/proc/812/comm", "ModemManager\n");
  ASSERT_EQ(::symlink("/dev/null", path("proc/812/fd/3").c_str()), 0);
  ASSERT_EQ(::symlink(pty.slavePath().c_str(), path("proc/812/fd/9").c_str()), 0);
  const WithoutCapabilities lowered({CAP_SYS_ADMIN});
  ASSERT_TRUE(lowered.ok());
  const PortDiagnosis::Finding f = PortDiagnosis(list, path("proc")).Examine(pty.slavePath());
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::Busy);
  EXPECT_TRUE(has(f.text, "It is held by ModemManager (process 812).")) << f.text;
  EXPECT_TRUE(has(f.text, "  sudo systemctl stop ModemManager")) << f.text;
}

}  // namespace
