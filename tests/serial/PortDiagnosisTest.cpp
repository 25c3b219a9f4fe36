#include "PortDiagnosis.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <string>
#include <vector>

#include "DetailBoxRecorder.h"
#include "FakeClock.h"
#include "Globals.h"
#include "GlobalsFixture.h"
#include "ProfileFile.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"
#include "TestFiles.h"
#include "WithoutCapabilities.h"
#include "clsCmcLnk3Sequence.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

class FixedPortList : public SerialPortList {
 public:
  std::vector<SerialPortEntry> ports;
  std::vector<SerialPortEntry> Ports() const override { return ports; }
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Another process opens path, read-only or read-write and exclusive, and keeps it
// open until it is killed.
class HoldingProcess {
 public:
  HoldingProcess(const std::string& path, bool exclusive) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(path.c_str(), (exclusive ? O_RDWR : O_RDONLY) | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 && (!exclusive || ::ioctl(fd, TIOCEXCL) == 0) ? 1 : 0;
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    held_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
  }
  ~HoldingProcess() {
    if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) ::waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

// A process id that no process has any more.
pid_t endedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

std::string userName(uid_t uid) {
  const passwd* p = ::getpwuid(uid);
  return p != nullptr ? p->pw_name : std::to_string(uid);
}

class PortDiagnosisTest : public ::testing::Test {
 protected:
  PortDiagnosisTest() {
    list.ports = {{"/dev/ttyUSB0", "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0",
                   "CP2102 USB to UART Bridge Controller", "", 0x10c4, 0xea60, ""},
                  {"/dev/ttyACM0", "", "", "", -1, -1, ""}};
  }
  std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }

  // What a process of user nobody is told about path.
  PortDiagnosis::Finding examineAsNobody(const std::string& device) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(out[0]);
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(1);
      const PortDiagnosis::Finding f = PortDiagnosis(list).Examine(device);
      const std::string said = std::to_string(static_cast<int>(f.reason)) + "\n" + f.text;
      ::_exit(::write(out[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    ::close(out[1]);
    QFile in;
    const std::string said =
        in.open(out[0], QIODevice::ReadOnly, QFile::AutoCloseHandle) ? in.readAll().toStdString() : "";
    ::waitpid(child, nullptr, 0);
    const size_t split = said.find('\n');
    if (split == std::string::npos) return {};
    return {static_cast<PortDiagnosis::Reason>(std::stoi(said.substr(0, split))), said.substr(split + 1)};
  }

  static constexpr uid_t kNobody = 65534;

  FixedPortList list;
  QTemporaryDir dir;
};

TEST_F(PortDiagnosisTest, AMissingDeviceNamesThePathAndTheDevicesThatExistIfAny) {
  const PortDiagnosis::Finding f = PortDiagnosis(list).Examine(path("ttyUSB7"));
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::Missing);
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

// Each kind of path under its reason (the port access test below reads their texts).
TEST_F(PortDiagnosisTest, WhatIsNoSerialDeviceOrMayNotBeOpenedIsClassified) {
  putFile(dir.path() + "/plain", "text\n");
  putFile(dir.path() + "/locked", "");
  ASSERT_EQ(::chmod(path("locked").c_str(), 0), 0);
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  const WithoutCapabilities lowered({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
  ASSERT_TRUE(lowered.ok());
  using R = PortDiagnosis::Reason;
  const std::pair<std::string, R> cases[] = {{dir.path().toStdString(), R::NotSerial}, {path("plain"), R::NotSerial},
                                             {path("pipe"), R::NotSerial}, {"/dev/null", R::NotSerial},
                                             {"/dev/ptmx", R::NotSerial}, {path("locked"), R::PermissionDenied}};
  for (const auto& [device, reason] : cases) EXPECT_EQ(PortDiagnosis(list).Examine(device).reason, reason) << device;
}

// The advice names the device's group, never one that carries the super-user's
// rights, and quotes the path.
TEST_F(PortDiagnosisTest, PermissionAdviceFitsTheDevicesOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "handing files to other users needs the super-user";
  ASSERT_EQ(::chmod(dir.path().toUtf8().constData(), 0755), 0);
  const std::string device = path("tty USB'0");
  const std::string q = "'" + dir.path().toStdString() + "/tty USB'\\''0'";
  const std::string nobody = userName(kNobody);
  const struct {
    const char* what;
    const char* group;  // nullptr: root
    mode_t mode;
    std::vector<std::string> says, never;
  } cases[] = {
      {"root:root 0600", nullptr, 0600,
       {"group root (mode rw-------)", "do not join it",
        "  sudo chown " + nobody + " " + q + " && sudo chmod u+rw " + q + "\n"},
       {"usermod", "chmod 660", "chmod g"}},
      {"the disk group", "disk", 0660, {"The group disk carries the super-user's rights"}, {"usermod"}},
      {"a group to join", "dialout", 0660,
       {"You (" + nobody + ") are not in the group dialout. This fixes it:\n  sudo usermod -aG dialout " + nobody +
        "\nthen log out and in again."},
       {"chmod"}},
      {"a group without rights", "dialout", 0600,
       {"group dialout (mode rw-------)", "  sudo chmod g+rw " + q + "\n", "  sudo usermod -aG dialout " + nobody},
       {"chown"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const group* owner = c.group != nullptr ? ::getgrnam(c.group) : nullptr;
    if (c.group != nullptr && owner == nullptr) continue;  // no such group here
    putFile(QString::fromStdString(device), "");
    ASSERT_EQ(::chown(device.c_str(), 0, owner != nullptr ? owner->gr_gid : 0), 0);
    ASSERT_EQ(::chmod(device.c_str(), c.mode), 0);
    const PortDiagnosis::Finding f = examineAsNobody(device);
    EXPECT_EQ(f.reason, PortDiagnosis::Reason::PermissionDenied);
    EXPECT_TRUE(has(f.text, "Device tried: " + device + "\n")) << f.text;
    for (const std::string& part : c.says) EXPECT_TRUE(has(f.text, part)) << part << "\n" << f.text;
    for (const std::string& part : c.never) EXPECT_FALSE(has(f.text, part)) << part << "\n" << f.text;
  }
}

// A bare name opens below /dev, as the port opens it (the port access test below
// shows the diagnosis of such a name).
TEST(PortDiagnosis, ABareNameOpensBelowDev) {
  const std::pair<const char*, const char*> names[] = {{"ttyUSB0", "/dev/ttyUSB0"}, {"pts/1", "/dev/pts/1"},
                                                       {"/dev/ttyS0", "/dev/ttyS0"},  {"./ttyX", "./ttyX"},
                                                       {"../ttyX", "../ttyX"},        {"", ""}};
  for (const auto& [name, opened] : names) EXPECT_EQ(PortDiagnosis::OpenedPath(name), opened) << name;
}

// Of two programs holding the device, the one that may write to it (and set it
// exclusive) is named; the other is mentioned.
TEST_F(PortDiagnosisTest, AFreeTerminalOpensAndOfTwoHoldersTheWriterIsNamed) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  const PortDiagnosis diagnosis(list, "/proc", dir.path().toStdString());
  EXPECT_EQ(diagnosis.Examine(pty.slavePath()).reason, PortDiagnosis::Reason::Opens);
  EXPECT_EQ(diagnosis.FindHolder(pty.slavePath()).pid, 0);
  const HoldingProcess reader(pty.slavePath(), false);
  const HoldingProcess writer(pty.slavePath(), true);
  ASSERT_TRUE(reader.held() && writer.held());
  const WithoutCapabilities lowered({CAP_SYS_ADMIN});
  ASSERT_TRUE(lowered.ok());
  const PortDiagnosis::Finding f = diagnosis.Examine(pty.slavePath());
  EXPECT_EQ(f.reason, PortDiagnosis::Reason::Busy);
  EXPECT_TRUE(has(f.text, "The device is busy: another program holds it.")) << f.text;
  EXPECT_TRUE(has(f.text, "(process " + std::to_string(writer.pid()) + ").\n")) << f.text;
  EXPECT_TRUE(has(f.text, "(process " + std::to_string(reader.pid()) + ") as well.")) << f.text;
  EXPECT_EQ(diagnosis.FindHolder(pty.slavePath()).pid, writer.pid());
}

// Process tables of our making, the device held exclusively by a process they do
// not show.
TEST_F(PortDiagnosisTest, TheHolderOrTheUsualServicesAreNamedFromTheProcessTable) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  const HoldingProcess holder(pty.slavePath(), true);
  ASSERT_TRUE(holder.held());
  struct Process {
    int pid;
    const char* comm;  // nullptr: none readable
    bool holds, fdsReadable;
    const char* flags;
    const char* started;
  };
  const struct {
    const char* what;
    std::vector<Process> processes;
    std::vector<std::string> says;
  } cases[] = {
      {"ModemManager holds it", {{812, "ModemManager", true, true, nullptr, nullptr}},
       {"It is held by ModemManager (process 812).", "  sudo systemctl stop ModemManager"}},
      {"brltty cannot be seen but runs", {{90, "bash", false, true, nullptr, nullptr}, {640, "brltty", false, false, nullptr, nullptr}},
       {"brltty (process 640) runs and may be it.", "systemctl mask brltty-udev.service"}},
      {"nothing can be seen", {{700, nullptr, false, false, nullptr, nullptr}},
       {"cannot be seen", "  sudo systemctl stop ModemManager\n", "systemctl mask brltty-udev.service"}},
      {"the writer, then the last started",
       {{300, "agetty", true, true, "0100000", "300 (agetty) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 900 1 1"},
        {400, "picocom", true, true, "0100002", "400 (pico com) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 500 1 1"},
        {500, "minicom", true, true, "02", "500 (minicom) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 100 1 1"}},
       {"It is held by picocom (process 400).\nIt is open in minicom (process 500) as well.\n"
        "It is open in agetty (process 300) as well.\nClose that program"}},
  };
  int table = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString proc = QString("%1/proc%2").arg(dir.path()).arg(++table);
    for (const Process& p : c.processes) {
      const QString base = QString("%1/%2").arg(proc).arg(p.pid);
      ASSERT_TRUE(QDir().mkpath(base + "/fd") && QDir().mkpath(base + "/fdinfo"));
      if (p.comm != nullptr) putFile(base + "/comm", QByteArray(p.comm) + "\n");
      if (p.started != nullptr) putFile(base + "/stat", QByteArray(p.started) + "\n");
      if (p.flags != nullptr) putFile(base + "/fdinfo/9", QByteArray("pos:\t0\nflags:\t") + p.flags + "\n");
      ASSERT_EQ(::symlink("/dev/null", (base + "/fd/3").toUtf8().constData()), 0);
      if (p.holds) {
        ASSERT_EQ(::symlink(pty.slavePath().c_str(), (base + "/fd/9").toUtf8().constData()), 0);
      }
      if (!p.fdsReadable) {
        ASSERT_EQ(::chmod((base + "/fd").toUtf8().constData(), 0), 0);
      }
    }
    const WithoutCapabilities lowered({CAP_SYS_ADMIN, CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
    ASSERT_TRUE(lowered.ok());
    const PortDiagnosis::Finding f = PortDiagnosis(list, proc.toStdString(), path("nolocks")).Examine(pty.slavePath());
    EXPECT_EQ(f.reason, PortDiagnosis::Reason::Busy);
    for (const std::string& part : c.says) EXPECT_TRUE(has(f.text, part)) << part << "\n" << f.text;
  }
}

// Lock files under either name of the device: a running program's is named, a
// stale one of another user comes with the command that removes it, a stale one
// of our own is taken over by the port itself.
TEST_F(PortDiagnosisTest, ALockFileThatKeepsTheDeviceIsNamed) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  const HoldingProcess running(path("plain"), false);  // opens nothing there
  const std::string lockName = "LCK.." + pty.slavePath().substr(5).replace(3, 1, "_");
  const std::string lock = path(lockName.c_str());
  const pid_t ended = endedProcess();
  const struct {
    const char* what;
    std::string content;
    uid_t owner;
    PortDiagnosis::Reason reason;
    std::string says;
  } cases[] = {
      {"a stale lock of another user", QString("%1\n").arg(ended, 10).toStdString(), kNobody,
       PortDiagnosis::Reason::Locked,
       "A lock file left behind keeps the device: " + lock + " (of user " + userName(kNobody) + ", naming process " +
           std::to_string(ended) + ", which has ended). Remove it, then try again:\n  sudo rm -f '" + lock + "'"},
      {"a running program's lock", std::to_string(running.pid()) + "\nravlen-adj\nbench\n", ::geteuid(),
       PortDiagnosis::Reason::Busy, "(process " + std::to_string(running.pid()) + ") through the lock file " + lock},
      {"a stale lock of our own", std::to_string(ended) + "\n", ::geteuid(), PortDiagnosis::Reason::Opens,
       "The device opens now"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.owner != ::geteuid() && ::geteuid() != 0) continue;  // giving a file away needs the super-user
    putFile(QString::fromStdString(lock), QByteArray::fromStdString(c.content));
    ASSERT_EQ(::chown(lock.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    const PortDiagnosis::Finding f = PortDiagnosis(list, "/proc", dir.path().toStdString()).Examine(pty.slavePath());
    EXPECT_EQ(f.reason, c.reason) << f.text;
    EXPECT_TRUE(has(f.text, c.says)) << f.text;
  }
}

const std::string kCannotAccess1 =
    "Cannot access COM 1.\r\n\r\nCheck the following:\r\n- The COM port settings.\r\n"
    "- Cloning cable connections.\r\n- Transceiver power is ON.";

// Another program's attempt to open the device: 0 opened, else its errno. The
// super-user's CAP_SYS_ADMIN would open a device held exclusively anyway.
int openInAnotherProcess(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    const WithoutCapabilities lowered({CAP_SYS_ADMIN});
    if (!lowered.ok()) ::_exit(255);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::_exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The whole utility on the device control; the test runs the ticks and the box
// records text and details.
class PortAccessTest : public GlobalsFixture {
 protected:
  PortAccessTest() : GlobalsFixture([] { return std::make_unique<QtSerialControl>(); }) {
    EXPECT_TRUE(start::Main());
    Globals::com().timSolid().stop();
  }

  void setDevice(int16_t portNo, const std::string& path) {
    const std::string profile = Globals::com().profMain().GetMyProfile();
    ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM" + std::to_string(portNo), path));
    Globals::mainWindow().setComPortNo(portNo);
  }
  // A clone read from the current port, to its message.
  void cloneRead() {
    box.shown.clear();
    Globals::seq().easyCloneRead();
    for (int i = 0; i < 15; ++i) {
      clock.advance(50);
      Globals::com().timSolid_Timer();
    }
  }

  FakeClock clock;
  QTemporaryDir dir;
  DetailBoxRecorder box;
};

TEST_F(PortAccessTest, AnOpenDeviceIsRefusedToOtherProgramsUntilClosed) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  setDevice(1, pty.slavePath());
  ASSERT_EQ(openInAnotherProcess(pty.slavePath()), 0);
  Globals::com().setcomOpen(true);
  ASSERT_TRUE(Globals::com().comOpen());
  EXPECT_EQ(openInAnotherProcess(pty.slavePath()), EBUSY);
  Globals::com().setcomOpen(false);
  EXPECT_EQ(openInAnotherProcess(pty.slavePath()), 0);
}

TEST_F(PortAccessTest, ADeviceHeldByAnotherProgramIsReportedAndUsableOnceFree) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  setDevice(2, pty.slavePath());
  const int holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  const WithoutCapabilities lowered({CAP_SYS_ADMIN});
  ASSERT_TRUE(lowered.ok());
  cloneRead();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].first.rfind("Cannot access COM 2.", 0), 0u) << box.shown[0].first;
  EXPECT_FALSE(Globals::com().comOpen());

  // A pseudo-terminal keeps the flag past the last close of its slave side.
  ASSERT_EQ(::ioctl(holder, TIOCNXCL), 0);
  ::close(holder);
  Globals::com().setcomPortNum(2);
  Globals::com().setcomOpen(true);
  EXPECT_TRUE(Globals::com().comOpen());
  EXPECT_FALSE(Globals::com().errCannotOpen());
}

TEST_F(PortAccessTest, TheMessageKeepsItsTextAndItsDetailsSayWhy) {
  putFile(dir.path() + "/locked", "");
  const std::string locked = (dir.path() + "/locked").toStdString();
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  const WithoutCapabilities lowered({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
  ASSERT_TRUE(lowered.ok());
  putFile(dir.path() + "/plain", "not a port\n");
  ASSERT_EQ(::mkfifo((dir.path() + "/pipe").toUtf8().constData(), 0600), 0);
  PseudoTerminal pty;  // named as a bare name, which the port opens below /dev
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0), 0);
  const struct {
    std::string name, path;
    std::vector<std::string> says;
  } cases[] = {{"", (dir.path() + "/ttyUSB9").toStdString(), {"This device does not exist"}},
               {"", locked, {"Permission denied: the device belongs to user ", "(mode ---------)"}},
               {pty.slavePath().substr(5), pty.slavePath(), {"Permission denied"}},
               {"", dir.path().toStdString(), {"This is a directory, not a serial device."}},
               {"", (dir.path() + "/plain").toStdString(), {"not a serial device (an ordinary file)"}},
               {"", (dir.path() + "/pipe").toStdString(), {"not a serial device (not a terminal)"}},
               {"", "/dev/null", {"not a serial device (not a terminal)"}},
               {"", "/dev/ptmx", {"not a serial device (a pseudo-terminal master)"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    setDevice(1, c.name.empty() ? c.path : c.name);
    cloneRead();
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(messages.empty());
    const auto& [text, details] = box.shown[0];
    EXPECT_EQ(text, kCannotAccess1);
    EXPECT_NE(details.find("Device tried: " + c.path + "\n"), std::string::npos) << details;
    for (const std::string& part : c.says) EXPECT_NE(details.find(part), std::string::npos) << part << "\n" << details;
    EXPECT_FALSE(Globals::seq().OpRunning());
    EXPECT_FALSE(Globals::com().comOpen());
  }
  EXPECT_EQ(fileBytes(dir.path() + "/plain"), "not a port\n");
}

TEST_F(PortAccessTest, OtherMessagesComeWithoutDetails) {
  Common::SetMsgBoxDetailHandler(nullptr);
  Globals::mainWindow().MsgBoxCloneErr(Globals::seq());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Communication failed.", 0), 0u) << messages[0];
}

}  // namespace
