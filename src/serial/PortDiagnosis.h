#pragma once
// Why a serial device could not be opened, in plain words for the technician:
// missing (and which devices there are), permission denied (and the command that
// fixes it), busy (and which program holds it), or not a serial device.
#include <string>
#include <sys/types.h>

#include "SerialPortList.h"

class PortDiagnosis {
 public:
  enum class Reason { Missing, PermissionDenied, Busy, NotSerial, Opens, Other };

  struct Finding {
    Reason reason = Reason::Other;
    std::string text;  // the lines shown as the message's details
  };

  // ports lists the devices present; procRoot is where the process table is read.
  explicit PortDiagnosis(const SerialPortList& ports, std::string procRoot = "/proc");

  // Looks at the device path again and says what stands in the way.
  Finding Examine(const std::string& path) const;

  // Process id and name of another program holding path open, when the process
  // table tells (pid 0 when not).
  struct Holder {
    pid_t pid = 0;
    std::string name;
  };
  Holder FindHolder(const std::string& path) const;

 private:
  std::string missingText(const std::string& path) const;
  std::string deniedText(const std::string& path, const struct stat& st) const;
  std::string busyText(const std::string& path) const;

  const SerialPortList& ports_;
  std::string procRoot_;
};
