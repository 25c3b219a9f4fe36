#include "start.h"

#include <QMessageBox>
#include <memory>

#include "Common.h"
#include "Globals.h"
#include "SingleInstanceLock.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcRadio.h"
#include "frmCom.h"
#include "frmMain.h"

namespace start {
namespace {

std::unique_ptr<SingleInstanceLock>& instanceLock() {
  static std::unique_ptr<SingleInstanceLock> lock;
  return lock;
}

bool anotherCopyRuns() {
  auto& lock = instanceLock();
  if (!lock) lock = std::make_unique<SingleInstanceLock>(SingleInstanceLock::DefaultPath());
  return lock->TryAcquire() == SingleInstanceLock::Result::HeldElsewhere;
}

// The port chosen in the profile goes to the given device; the other numbers keep
// the profile's mapping.
void useDeviceFor(int16_t chosen, frmCom& com, const std::string& device) {
  com.MsCom().DeviceFor = [&com, chosen, device](int16_t portNo) {
    return portNo == chosen ? device : com.DevicePath(portNo);
  };
}

int16_t showWindowBox(const std::string& text, const std::string& details) {
  QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace("\r\n", "\n");
  QWidget* parent = Globals::mainWindowExists() ? &Globals::mainWindow() : nullptr;
  QMessageBox box(QMessageBox::Critical, Common::AppTitle, shown, QMessageBox::Ok, parent);
  if (!details.empty()) box.setDetailedText(QString::fromStdString(details));
  box.exec();
  return Common::ButtonOk;
}

}  // namespace

bool Main(const std::string& device) {
  if (anotherCopyRuns()) {
    Common::MsgBoxApp(AlreadyRunningText);
    return false;
  }
  frmCom& com = Globals::com();
  clsCmcRadio& radio = Globals::radio();
  radio.setradioNameM("2928");
  radio.setradionameS("0100");
  radio.cloneWriteAdrList_Clear();
  radio.cloneWriteAdrList_Add(0x0000, 0x7D6F);
  com.setcomPortNum(1);
  com.setcomBaud(9600);
  com.lnk3D().Reset();
  com.Reset();
  LoadSettings();
  if (!device.empty()) useDeviceFor(Globals::mainWindow().ComPortNo(), com, device);
  com.Form_Load();
  com.timSolid().start();
  Globals::mainWindow().show();
  return true;
}

void SaveSettings() {
  frmCom& com = Globals::com();
  com.saveData(com.profMain());
}

void LoadSettings() {
  frmCom& com = Globals::com();
  com.loadData(com.profMain());
}

void InstallWindowMessageBox() {
  Common::SetMsgBoxHandler([](const std::string& text) { return showWindowBox(text, {}); });
  Common::SetMsgBoxDetailHandler(showWindowBox);
}

void ReleaseInstanceLock() { instanceLock().reset(); }

}  // namespace start
