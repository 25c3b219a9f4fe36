#pragma once
// Link operations built from single frame transactions: identification and clone
// read, clone write, adjustment commands; opens the port per action and releases
// it after an idle time.
#include <cstdint>
#include <string>

#include "Common.h"
#include "clsCmcTick.h"

class LinkPort;
class LinkClient;
class clsCmcRadio;
class clsCmcLnk3Drv;

class clsCmcLnk3Sequence {
 public:
  clsCmcLnk3Sequence(LinkPort& com, clsCmcRadio& radio, LinkClient& client);

  void Reset();
  void Standby();
  void easyReset(int16_t portNo);
  void easyCloneRead();
  void easyCloneWrite();
  bool easySendE8NoAnswer(const std::string& spE8);
  bool easySendE8ReqAnswer(const std::string& spE8);
  void start();
  void task();

  int16_t Operation() const { return operation_; }
  void setOperation(int16_t v);
  const std::string& e8HexStrToSend() const { return e8HexStrToSend_; }
  void sete8HexStrToSend(const std::string& v) { e8HexStrToSend_ = v; }
  bool e8AnsRequired() const { return e8AnsRequired_; }
  void sete8AnsRequired(bool v) { e8AnsRequired_ = v; }
  int16_t ComPortNo() const { return comPortNo_; }
  void setComPortNo(int16_t v) { comPortNo_ = v; }
  int32_t comHoldReload() const { return comHoldReload_; }
  void setcomHoldReload(int32_t ms);

  bool OpRunning() const { return stepNo_ != 0; }
  int16_t error() const { return error_; }
  const Bytes& ansInfo() const;
  std::string ansNameM() const;
  std::string ansNameS() const;
  int16_t ansDigOp() const;

 private:
  clsCmcLnk3Drv& driver() const;
  int16_t nextAction();
  int16_t nextForCloneRead(int16_t le);
  int16_t nextForCloneWrite(int16_t le);
  void PrepareLink();
  void StartAction();
  void IdentificationCheck(bool cloneRead);

  LinkPort& com_;
  clsCmcRadio& radio_;
  LinkClient& client_;
  int16_t comPortNo_ = 1;
  int16_t operation_ = 0;
  int16_t actionNo_ = 0;
  int16_t stepNo_ = 0;
  std::string e8HexStrToSend_;
  bool e8AnsRequired_ = false;
  int32_t comHoldReload_ = 0;
  clsCmcTick holdTimer_;
  int16_t error_ = 0;
};
