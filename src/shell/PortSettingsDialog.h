#pragma once
// Option > Port > Settings...: the serial devices present, and which device each COM
// number stands for (the PORTS section of the profile). The list follows cables
// plugged in or out while the dialog is open.
#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "SerialPortList.h"

class QComboBox;
class QLabel;
class QTableWidget;

class PortSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int16_t FirstPort = 1;
  static constexpr int16_t LastPort = 10;
  static constexpr int PollIntervalMs = 1000;

  PortSettingsDialog(std::string profilePath, const SerialPortList& ports, QWidget* parent = nullptr);

  QTableWidget& portTable() { return *portTable_; }
  QComboBox& mapping(int16_t portNo) { return *mappings_.at(static_cast<size_t>(portNo - FirstPort)); }
  QLabel& status() { return *status_; }
  QTimer& pollTimer() { return pollTimer_; }

  // Reads the device list again; the table and the choices change only when it did.
  void refreshPorts();
  // Writes the mappings that changed; false (and the reason shown) when the profile
  // could not be written.
  bool save();

  void accept() override;

 private:
  void buildTable();
  void fillTable();
  void fillChoices();

  std::string profilePath_;
  const SerialPortList& ports_;
  std::vector<SerialPortEntry> shown_;
  std::array<std::string, LastPort - FirstPort + 1> saved_;
  std::array<QComboBox*, LastPort - FirstPort + 1> mappings_{};
  QTableWidget* portTable_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer pollTimer_;
};
