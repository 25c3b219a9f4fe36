#include "frmCom.h"

#include <algorithm>
#include <cstdint>

#include "ComHost.h"
#include "Common.h"
#include "ProfileFile.h"
#include "clsCmcTick.h"

namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

frmCom::frmCom(std::unique_ptr<SerialControl> control, ComHost* host)
    : lnk3D_(this), msCom_(std::move(control)), host_(host) {
  profMain_.SetCurrentPath();
  profMain_.setName("TB4410K.rs");
  profMain_.setSection(Common::AppTitle);
  timSolid_.setInterval(50);
  timSolid_.setTimerType(Qt::PreciseTimer);
  connect(&timSolid_, &QTimer::timeout, this, &frmCom::timSolid_Timer);
  msCom_->OnComm = [this](int16_t commEvent) { MsCom_OnComm(commEvent); };
  msCom_->OnVanished = [this] { onVanished(); };
  msCom_->DeviceFor = [this](int16_t portNo) { return DevicePath(portNo); };
  Reset();
}

frmCom::~frmCom() {
  timSolid_.stop();
  msCom_->OnComm = nullptr;
  msCom_->OnVanished = nullptr;
  msCom_->DeviceFor = nullptr;
  msCom_->setPortOpen(false);
}

void frmCom::configureControl(int32_t rThreshold) {
  msCom_->setDTREnable(true);
  msCom_->setInBufferSize(InBufferSizeBytes);
  msCom_->setOutBufferSize(OutBufferSizeBytes);
  msCom_->setRThreshold(rThreshold);
  msCom_->setRTSEnable(true);
  msCom_->setSThreshold(0);
}

void frmCom::Reset() { resetTo(9600, 1); }

void frmCom::HighSpeedBRatioSet() { resetTo(38400, 1024); }

// Closed, COM 1, the given speed and receive threshold, no error flags.
void frmCom::resetTo(int32_t baud, int32_t rThreshold) {
  setcomOpen(false);
  comPortNum_ = 1;
  comBaud_ = baud;
  configureControl(rThreshold);
  errCannotOpen_ = false;
  errOverflow_ = false;
}

bool frmCom::comOpen() const { return msCom_->PortOpen(); }

// Opening an open port keeps what still waits to be sent: the frame of the
// operation before may not have left yet.
void frmCom::setcomOpen(bool open) {
  const bool alreadyOpen = open && msCom_->PortOpen();
  if (open && !alreadyOpen) {
    msCom_->setCommPort(comPortNum_);
    msCom_->setSettings(std::to_string(comBaud_) + ",N,8,1");
  }
  bool failed = !alreadyOpen && !msCom_->ClearOutBuffer();
  if (msCom_->PortOpen() != open && !msCom_->setPortOpen(open)) failed = true;
  if (failed && open) {
    msCom_->setPortOpen(false);
    errCannotOpen_ = true;
  }
  lnk3D_.Reset();
}

void frmCom::setcomPortNum(int16_t portNo) {
  if (portNo >= imdMinComPortNum() && portNo <= imdmaxComPortNum()) comPortNum_ = portNo;
}

bool frmCom::totalError() const {
  return (lnk3D_.nowError() | (errOverflow_ ? 1 : 0) | (errCannotOpen_ ? 1 : 0)) != 0;
}

void frmCom::AllOver() {
  setcomOpen(false);
  saveData(profMain_);
}

void frmCom::saveData(clsCmcProfileIO& profile) {
  if (host_) host_->saveData(profile);
}

void frmCom::loadData(clsCmcProfileIO& profile) {
  if (host_) host_->loadData(profile);
}

void frmCom::Form_Unload() {
  setcomOpen(false);
  timSolid_.stop();
}

void frmCom::MsCom_OnComm(int16_t commEvent) {
  switch (commEvent) {
    case SerialControl::comEvReceive:
      if (msCom_->InBufferCount() > 0) timSolid_Timer();
      break;
    case SerialControl::comEventRxOver:
      errOverflow_ = true;
      setcomOpen(false);
      break;
    case SerialControl::comEventBreak:
    case SerialControl::comEventCTSTO:
    case SerialControl::comEventDSRTO:
    case SerialControl::comEventFrame:
    case SerialControl::comEventOverrun:
    case SerialControl::comEventCDTO:
    case SerialControl::comEventRxParity:
    case SerialControl::comEventTxFull:
    case SerialControl::comEventDCB:
      dropReceived();
      break;
    default:
      break;
  }
}

// A line error spoils what came with it: the frame being received and the chunk
// still waiting in the control are both dropped.
void frmCom::dropReceived() {
  lnk3D_.ClearRxBuffer();
  for (int32_t left = msCom_->InBufferCount(); left > 0;) {
    const size_t taken = input().size();
    if (taken == 0) break;
    left -= static_cast<int32_t>(std::min<size_t>(taken, static_cast<size_t>(left)));
  }
}

// The device went away while open: closed, and reported once by the next tick.
void frmCom::onVanished() {
  setcomOpen(false);
  errCannotOpen_ = true;
}

void frmCom::timSolid_Timer() {
  if (inTick_) return;  // a modal message inside the tick runs its own event loop
  FlagGuard guard(inTick_);
  msCom_->TakeInArrived();
  if (msCom_->InBufferCount() > 0) {
    const Bytes received = input();
    lnk3D_.read(received);
  }
  lnk3D_.task();
  if (host_) host_->task();
  if (totalError() && host_) host_->ReportError();
  if (totalError() && comOpen()) setcomOpen(false);
  // Lets the control sleep through the line time of what the frame still needs.
  msCom_->ExpectBytes(static_cast<int32_t>(std::min<size_t>(lnk3D_.BytesStillExpected(), INT32_MAX)),
                      lnk3D_.ExpectedHaste());
}

std::string frmCom::DevicePath(int16_t portNo) const {
  const std::string key = "COM" + std::to_string(portNo);
  const std::string path = ProfileFile::ReadString(profMain_.GetMyProfile(), "PORTS", key, "");
  return path.empty() ? DefaultDevicePath(portNo) : path;
}

std::string frmCom::DefaultDevicePath(int16_t portNo) { return "/dev/ttyUSB" + std::to_string(portNo - 1); }

void frmCom::Output(const Bytes& bytes) {
  if (trace_.isOpen()) trace_.sent(bytes, clsCmcTick::now());
  msCom_->Output(bytes);
}

Bytes frmCom::input() {
  Bytes received = msCom_->Input();
  if (trace_.isOpen()) trace_.received(received, clsCmcTick::now());
  return received;
}
