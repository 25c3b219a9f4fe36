#include "PortDiagnosis.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

}  // namespace

PortDiagnosis::PortDiagnosis(const SerialPortList& ports, std::string procRoot)
    : ports_(ports), procRoot_(std::move(procRoot)) {}

PortDiagnosis::Finding PortDiagnosis::Examine(const std::string& path) const {
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
  termios attributes{};
  const bool terminal = ::tcgetattr(fd, &attributes) == 0;
  ::close(fd);
  if (!terminal || !S_ISCHR(st.st_mode))
    return {Reason::NotSerial, tried(path) + "This is not a serial device (" +
                                   (S_ISREG(st.st_mode) ? "an ordinary file" : "not a terminal") +
                                   "). Choose the cable's device in Option > Port > Settings."};
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
  const bool groupMayUse = (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
  if (!inGroup(st.st_gid) && groupMayUse)
    return text + "You (" + user + ") are not in the group " + group + ". This fixes it:\n  sudo usermod -aG " +
           group + " " + user + "\nthen log out and in again.";
  return text + "Its mode lets nobody in this group read and write it. This fixes it until it is plugged again:\n"
                "  sudo chmod 660 " + path + "\nFor good, install the udev rule shipped with the program "
                "(see Troubleshooting in the README).";
}

std::string PortDiagnosis::busyText(const std::string& path) const {
  std::string text = tried(path) + "The device is busy: another program holds it.\n";
  const Holder holder = FindHolder(path);
  if (holder.pid == 0) return text + "Close the other program that uses it and try again.";
  text += "It is held by " + holder.name + " (process " + std::to_string(holder.pid) + ").\n";
  if (holder.name == "ModemManager")
    return text + "ModemManager probes new USB serial adapters. Stop it with:\n  sudo systemctl stop ModemManager";
  if (holder.name == "brltty")
    return text + "brltty takes some USB serial adapters for braille displays. Unless one is in use:\n"
                  "  sudo systemctl mask brltty-udev.service && sudo systemctl stop brltty-udev.service";
  return text + "Close that program and try again.";
}

PortDiagnosis::Holder PortDiagnosis::FindHolder(const std::string& path) const {
  const std::string target = canonical(path);
  DIR* proc = ::opendir(procRoot_.c_str());
  if (proc == nullptr) return {};
  Holder found;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == ::getpid()) continue;
    const std::string fdDir = procRoot_ + "/" + entry->d_name + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr) continue;
    while (const dirent* fd = ::readdir(fds)) {
      char link[PATH_MAX];
      const ssize_t n = ::readlink((fdDir + "/" + fd->d_name).c_str(), link, sizeof link - 1);
      if (n <= 0 || std::string(link, static_cast<size_t>(n)) != target) continue;
      found = {static_cast<pid_t>(pid), firstLine(procRoot_ + "/" + entry->d_name + "/comm")};
      break;
    }
    ::closedir(fds);
    if (found.pid != 0) break;
  }
  ::closedir(proc);
  return found;
}
