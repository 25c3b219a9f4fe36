#pragma once
// Why a serial device could not be opened, in plain words for the technician:
// missing (and which devices there are), permission denied (and the command that
// fixes it), busy (and which program holds it), kept by a lock file, or not a
// serial device.
#include <string>
#include <sys/types.h>
#include <vector>

#include "SerialPortList.h"

class PortDiagnosis {
 public:
  enum class Reason { Missing, PermissionDenied, Busy, Locked, NotSerial, Opens, Other };

  struct Finding {
    Reason reason = Reason::Other;
    std::string text;  // the lines shown as the message's details
  };

  // ports lists the devices present; procRoot is where the process table is read,
  // lockRoot where programs leave their device lock files.
  explicit PortDiagnosis(const SerialPortList& ports, std::string procRoot = "/proc",
                         std::string lockRoot = "/run/lock");

  // Looks at the device a port name opens and says what stands in the way.
  Finding Examine(const std::string& name) const;

  // The path a port name opens: a bare name (ttyUSB0, pts/1) lies under /dev.
  static std::string OpenedPath(const std::string& name);
  // Why an open descriptor cannot be a serial line; empty when it can be one.
  static std::string NotSerialReason(int fd);

  // The other program holding path open, when the process table tells (pid 0
  // when not). Of several, the one that locked it, else one that may write to it,
  // the last started first.
  struct Holder {
    pid_t pid = 0;
    std::string name;
  };
  Holder FindHolder(const std::string& path) const;

 private:
  struct Candidate {
    Holder holder;
    bool writes = true;
    unsigned long long started = 0;
  };
  struct Scan {
    std::vector<Candidate> holders;
    std::vector<Holder> unseen;  // processes whose open files cannot be read
  };
  struct LockFile {
    std::string path;
    pid_t pid = 0;
    uid_t owner = 0;
    bool running = false;
  };

  Scan scanProcesses(const std::string& path) const;
  std::vector<Holder> rankedHolders(const std::string& path, const Scan& scan) const;
  bool findLock(const std::string& path, LockFile& lock) const;
  std::string processName(pid_t pid) const;
  std::string missingText(const std::string& path) const;
  std::string deniedText(const std::string& path, const struct stat& st) const;
  std::string busyText(const std::string& path) const;
  std::string lockText(const std::string& path, const LockFile& lock) const;

  const SerialPortList& ports_;
  std::string procRoot_;
  std::string lockRoot_;
};
