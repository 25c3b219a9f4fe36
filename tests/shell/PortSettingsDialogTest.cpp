#include "PortSettingsDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace {

class FakePortList : public SerialPortList {
 public:
  std::vector<SerialPortEntry> ports;
  std::vector<SerialPortEntry> Ports() const override { return ports; }
};

SerialPortEntry cp2102() {
  return {"/dev/ttyUSB0", "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0",
          "CP2102 USB to UART Bridge Controller", "Silicon Labs", 0x10c4, 0xea60, "0001"};
}
SerialPortEntry onboard() { return {"/dev/ttyS0", "", "", "", -1, -1, ""}; }

std::vector<std::string> row(QTableWidget& table, int r) {
  std::vector<std::string> cells;
  for (int c = 0; c < table.columnCount(); ++c) cells.push_back(table.item(r, c)->text().toStdString());
  return cells;
}

std::vector<std::string> choices(QComboBox& box) {
  std::vector<std::string> items;
  for (int i = 0; i < box.count(); ++i) items.push_back(box.itemText(i).toStdString());
  return items;
}

class PortSettingsDialogTest : public ::testing::Test {
 protected:
  std::string profile() const { return (dir.path() + "/TB4410K.rs").toStdString(); }
  std::string readBack() const { return fileBytes(QString::fromStdString(profile())).toStdString(); }
  void write(const std::string& text) const { putFile(QString::fromStdString(profile()), QByteArray::fromStdString(text)); }

  QTemporaryDir dir;
  FakePortList list;
};

TEST_F(PortSettingsDialogTest, ListsEveryDeviceWithWhatIsKnownOfIt) {
  list.ports = {onboard(), cp2102()};
  PortSettingsDialog dialog(profile(), list);
  QTableWidget& table = dialog.portTable();
  ASSERT_EQ(table.rowCount(), 2);
  EXPECT_EQ(row(table, 0), (std::vector<std::string>{"/dev/ttyS0", "", "", "", "", ""}));
  EXPECT_EQ(row(table, 1),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0",
                                      "CP2102 USB to UART Bridge Controller", "Silicon Labs", "10c4:ea60", "0001"}));
  // Stable paths are offered first, for every COM number.
  for (int16_t n = 1; n <= 10; ++n) {
    EXPECT_EQ(choices(dialog.mapping(n)),
              (std::vector<std::string>{"/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0", "/dev/ttyS0",
                                        "/dev/ttyUSB0"}));
    EXPECT_EQ(dialog.mapping(n).currentText(), "");
    EXPECT_EQ(dialog.mapping(n).lineEdit()->placeholderText().toStdString(), "/dev/ttyUSB" + std::to_string(n - 1));
  }
}

TEST_F(PortSettingsDialogTest, ShowsTheMappingsOfTheProfileAndWritesOnlyWhatChanged) {
  const std::string before =
      "; bench profile\r\n[Ravlen ADJ Rev.1.0]\r\nx=1\r\n[PORTS]\r\n; the cable\r\nCOM2=/dev/ttyACM0\r\n"
      "COM3=/dev/ttyS1\r\n[OPTION]\r\nComPort=2\r\n";
  write(before);
  list.ports = {cp2102()};
  PortSettingsDialog dialog(profile(), list);
  EXPECT_EQ(dialog.mapping(2).currentText(), "/dev/ttyACM0");
  EXPECT_EQ(dialog.mapping(3).currentText(), "/dev/ttyS1");
  dialog.mapping(1).setCurrentIndex(0);
  dialog.mapping(2).setEditText("  ");
  ASSERT_TRUE(dialog.save());
  EXPECT_EQ(readBack(),
            "; bench profile\r\n[Ravlen ADJ Rev.1.0]\r\nx=1\r\n[PORTS]\r\n; the cable\r\nCOM2=\r\n"
            "COM3=/dev/ttyS1\r\nCOM1=/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0\r\n"
            "[OPTION]\r\nComPort=2\r\n");
  // Saving again without a change rewrites nothing.
  write(before);
  ASSERT_TRUE(dialog.save());
  EXPECT_EQ(readBack(), before);
}

TEST_F(PortSettingsDialogTest, ACablePluggedInOrOutShowsAtTheNextPoll) {
  list.ports = {onboard()};
  PortSettingsDialog dialog(profile(), list);
  EXPECT_TRUE(dialog.pollTimer().isActive());
  dialog.mapping(4).setEditText("/dev/ttyUSB7");
  list.ports = {onboard(), cp2102()};
  dialog.refreshPorts();
  ASSERT_EQ(dialog.portTable().rowCount(), 2);
  EXPECT_EQ(dialog.portTable().item(1, 0)->text(), "/dev/ttyUSB0");
  EXPECT_EQ(dialog.mapping(4).currentText(), "/dev/ttyUSB7");
  EXPECT_EQ(dialog.mapping(4).count(), 3);
  list.ports = {};
  dialog.refreshPorts();
  EXPECT_EQ(dialog.portTable().rowCount(), 0);
  EXPECT_EQ(dialog.mapping(4).count(), 0);
  EXPECT_EQ(dialog.mapping(4).currentText(), "/dev/ttyUSB7");
}

TEST_F(PortSettingsDialogTest, AProfileThatCannotBeWrittenKeepsTheDialogOpenAndSaysWhy) {
  const std::string bad = std::string("[PORTS]\nCOM1=/dev/ttyS0\n\0\n", 25);
  write(bad);
  PortSettingsDialog dialog(profile(), list);
  dialog.mapping(1).setEditText("/dev/ttyUSB3");
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.status().text().startsWith("Cannot save COM 1 in ")) << dialog.status().text().toStdString();
  EXPECT_TRUE(dialog.status().text().contains("NUL")) << dialog.status().text().toStdString();
  EXPECT_EQ(readBack(), bad);
}

TEST_F(PortSettingsDialogTest, CancelWritesNothing) {
  PortSettingsDialog dialog(profile(), list);
  dialog.mapping(1).setEditText("/dev/ttyUSB3");
  dialog.reject();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(profile())));
}

}  // namespace
