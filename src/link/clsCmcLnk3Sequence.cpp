#include "clsCmcLnk3Sequence.h"

#include "LinkClient.h"
#include "LinkPort.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcRadio.h"

namespace {

constexpr int16_t kActionIdentify = 1;
constexpr int16_t kActionCloneRead = 2;
constexpr int16_t kActionCloneWrite = 3;
constexpr int16_t kActionAdjust = 4;
constexpr int16_t kActionFail = 5;
constexpr int16_t kActionFinish = 6;

}  // namespace

clsCmcLnk3Sequence::clsCmcLnk3Sequence(LinkPort& com, clsCmcRadio& radio, LinkClient& client)
    : com_(com), radio_(radio), client_(client) {
  Reset();
  comPortNo_ = 1;
  setcomHoldReload(0);
}

clsCmcLnk3Drv& clsCmcLnk3Sequence::driver() const { return com_.lnk3D(); }

void clsCmcLnk3Sequence::Reset() {
  driver().Reset();
  com_.Reset();
  Standby();
}

void clsCmcLnk3Sequence::Standby() {
  operation_ = 0;
  stepNo_ = 0;
  e8HexStrToSend_.clear();
}

void clsCmcLnk3Sequence::easyReset(int16_t portNo) {
  Reset();
  comPortNo_ = portNo;
}

void clsCmcLnk3Sequence::easyCloneRead() {
  setOperation(2);
  start();
}

void clsCmcLnk3Sequence::easyCloneWrite() {
  setOperation(3);
  start();
}

bool clsCmcLnk3Sequence::easySendE8NoAnswer(const std::string& spE8) {
  setOperation(4);
  e8HexStrToSend_ = spE8;
  start();
  return false;
}

bool clsCmcLnk3Sequence::easySendE8ReqAnswer(const std::string& spE8) {
  setOperation(4);
  e8HexStrToSend_ = spE8;
  e8AnsRequired_ = true;
  start();
  return false;
}

void clsCmcLnk3Sequence::start() {
  stepNo_ = 0;
  task();
}

void clsCmcLnk3Sequence::setOperation(int16_t v) {
  operation_ = v;
  e8AnsRequired_ = false;
}

void clsCmcLnk3Sequence::setcomHoldReload(int32_t ms) {
  comHoldReload_ = ms;
  holdTimer_.setcounter(ms);
}

const Bytes& clsCmcLnk3Sequence::ansInfo() const { return driver().ansInfo(); }

std::string clsCmcLnk3Sequence::ansNameM() const {
  const Bytes& info = ansInfo();
  return info.size() >= 5 ? Common::BinToHexStr(info.data() + 3, 2) : std::string();
}

std::string clsCmcLnk3Sequence::ansNameS() const {
  const Bytes& info = ansInfo();
  return info.size() >= 7 ? Common::BinToHexStr(info.data() + 5, 2) : std::string();
}

int16_t clsCmcLnk3Sequence::ansDigOp() const {
  const Bytes& info = ansInfo();
  if (info.size() < 59) return 0;
  const uint8_t flags = info[58];
  if (flags & 0x20) return 2;
  if (flags & 0x10) return 1;
  return 0;
}

void clsCmcLnk3Sequence::task() {
  const bool hold = operation_ != 0;
  if (operation_ != 0 && !driver().Running()) {
    int16_t next = nextAction();
    if (next == kActionFail) {
      com_.setcomOpen(false);
      client_.MsgBoxCloneErr(*this);
    }
    ++stepNo_;
    if (next == kActionFail) next = kActionFinish;
    if (next != 0) {
      actionNo_ = next;
      StartAction();
    }
  }
  if (hold) {
    holdTimer_.setcounter(comHoldReload_);
  } else if (comHoldReload_ > 0 && holdTimer_.counter() == 0 && com_.comOpen()) {
    Reset();
  }
}

int16_t clsCmcLnk3Sequence::nextAction() {
  const int16_t le = driver().lastError();
  switch (operation_) {
    case 1:
      return stepNo_ == 0 ? kActionIdentify : kActionFinish;
    case 2:
      return nextForCloneRead(le);
    case 3:
      return nextForCloneWrite(le);
    case 4:
      if (stepNo_ == 0) return kActionAdjust;
      return le != 0 ? kActionFail : kActionFinish;
    default:
      return 0;
  }
}

int16_t clsCmcLnk3Sequence::nextForCloneRead(int16_t le) {
  int16_t next = 0;
  switch (stepNo_) {
    case 0:
      return kActionIdentify;
    case 1:
      if (le != 0) {
        error_ = 4;
      } else {
        IdentificationCheck(true);
      }
      break;
    case 2:
      if (le != 0) error_ = 4;
      break;
    case 3:
      if (le != 0) {
        error_ = 4;
      } else {
        next = kActionCloneRead;
      }
      break;
    case 4:
      return le != 0 ? kActionFail : 0;
    default:
      return le != 0 ? kActionFail : kActionFinish;
  }
  return error_ != 0 ? kActionFail : next;
}

int16_t clsCmcLnk3Sequence::nextForCloneWrite(int16_t le) {
  if (stepNo_ == 0) return kActionIdentify;
  if (stepNo_ >= 2) return le != 0 ? kActionFail : kActionFinish;
  if (le != 0) {
    error_ = 4;
    return kActionFail;
  }
  IdentificationCheck(false);
  return error_ != 0 ? kActionFail : kActionCloneWrite;
}

void clsCmcLnk3Sequence::IdentificationCheck(bool cloneRead) {
  if (ansNameM() != radio_.radioNameM()) error_ = 1;
  const Bytes& info = ansInfo();
  const std::string format = info.size() >= 43 ? Common::BinToHexStr(info.data() + 42, 1) : std::string();
  if (cloneRead ? format > "01" : format != "01") error_ = 3;
  // No identification came (the port did not open): keep the identity as it is.
  if (info.size() < 7) return;
  const std::string nameS = ansNameS();
  if (client_.RigOpFunc_CheckSubNameLegal(nameS)) {
    radio_.setradionameS(nameS);
    if (cloneRead) client_.setRigVelaOp_Digital_Option(ansDigOp() != 0);
  } else {
    error_ = 2;
  }
}

void clsCmcLnk3Sequence::PrepareLink() {
  driver().setlastError(0);
  error_ = 0;
  com_.setcomPortNum(comPortNo_);
}

void clsCmcLnk3Sequence::StartAction() {
  if (actionNo_ == kActionFinish) {
    stepNo_ = 0;
    Standby();
    return;
  }
  if (actionNo_ < kActionIdentify || actionNo_ > kActionAdjust) return;

  PrepareLink();
  com_.setcomOpen(true);
  clsCmcLnk3Drv& drv = driver();
  const std::string& nameM = radio_.radioNameM();
  const std::string& nameS = radio_.radionameS();
  std::string payload;
  switch (actionNo_) {
    case kActionIdentify:
      drv.setworkMode(1);
      payload = "E0" + nameM + "0000";
      break;
    case kActionCloneRead:
      drv.setworkMode(2);
      drv.setmyEep(&radio_.eepImage());
      payload = "E2" + nameM + nameS;
      break;
    case kActionCloneWrite:
      drv.setworkMode(3);
      drv.setmyEep(&radio_.eepImage());
      drv.setsizDataOfPacket(16);
      drv.setcloneWriteAdrList(radio_.cloneWriteAdrList());
      payload = "E3" + nameM + nameS;
      break;
    default:
      drv.setworkMode(5);
      drv.setwaitAnswer(e8AnsRequired_);
      drv.setretryCount(2);
      payload = "E8" + nameM + nameS + e8HexStrToSend_;
      break;
  }
  drv.Send(Common::HexStrToBin(payload));
}
