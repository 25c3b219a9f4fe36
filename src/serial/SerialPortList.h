#pragma once
// The serial devices present on the machine, as the port settings and the failure
// reasons show them. The utility asks the system; tests hand in their own list.
#include <cstdint>
#include <string>
#include <vector>

struct SerialPortEntry {
  std::string device;        // /dev/ttyUSB0
  std::string stablePath;    // /dev/serial/by-id/..., empty when there is none
  std::string description;
  std::string maker;
  int32_t vendorId = -1;     // -1 when unknown
  int32_t productId = -1;
  std::string serialNumber;

  // "10c4:ea60", or empty when the ids are unknown.
  std::string VidPid() const;
  // The stable path when there is one, else the device.
  const std::string& PreferredPath() const { return stablePath.empty() ? device : stablePath; }
  bool operator==(const SerialPortEntry&) const = default;
};

class SerialPortList {
 public:
  virtual ~SerialPortList() = default;
  virtual std::vector<SerialPortEntry> Ports() const = 0;
};

// The system's list: QSerialPortInfo, with the /dev/serial/by-id links resolved.
class SystemSerialPortList : public SerialPortList {
 public:
  explicit SystemSerialPortList(std::string byIdDirectory = "/dev/serial/by-id");
  std::vector<SerialPortEntry> Ports() const override;

 private:
  std::string byIdDirectory_;
};
