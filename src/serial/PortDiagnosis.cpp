#include "PortDiagnosis.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::string nameOfGroup(gid_t gid) {
  if (const group* g = ::getgrgid(gid)) return g->gr_name;
  return std::to_string(gid);
}

std::string nameOfUser(uid_t uid) {
  if (const passwd* p = ::getpwuid(uid)) return p->pw_name;
  return std::to_string(uid);
}

bool inGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = ::getgroups(count, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[static_cast<size_t>(i)] == gid) return true;
  return false;
}

std::string modeText(mode_t mode) {
  std::string text = "rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit)
    if (!(mode & (1u << (8 - bit)))) text[static_cast<size_t>(bit)] = '-';
  return text;
}

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string firstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string tried(const std::string& path) { return "Device tried: " + path + "\n"; }

// A path as one word for the shell.
std::string quoted(const std::string& path) {
  std::string text = "'";
  for (const char c : path) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

// Groups whose members are the super-user in all but name.
bool privilegedGroup(gid_t gid, const std::string& name) {
  static const char* const kPrivileged[] = {"root", "wheel", "sudo", "admin", "disk",
                                            "kmem", "shadow", "docker", "lxd", "staff"};
  if (gid == 0) return true;
  for (const char* privileged : kPrivileged)
    if (name == privileged) return true;
  return false;
}

bool running(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

// The process id a lock file names: ASCII digits (padded or not), or a binary int.
pid_t lockedBy(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char bytes[64] = {};
  in.read(bytes, sizeof bytes - 1);
  const std::streamsize size = in.gcount();
  char* end = nullptr;
  const long pid = std::strtol(bytes, &end, 10);
  if (end != bytes && pid > 0 && pid <= INT_MAX) return static_cast<pid_t>(pid);
  if (size == sizeof(int32_t)) {
    int32_t binary = 0;
    std::memcpy(&binary, bytes, sizeof binary);
    return binary > 0 ? binary : 0;
  }
  return 0;
}

// The name under which a serial port locks a device: LCK.. and the path below /dev.
std::string lockName(const std::string& path) {
  std::string name = path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
  std::replace(name.begin(), name.end(), '/', '_');
  return "LCK.." + name;
}

// Open flags of one descriptor from its fdinfo; true (may write) when unknown.
bool mayWrite(const std::string& fdinfo) {
  std::ifstream in(fdinfo);
  std::string key;
  std::string value;
  while (in >> key >> value) {
    if (key == "flags:") return (std::strtoul(value.c_str(), nullptr, 8) & O_ACCMODE) != O_RDONLY;
  }
  return true;
}

// Start time of a process in clock ticks after boot (field 22 of its stat).
unsigned long long startTime(const std::string& statFile) {
  const std::string line = firstLine(statFile);
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
  return 0;
}

const char* const kModemManagerAdvice =
    "ModemManager probes new USB serial adapters. Stop it with:\n  sudo systemctl stop ModemManager";
const char* const kBrlttyAdvice =
    "brltty takes some USB serial adapters for braille displays. Unless one is in use:\n"
    "  sudo systemctl mask brltty-udev.service && sudo systemctl stop brltty-udev.service";

std::string serviceAdvice(const std::string& name) {
  if (name == "ModemManager") return kModemManagerAdvice;
  if (name == "brltty") return kBrlttyAdvice;
  return {};
}

std::string named(const PortDiagnosis::Holder& holder) {
  return holder.name + " (process " + std::to_string(holder.pid) + ")";
}

}  // namespace

PortDiagnosis::PortDiagnosis(const SerialPortList& ports, std::string procRoot, std::string lockRoot)
    : ports_(ports), procRoot_(std::move(procRoot)), lockRoot_(std::move(lockRoot)) {}

std::string PortDiagnosis::OpenedPath(const std::string& name) {
  const bool asIs = name.empty() || name.starts_with('/') || name.starts_with("./") || name.starts_with("../");
  return asIs ? name : "/dev/" + name;
}

std::string PortDiagnosis::NotSerialReason(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::strerror(errno);
  if (S_ISREG(st.st_mode)) return "an ordinary file";
  termios attributes{};
  if (!S_ISCHR(st.st_mode) || ::tcgetattr(fd, &attributes) != 0) return "not a terminal";
  unsigned int ptyNumber = 0;
  if (::ioctl(fd, TIOCGPTN, &ptyNumber) == 0) return "a pseudo-terminal master";
  return {};
}

PortDiagnosis::Finding PortDiagnosis::Examine(const std::string& name) const {
  const std::string path = OpenedPath(name);
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    const bool denied = errno == EACCES;
    if (!denied) return {Reason::Missing, missingText(path)};
    return {Reason::PermissionDenied,
            tried(path) + "A directory on the way to the device may not be searched (permission denied)."};
  }
  if (S_ISDIR(st.st_mode))
    return {Reason::NotSerial, tried(path) + "This is a directory, not a serial device. Choose the device itself "
                                             "(for example /dev/ttyUSB0) in Option > Port > Settings."};
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM) return {Reason::PermissionDenied, deniedText(path, st)};
    if (error == EBUSY) return {Reason::Busy, busyText(path)};
    if (error == ENXIO || error == ENODEV || error == ENOENT) return {Reason::Missing, missingText(path)};
    return {Reason::Other, tried(path) + "It cannot be opened: " + std::strerror(error) + "."};
  }
  const std::string notSerial = NotSerialReason(fd);
  ::close(fd);
  if (!notSerial.empty())
    return {Reason::NotSerial, tried(path) + "This is not a serial device (" + notSerial +
                                   "). Choose the cable's device in Option > Port > Settings."};
  LockFile lock;
  if (findLock(path, lock)) return {lock.running ? Reason::Busy : Reason::Locked, lockText(path, lock)};
  // It opens now: another program held it a moment ago, or the cable came back.
  return {Reason::Opens, tried(path) + "The device opens now; it was busy or away a moment ago. Try again."};
}

std::string PortDiagnosis::missingText(const std::string& path) const {
  std::string text = tried(path.empty() ? "(none)" : path) +
                     "This device does not exist: the cable is not plugged in, or it has another name.\n";
  const std::vector<SerialPortEntry> present = ports_.Ports();
  if (present.empty()) return text + "No serial devices are present.";
  text += "Serial devices present:\n";
  for (const SerialPortEntry& p : present) {
    text += "  " + p.device;
    if (!p.description.empty()) text += "  " + p.description;
    if (!p.VidPid().empty()) text += " [" + p.VidPid() + "]";
    if (!p.stablePath.empty()) text += "\n    " + p.stablePath;
    text += "\n";
  }
  return text + "Map one of them in Option > Port > Settings.";
}

std::string PortDiagnosis::deniedText(const std::string& path, const struct stat& st) const {
  const std::string group = nameOfGroup(st.st_gid);
  const std::string user = nameOfUser(::geteuid());
  std::string text = tried(path) + "Permission denied: the device belongs to user " + nameOfUser(st.st_uid) +
                     ", group " + group + " (mode " + modeText(st.st_mode) + ").\n";
  const std::string forGood = "For good, install the udev rule shipped with the program "
                              "(see Troubleshooting in the README).";
  if (privilegedGroup(st.st_gid, group))
    return text + "The group " + group + " carries the super-user's rights: do not join it. This lets you (" +
           user + ") use the device until it is plugged again:\n  sudo chown " + user + " " + quoted(path) +
           " && sudo chmod u+rw " + quoted(path) + "\n" + forGood;
  const bool groupMayUse = (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
  const bool member = inGroup(st.st_gid);
  if (groupMayUse && member)
    return text + "The group " + group + " may read and write it and you (" + user +
           ") are in it: something else refuses it (an access list or a security module).";
  if (!groupMayUse)
    text += "Its mode does not let the group " + group + " read and write it. This fixes it until it is "
            "plugged again:\n  sudo chmod g+rw " + quoted(path) + "\n";
  if (!member)
    text += "You (" + user + ") are not in the group " + group + ". This fixes it:\n  sudo usermod -aG " + group +
            " " + user + "\nthen log out and in again.\n";
  return groupMayUse ? text.substr(0, text.size() - 1) : text + forGood;
}

std::string PortDiagnosis::busyText(const std::string& path) const {
  std::string text = tried(path) + "The device is busy: another program holds it.\n";
  const Scan scan = scanProcesses(path);
  const std::vector<Holder> holders = rankedHolders(path, scan);
  if (!holders.empty()) {
    text += "It is held by " + named(holders[0]) + ".\n";
    for (size_t i = 1; i < holders.size(); ++i) text += "It is open in " + named(holders[i]) + " as well.\n";
    const std::string advice = serviceAdvice(holders[0].name);
    return text + (advice.empty() ? "Close that program and try again." : advice);
  }
  // The holder cannot be named: the system services that usually take new
  // adapters may still be seen running.
  for (const Holder& other : scan.unseen) {
    const std::string advice = serviceAdvice(other.name);
    if (!advice.empty())
      return text + "Which program holds it cannot be seen; " + named(other) + " runs and may be it.\n" + advice;
  }
  return text + "Which program holds it cannot be seen. Close the other program that uses it and try again.\n"
                "If ModemManager or brltty runs here, one of them may hold it:\n"
                "  sudo systemctl stop ModemManager\n"
                "  sudo systemctl mask brltty-udev.service && sudo systemctl stop brltty-udev.service";
}

std::string PortDiagnosis::lockText(const std::string& path, const LockFile& lock) const {
  if (lock.running) {
    const Holder holder{lock.pid, processName(lock.pid)};
    const std::string advice = serviceAdvice(holder.name);
    return tried(path) + "The device is locked by " + named(holder) + " through the lock file " + lock.path + ".\n" +
           (advice.empty() ? "Close that program and try again." : advice);
  }
  const std::string who = lock.pid > 0 ? "process " + std::to_string(lock.pid) + ", which has ended" : "no program";
  return tried(path) + "A lock file left behind keeps the device: " + lock.path + " (of user " +
         nameOfUser(lock.owner) + ", naming " + who + "). Remove it, then try again:\n  sudo rm -f " +
         quoted(lock.path);
}

// A lock file under either name of the device that the serial port cannot take
// over: held by a running program, or left by one of another user.
bool PortDiagnosis::findLock(const std::string& path, LockFile& lock) const {
  std::vector<std::string> names{lockName(path)};
  const std::string real = canonical(path);
  if (lockName(real) != names[0]) names.push_back(lockName(real));
  for (const std::string& name : names) {
    const std::string file = lockRoot_ + "/" + name;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) continue;
    const pid_t pid = lockedBy(file);
    const bool live = running(pid) && pid != ::getpid();
    if (!live && st.st_uid == ::geteuid()) continue;  // a stale lock of ours is taken over
    lock = {file, pid, st.st_uid, live};
    return true;
  }
  return false;
}

std::string PortDiagnosis::processName(pid_t pid) const {
  const std::string name = firstLine(procRoot_ + "/" + std::to_string(pid) + "/comm");
  return name.empty() ? "a program" : name;
}

PortDiagnosis::Scan PortDiagnosis::scanProcesses(const std::string& path) const {
  const std::string target = canonical(path);
  Scan scan;
  DIR* proc = ::opendir(procRoot_.c_str());
  if (proc == nullptr) return scan;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == ::getpid()) continue;
    const std::string dir = procRoot_ + "/" + entry->d_name;
    DIR* fds = ::opendir((dir + "/fd").c_str());
    if (fds == nullptr) {
      if (errno == EACCES) scan.unseen.push_back({static_cast<pid_t>(pid), firstLine(dir + "/comm")});
      continue;
    }
    while (const dirent* fd = ::readdir(fds)) {
      char link[PATH_MAX];
      const ssize_t n = ::readlink((dir + "/fd/" + fd->d_name).c_str(), link, sizeof link - 1);
      if (n <= 0 || std::string(link, static_cast<size_t>(n)) != target) continue;
      scan.holders.push_back({{static_cast<pid_t>(pid), firstLine(dir + "/comm")},
                              mayWrite(dir + "/fdinfo/" + fd->d_name),
                              startTime(dir + "/stat")});
      break;
    }
    ::closedir(fds);
  }
  ::closedir(proc);
  return scan;
}

std::vector<PortDiagnosis::Holder> PortDiagnosis::rankedHolders(const std::string& path, const Scan& scan) const {
  std::vector<Candidate> ranked = scan.holders;
  LockFile lock;
  const pid_t locker = findLock(path, lock) && lock.running ? lock.pid : 0;
  std::stable_sort(ranked.begin(), ranked.end(), [locker](const Candidate& a, const Candidate& b) {
    if ((a.holder.pid == locker) != (b.holder.pid == locker)) return a.holder.pid == locker;
    if (a.writes != b.writes) return a.writes;
    return a.started > b.started;
  });
  std::vector<Holder> holders;
  if (locker != 0 && (ranked.empty() || ranked[0].holder.pid != locker)) holders.push_back({locker, processName(locker)});
  for (const Candidate& c : ranked) holders.push_back(c.holder);
  return holders;
}

PortDiagnosis::Holder PortDiagnosis::FindHolder(const std::string& path) const {
  const std::vector<Holder> holders = rankedHolders(path, scanProcesses(path));
  return holders.empty() ? Holder{} : holders[0];
}
