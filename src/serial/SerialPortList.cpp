#include "SerialPortList.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>
#include <cstdio>

std::string SerialPortEntry::VidPid() const {
  if (vendorId < 0 || productId < 0) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", vendorId & 0xFFFF, productId & 0xFFFF);
  return text;
}

SystemSerialPortList::SystemSerialPortList(std::string byIdDirectory) : byIdDirectory_(std::move(byIdDirectory)) {}

std::vector<SerialPortEntry> SystemSerialPortList::Ports() const {
  // Each by-id link, by the device it leads to.
  const QDir byId(QString::fromStdString(byIdDirectory_));
  std::vector<std::pair<QString, QString>> links;
  for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
    links.emplace_back(link.canonicalFilePath(), link.absoluteFilePath());

  std::vector<SerialPortEntry> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    SerialPortEntry entry;
    entry.device = info.systemLocation().toStdString();
    const QString real = QFileInfo(info.systemLocation()).canonicalFilePath();
    for (const auto& [target, path] : links)
      if (!real.isEmpty() && target == real) entry.stablePath = path.toStdString();
    entry.description = info.description().toStdString();
    entry.maker = info.manufacturer().toStdString();
    if (info.hasVendorIdentifier()) entry.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier()) entry.productId = info.productIdentifier();
    entry.serialNumber = info.serialNumber().toStdString();
    ports.push_back(std::move(entry));
  }
  std::sort(ports.begin(), ports.end(),
            [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.device < b.device; });
  return ports;
}
