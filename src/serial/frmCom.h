#pragma once
// The hidden serial port form: owns the serial control, the 50 ms tick timer, the
// frame driver and the settings profile; turns port trouble into two flags.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

#include "LinkPort.h"
#include "ProtocolTrace.h"
#include "SerialControl.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcProfileIO.h"

class ComHost;

class frmCom : public QObject, public LinkPort {
  Q_OBJECT
 public:
  static constexpr int32_t InBufferSizeBytes = 32760;
  static constexpr int32_t OutBufferSizeBytes = 1024;

  explicit frmCom(std::unique_ptr<SerialControl> control, ComHost* host = nullptr);
  ~frmCom() override;

  void setHost(ComHost* host) { host_ = host; }
  clsCmcLnk3Drv& lnk3D() override { return lnk3D_; }
  clsCmcProfileIO& profMain() { return profMain_; }
  SerialControl& MsCom() { return *msCom_; }
  QTimer& timSolid() { return timSolid_; }
  // Every frame written and read, when open; closed by default.
  ProtocolTrace& trace() { return trace_; }

  void Reset() override;
  void HighSpeedBRatioSet();

  bool comOpen() const override;
  void setcomOpen(bool open) override;
  bool comSendEnable() const override { return comOpen(); }
  int16_t comPortNum() const { return comPortNum_; }
  void setcomPortNum(int16_t portNo) override;
  int32_t comBaud() const { return comBaud_; }
  void setcomBaud(int32_t baud) { comBaud_ = baud; }
  void setbusSettings(const std::string& settings) { msCom_->setSettings(settings); }
  static int16_t imdMinComPortNum() { return 1; }
  static int16_t imdmaxComPortNum() { return 10; }
  bool errCannotOpen() const { return errCannotOpen_; }
  void seterrCannotOpen(bool v) { errCannotOpen_ = v; }
  bool errOverflow() const { return errOverflow_; }
  void seterrOverflow(bool v) { errOverflow_ = v; }
  bool totalError() const;

  void AllOver();
  void saveData(clsCmcProfileIO& profile);
  void loadData(clsCmcProfileIO& profile);

  void Form_Load() {}
  void Form_QueryUnload() {}
  void Form_Unload();
  void MsCom_OnComm(int16_t commEvent);
  void timSolid_Timer();

  // Device behind a COM number: profile section "PORTS", key "COMn", or /dev/ttyUSB(n-1).
  std::string DevicePath(int16_t portNo) const;
  // The device a COM number has when the profile names none.
  static std::string DefaultDevicePath(int16_t portNo);

  // LinkPort
  int32_t OutBufferSize() const override { return msCom_->OutBufferSize(); }
  int32_t OutBufferCount() const override { return msCom_->OutBufferCount(); }
  void Output(const Bytes& bytes) override;

 private:
  void resetTo(int32_t baud, int32_t rThreshold);
  void configureControl(int32_t rThreshold);
  void dropReceived();
  void onVanished();
  Bytes input();

  clsCmcLnk3Drv lnk3D_;
  clsCmcProfileIO profMain_;
  std::unique_ptr<SerialControl> msCom_;
  QTimer timSolid_;
  ComHost* host_ = nullptr;
  ProtocolTrace trace_;
  int16_t comPortNum_ = 1;
  int32_t comBaud_ = 9600;
  bool errCannotOpen_ = false;
  bool errOverflow_ = false;
  bool inTick_ = false;
};
