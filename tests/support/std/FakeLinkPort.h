#pragma once
// A serial port form stand-in for the link layer: records every frame written and
// lets the test decide whether the port opens.
#include <vector>

#include "LinkPort.h"
#include "clsCmcLnk3Drv.h"

class FakeLinkPort : public LinkPort {
 public:
  FakeLinkPort() { drv.setmyObjCom(this); }

  bool comSendEnable() const override { return open; }
  int32_t OutBufferSize() const override { return outBufferSize; }
  int32_t OutBufferCount() const override { return outBufferCount; }
  void Output(const Bytes& bytes) override { written.push_back(bytes); }
  void setcomPortNum(int16_t portNo) override {
    if (portNo >= 1 && portNo <= 10) portNum = portNo;
  }
  bool comOpen() const override { return open; }
  void setcomOpen(bool v) override {
    open = v && !openFails;
    drv.Reset();
  }
  void Reset() override {
    setcomOpen(false);
    portNum = 1;
    ++resets;
  }
  clsCmcLnk3Drv& lnk3D() override { return drv; }

  clsCmcLnk3Drv drv;
  bool open = false;
  bool openFails = false;
  int16_t portNum = 1;
  int32_t outBufferSize = 1024;
  int32_t outBufferCount = 0;
  int resets = 0;
  std::vector<Bytes> written;
};
