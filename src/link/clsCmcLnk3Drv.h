#pragma once
// Frame layer of the clone link: frames payloads, recognises the cable's echo,
// assembles and checks answers, stores clone data, times out and resends.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Common.h"
#include "Haste.h"
#include "clsCmcEeprom.h"
#include "clsCmcTick.h"

class LinkPort;

class clsCmcLnk3Drv {
 public:
  static constexpr int16_t DefaultEndAddress = 32112;
  static constexpr size_t WindowSize = 256;

  explicit clsCmcLnk3Drv(LinkPort* com = nullptr);

  void setmyObjCom(LinkPort* com) { myObjCom_ = com; }

  int16_t workMode() const { return workMode_; }
  void setworkMode(int16_t mode);
  bool waitAnswer() const { return waitAnswer_; }
  void setwaitAnswer(bool v) { waitAnswer_ = v; }
  int16_t retryCount() const { return retryCount_; }
  void setretryCount(int16_t v) { retryCount_ = v; }
  void setmyEep(clsCmcEeprom* refEep) { myEep_ = refEep; }
  int16_t sizDataOfPacket() const { return sizDataOfPacket_; }
  void setsizDataOfPacket(int16_t v) { sizDataOfPacket_ = v; }
  void setcloneWriteAdrList(const std::string& list);
  const std::string& cloneWriteAdrList() const { return writeList_; }
  int32_t writeAdr() const { return writeAdr_; }

  bool Running() const { return running_; }
  int16_t lastError() const { return lastError_; }
  void setlastError(int16_t v) { lastError_ = v; }
  int16_t nowError() const { return nowError_; }
  // Records the code (non-zero also as lastError) and ends the transaction.
  void setnowError(int16_t v);
  const Bytes& ansInfo() const { return ansInfo_; }
  int32_t lastEeAdr() const { return lastEeAdr_; }
  const Bytes& varLastE8Answer() const { return varLastE8Answer_; }
  int16_t EndAddress() const { return endAddress_; }

  bool SendEnable() const;
  // The fewest further bytes that can complete the frame being received: the rest
  // of the echo, or of an answer as long as its header (or its command's shortest
  // answer) says; 0 when nothing is awaited.
  size_t BytesStillExpected() const;
  // How soon those bytes must be taken: clone data frames can wait for the tick,
  // but not near the image's end, nor the end frame.
  Haste ExpectedHaste() const;
  bool waitEcho() const { return workMode_ >= 1 && workMode_ <= 5; }

  int16_t Send(const Bytes& vr0);
  int16_t RetrySend();
  void SendFE(int16_t Wt);
  int16_t RealSend(const Bytes& vr0);

  void read(const uint8_t* data, size_t count);
  void read(const Bytes& vrR) { read(vrR.data(), vrR.size()); }
  void task();
  void Reset();
  void ClearRxBuffer();

  // Builds the next clone-write payload (E4 and its data text) and walks the address list.
  Bytes MakeCloneWriteFrame();

 private:
  enum RxMode : int16_t { RxIdle = 0, RxEcho = 1, RxAnswer = 2 };

  void SetRxMode(int16_t m);
  void EndTransaction();
  void readEcho(const uint8_t*& p, const uint8_t* end);
  void readAnswer(const uint8_t*& p, const uint8_t* end);
  void appendToWindow(const uint8_t* first, const uint8_t* last);
  size_t echoBytesMissing() const;
  size_t answerBodyLength() const;
  void FrameReceived();
  void echoReceived();
  int16_t AnswerProcess(const Bytes& body);
  bool answerByCommand(const Bytes& body);
  bool CheckAnswer(const Bytes& body);
  bool checkIdentification(const Bytes& body);
  bool checkCloneData(const Bytes& body);
  bool checkCloneEnd(const Bytes& body);
  bool checkAdjustAnswer(const Bytes& body) const;
  void takeEndAddress(const Bytes& body);
  int16_t StoreCloneData(const Bytes& body);
  void sendNextCloneWriteFrame();

  LinkPort* myObjCom_ = nullptr;
  clsCmcEeprom* myEep_ = nullptr;
  int16_t workMode_ = 0;
  bool waitAnswer_ = false;
  int16_t retryCount_ = 0;
  int16_t retriesLeft_ = 0;
  int16_t sizDataOfPacket_ = 16;
  std::string writeList_;
  int32_t writeAdr_ = 0;
  bool running_ = false;
  int16_t lastError_ = 0;
  int16_t nowError_ = 0;
  Bytes ansInfo_;
  int32_t lastEeAdr_ = 0;
  Bytes varLastE8Answer_;
  int16_t endAddress_ = DefaultEndAddress;
  Bytes txFrame_;
  Bytes lastPayload_;
  int16_t rxMode_ = RxIdle;
  Bytes rxWindow_;
  bool seekStart_ = true;
  bool linkIdle_ = true;
  int32_t echoTime_ = 1000;
  int32_t answerTime_ = 1200;
  clsCmcTick respTimer_;
  int16_t e8CmdByte_ = 0;
  int16_t frameCount_ = 0;
  bool countMismatch_ = false;
};
