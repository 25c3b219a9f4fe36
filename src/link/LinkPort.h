#pragma once
// What the clone link needs of the serial port form.
#include <cstdint>

#include "Common.h"

class clsCmcLnk3Drv;

class LinkPort {
 public:
  virtual ~LinkPort() = default;

  virtual bool comSendEnable() const = 0;
  virtual int32_t OutBufferSize() const = 0;
  virtual int32_t OutBufferCount() const = 0;
  virtual void Output(const Bytes& bytes) = 0;

  virtual void setcomPortNum(int16_t portNo) = 0;
  virtual bool comOpen() const = 0;
  virtual void setcomOpen(bool open) = 0;
  virtual void Reset() = 0;

  virtual clsCmcLnk3Drv& lnk3D() = 0;
};
