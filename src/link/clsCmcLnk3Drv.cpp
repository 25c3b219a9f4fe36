#include "clsCmcLnk3Drv.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "LinkPort.h"

namespace {

constexpr uint8_t kPreamble = 0xFE;
constexpr uint8_t kEndOfFrame = 0xFD;
constexpr uint8_t kPcAddress = 0xEF;
constexpr uint8_t kRadioAddress = 0xEE;
constexpr uint8_t kCmdIdentify = 0xE1;
constexpr uint8_t kCmdCloneData = 0xE4;
constexpr uint8_t kCmdCloneEnd = 0xE5;
constexpr uint8_t kCmdVerdict = 0xE6;
constexpr uint8_t kCmdAdjust = 0xE8;
// The clone data of the image's last bytes is taken at once.
constexpr int32_t kCloneTailBytes = 64;
constexpr const char* kIdentText = "5461767520496E632E";

// Hex text of body positions first..last (counted from 1), clipped to the body.
std::string hexOfPositions(const Bytes& body, size_t first, size_t last) {
  if (first > body.size()) return {};
  last = std::min(last, body.size());
  return Common::BinToHexStr(body.data() + first - 1, last - first + 1);
}

// The digits at body positions first..last read as one hex number.
int16_t intOfPositions(const Bytes& body, size_t first, size_t last) {
  if (first > body.size()) return 0;
  last = std::min(last, body.size());
  return Common::BinHexToInt(body.data() + first - 1, last - first + 1);
}

// A decimal number: digits, optionally one exponent letter E or D between digits,
// with a finite value.
bool isNumericText(std::string text) {
  if (text.empty()) return false;
  size_t exponentAt = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') continue;
    if ((c == 'E' || c == 'D') && exponentAt == std::string::npos && i > 0 && i + 1 < text.size()) {
      exponentAt = i;
      continue;
    }
    return false;
  }
  if (exponentAt == std::string::npos) return true;
  text[exponentAt] = 'E';
  return std::isfinite(std::strtod(text.c_str(), nullptr));
}

// Hex value of up to len characters of text from index pos; stops at a non-digit.
int32_t hexField(const std::string& text, size_t pos, size_t len) {
  int32_t value = 0;
  for (size_t i = pos; i < std::min(text.size(), pos + len); ++i) {
    const int d = Common::HexDigitValue(static_cast<uint8_t>(text[i]));
    if (d < 0) break;
    value = value * 16 + d;
  }
  return value;
}

}  // namespace

clsCmcLnk3Drv::clsCmcLnk3Drv(LinkPort* com) : myObjCom_(com) {
  rxWindow_.reserve(WindowSize);
  Reset();
}

void clsCmcLnk3Drv::setworkMode(int16_t mode) {
  workMode_ = mode;
  varLastE8Answer_.clear();
  lastEeAdr_ = 0;
  waitAnswer_ = (mode == 1 || mode == 2 || mode == 4);
}

void clsCmcLnk3Drv::setcloneWriteAdrList(const std::string& list) {
  writeList_ = list;
  writeAdr_ = hexField(list, 0, 4);
}

void clsCmcLnk3Drv::setnowError(int16_t v) {
  nowError_ = v;
  if (v != 0) lastError_ = v;
  EndTransaction();
}

bool clsCmcLnk3Drv::SendEnable() const {
  if (!linkIdle_ || myObjCom_ == nullptr || !myObjCom_->comSendEnable()) return false;
  const int64_t free =
      static_cast<int64_t>(myObjCom_->OutBufferSize()) - myObjCom_->OutBufferCount();
  return free >= 257;
}

size_t clsCmcLnk3Drv::BytesStillExpected() const {
  if (rxMode_ == RxEcho) return echoBytesMissing();
  if (rxMode_ != RxAnswer) return 0;
  if (seekStart_) return 1 + answerBodyLength() + 1;  // FE, body, FD
  const size_t length = std::min(answerBodyLength(), WindowSize);
  return length > rxWindow_.size() ? length - rxWindow_.size() + 1 : 1;
}

// In a clone read every frame is taken as data until its command shows otherwise,
// except near the image's end: the end frame follows closely, and is answered.
Haste clsCmcLnk3Drv::ExpectedHaste() const {
  if (rxMode_ != RxAnswer || workMode_ != 2) return Haste::AtOnce;
  const bool nearEnd = lastEeAdr_ + 1 + kCloneTailBytes >= endAddress_;
  const bool data = seekStart_ || rxWindow_.size() < 3 || rxWindow_[2] == kCmdCloneData;
  return data && !nearEnd ? Haste::ByNextTick : Haste::AtOnce;
}

// The frame just sent less the longest start of it that ends the window.
size_t clsCmcLnk3Drv::echoBytesMissing() const {
  const size_t frameLength = txFrame_.size();
  if (frameLength == 0) return 0;
  for (size_t k = std::min(rxWindow_.size(), frameLength - 1); k > 0; --k) {
    if (std::equal(rxWindow_.end() - static_cast<std::ptrdiff_t>(k), rxWindow_.end(), txFrame_.begin()))
      return frameLength - k;
  }
  return frameLength;
}

// The body length of the answer being received, as far as its first bytes tell:
// the length its header gives, else the shortest answer its command (or, before the
// command, the awaited command) can have.
size_t clsCmcLnk3Drv::answerBodyLength() const {
  const Bytes& body = rxWindow_;
  const int16_t command = (!seekStart_ && body.size() >= 3) ? body[2] : 0;
  if (command == kCmdCloneData || (command == 0 && workMode_ == 2)) {
    if (command != 0 && body.size() >= 9 && Common::HexDigitValue(body[7]) >= 0 &&
        Common::HexDigitValue(body[8]) >= 0)
      return 11 + 2 * static_cast<size_t>(Common::HexDigitValue(body[7]) * 16 + Common::HexDigitValue(body[8]));
    return 13;
  }
  if (command == kCmdIdentify || (command == 0 && workMode_ == 1)) {
    return (command != 0 && body.size() >= 8) ? std::max<size_t>(body[7] + 7, 8) : 59;
  }
  if (command == kCmdCloneEnd) return 14;
  if (command == kCmdAdjust || (command == 0 && workMode_ == 5)) return 8;
  if (command == kCmdVerdict || (command == 0 && workMode_ == 4)) return 4;
  return 3;
}

void clsCmcLnk3Drv::SetRxMode(int16_t m) {
  rxMode_ = m;
  if (m == RxEcho) respTimer_.setcounter(echoTime_);
  if (m == RxAnswer) respTimer_.setcounter(answerTime_);
}

void clsCmcLnk3Drv::EndTransaction() {
  SetRxMode(RxIdle);
  txFrame_.clear();
  running_ = false;
  retryCount_ = 0;
  linkIdle_ = true;
}

int16_t clsCmcLnk3Drv::Send(const Bytes& vr0) {
  const int16_t r = RealSend(vr0);
  retriesLeft_ = retryCount_;
  return r;
}

int16_t clsCmcLnk3Drv::RetrySend() {
  if (retriesLeft_ < 1) return 1;
  EndTransaction();
  const int16_t r = RealSend(lastPayload_);
  --retriesLeft_;
  return r;
}

void clsCmcLnk3Drv::SendFE(int16_t Wt) {
  if (Wt > 0) txFrame_.insert(txFrame_.end(), static_cast<size_t>(Wt), kPreamble);
  if (myObjCom_ != nullptr) myObjCom_->Output(txFrame_);
}

int16_t clsCmcLnk3Drv::RealSend(const Bytes& vr0) {
  if (!txFrame_.empty() || !SendEnable()) return 1;
  if (workMode_ == 5 && vr0.size() < 6) return 1;  // no command byte to match the answer
  lastPayload_ = vr0;
  txFrame_.clear();
  txFrame_.reserve(vr0.size() + 5);
  txFrame_.insert(txFrame_.end(), {kPreamble, kPreamble, kRadioAddress, kPcAddress});
  txFrame_.insert(txFrame_.end(), vr0.begin(), vr0.end());
  txFrame_.push_back(kEndOfFrame);
  if (workMode_ == 5) e8CmdByte_ = vr0[5];
  myObjCom_->Output(txFrame_);
  linkIdle_ = false;
  if (waitEcho()) {
    SetRxMode(RxEcho);
    running_ = true;
  } else if (waitAnswer_) {
    SetRxMode(RxAnswer);
    running_ = true;
  } else {
    EndTransaction();
  }
  if (!waitAnswer_) EndTransaction();
  return 0;
}

void clsCmcLnk3Drv::read(const uint8_t* data, size_t count) {
  const uint8_t* p = data;
  const uint8_t* const end = data + count;
  while (p < end) {
    if (rxMode_ == RxEcho) {
      readEcho(p, end);
    } else if (rxMode_ == RxAnswer) {
      readAnswer(p, end);
    } else {
      p = end;
    }
  }
}

// Looks for the frame just sent in the window followed by the chunk, however much
// follows it; keeps the last WindowSize bytes when it is not there yet.
void clsCmcLnk3Drv::readEcho(const uint8_t*& p, const uint8_t* end) {
  const size_t frameLength = txFrame_.size();
  if (frameLength == 0) {
    p = end;
    return;
  }
  const size_t available = static_cast<size_t>(end - p);
  const uint8_t* echoEnd = nullptr;

  // A match that starts inside the window ends within the chunk's first bytes.
  Bytes junction(rxWindow_);
  junction.insert(junction.end(), p, p + std::min(available, frameLength - 1));
  const auto inJunction = std::search(junction.begin(), junction.end(), txFrame_.begin(), txFrame_.end());
  if (inJunction != junction.end()) {
    const size_t endInJunction = static_cast<size_t>(inJunction - junction.begin()) + frameLength;
    echoEnd = p + (endInJunction > rxWindow_.size() ? endInJunction - rxWindow_.size() : 0);
  } else {
    const auto found = std::search(
        p, end, std::boyer_moore_horspool_searcher(txFrame_.begin(), txFrame_.end()));
    if (found != end) echoEnd = found + frameLength;
  }

  if (echoEnd == nullptr) {
    appendToWindow(p, end);
    p = end;
    return;
  }
  rxWindow_.clear();  // an echo already seen must not match a resent frame again
  p = echoEnd;
  FrameReceived();
  seekStart_ = true;
}

// Assembles answer bodies between FE and FD. The next FE and FD positions are
// remembered so a chunk is scanned once, however it is split into frames.
void clsCmcLnk3Drv::readAnswer(const uint8_t*& p, const uint8_t* end) {
  const uint8_t* nextFe = nullptr;
  const uint8_t* nextFd = nullptr;
  auto find = [end](const uint8_t* from, uint8_t value) {
    const void* hit = std::memchr(from, value, static_cast<size_t>(end - from));
    return hit ? static_cast<const uint8_t*>(hit) : end;
  };
  auto frameComplete = [this] {
    FrameReceived();
    rxWindow_.clear();
    seekStart_ = true;
  };

  while (p < end && rxMode_ == RxAnswer) {
    if (nextFe == nullptr || nextFe < p) nextFe = find(p, kPreamble);
    if (nextFd == nullptr || nextFd < p) nextFd = find(p, kEndOfFrame);

    if (nextFe == end) {
      if (seekStart_) {
        p = end;
      } else if (nextFd == end) {
        appendToWindow(p, end);
        p = end;
      } else {
        appendToWindow(p, nextFd);
        p = end;  // the rest holds no frame start
        frameComplete();
      }
      return;
    }
    if (nextFd == end || nextFe < nextFd) {
      p = nextFe + 1;
      seekStart_ = false;
      rxWindow_.clear();
      continue;
    }
    if (seekStart_) {
      p = end;  // noise ending in FD: the rest of the chunk goes with it
      return;
    }
    appendToWindow(p, nextFd);
    p = nextFd + 1;
    frameComplete();
  }
}

void clsCmcLnk3Drv::appendToWindow(const uint8_t* first, const uint8_t* last) {
  const size_t count = static_cast<size_t>(last - first);
  if (count >= WindowSize) {
    rxWindow_.assign(last - WindowSize, last);
    return;
  }
  const size_t keep = std::min(rxWindow_.size(), WindowSize - count);
  rxWindow_.erase(rxWindow_.begin(), rxWindow_.end() - static_cast<std::ptrdiff_t>(keep));
  rxWindow_.insert(rxWindow_.end(), first, last);
}

void clsCmcLnk3Drv::FrameReceived() {
  if (rxMode_ == RxEcho) {
    echoReceived();
  } else if (rxMode_ == RxAnswer) {
    varLastE8Answer_ = rxWindow_;
    if (AnswerProcess(rxWindow_) == 0) EndTransaction();
  }
}

void clsCmcLnk3Drv::echoReceived() {
  if (waitAnswer_) {
    SetRxMode(RxAnswer);
    return;
  }
  EndTransaction();
  if (workMode_ == 3) sendNextCloneWriteFrame();
}

void clsCmcLnk3Drv::sendNextCloneWriteFrame() {
  if (writeAdr_ >= 0) {
    if (Send(MakeCloneWriteFrame()) != 0) setnowError(8);
    return;
  }
  setworkMode(4);
  if (Send(Common::HexStrToBin(std::string("E5") + kIdentText)) != 0) setnowError(8);
}

int16_t clsCmcLnk3Drv::AnswerProcess(const Bytes& body) {
  if (body.size() < 3 || nowError_ != 0) return 1;
  if (body[0] != kPcAddress || body[1] != kRadioAddress) return 1;
  const bool done = answerByCommand(body);
  return (done && nowError_ == 0) ? 0 : 1;
}

// Handles one answer body by its command; true when the transaction is done.
bool clsCmcLnk3Drv::answerByCommand(const Bytes& body) {
  switch (body[2]) {
    case kCmdIdentify:
      if (workMode_ != 1) return false;
      if (CheckAnswer(body)) {
        ansInfo_ = body;
        return true;
      }
      setnowError(3);
      return false;
    case kCmdCloneData:
      if (workMode_ != 2) return false;
      if (!CheckAnswer(body)) {
        setnowError(3);
        return false;
      }
      respTimer_.setcounter(answerTime_);
      if (StoreCloneData(body) != 0) setnowError(5);
      return false;
    case kCmdCloneEnd:
      if (workMode_ != 2) return false;
      if (CheckAnswer(body)) return true;
      setnowError(countMismatch_ ? 4 : 3);
      return false;
    case kCmdVerdict:
      if (workMode_ != 4) return false;
      if (!CheckAnswer(body)) {
        setnowError(3);
        return false;
      }
      if (body.size() >= 4 && body[3] == 0x00) return true;
      setnowError(7);  // refused, or no verdict byte at all
      return false;
    case kCmdAdjust:
      if (workMode_ != 5) return false;
      if (CheckAnswer(body)) {
        varLastE8Answer_.assign(body.begin() + 3, body.end());
        return true;
      }
      setnowError(3);
      return false;
    default:
      return false;
  }
}

bool clsCmcLnk3Drv::CheckAnswer(const Bytes& body) {
  if (body.size() < 3 || body[0] != kPcAddress || body[1] != kRadioAddress) return false;
  switch (body[2]) {
    case kCmdIdentify:
      return checkIdentification(body);
    case kCmdCloneData:
      return checkCloneData(body);
    case kCmdCloneEnd:
      return checkCloneEnd(body);
    case kCmdAdjust:
      return checkAdjustAnswer(body);
    default:
      return true;
  }
}

bool clsCmcLnk3Drv::checkIdentification(const Bytes& body) {
  bool pass = body.size() >= 7 && isNumericText(hexOfPositions(body, 4, 7));
  if (pass && (body.size() < 59 || body[7] != body.size() - 7)) pass = false;
  frameCount_ = 0;  // clone data is counted from this answer on
  if (body.size() >= 69) takeEndAddress(body);
  return pass;
}

// The last address rounded up to the next multiple of 16; an address that does not
// give a positive 16-bit end keeps the image size.
void clsCmcLnk3Drv::takeEndAddress(const Bytes& body) {
  const int32_t v = intOfPositions(body, 66, 69);
  const int32_t rounded = v - (v % 16) + 16;
  endAddress_ = (v < 0 || rounded > INT16_MAX) ? DefaultEndAddress : static_cast<int16_t>(rounded);
}

bool clsCmcLnk3Drv::checkCloneData(const Bytes& body) {
  const size_t len = body.size();
  if (len % 2 == 0 || len < 13) return false;
  unsigned sum = 0;
  for (size_t i = 3; i + 1 < len; i += 2) {
    const int hi = Common::HexDigitValue(body[i]);
    const int lo = Common::HexDigitValue(body[i + 1]);
    if (hi < 0 || lo < 0) return false;
    sum = (sum + static_cast<unsigned>(hi * 16 + lo)) & 0xFF;
  }
  if (sum != 0) return false;
  if (static_cast<int32_t>((len - 11) / 2) != intOfPositions(body, 8, 9)) return false;
  frameCount_ = static_cast<int16_t>((frameCount_ + 1) % 256);
  return true;
}

bool clsCmcLnk3Drv::checkCloneEnd(const Bytes& body) {
  countMismatch_ = false;
  if (hexOfPositions(body, 4, 12) != kIdentText) return false;
  if (intOfPositions(body, 13, 14) != frameCount_) {
    countMismatch_ = true;
    return false;
  }
  return true;
}

bool clsCmcLnk3Drv::checkAdjustAnswer(const Bytes& body) const {
  return body.size() >= 8 && isNumericText(hexOfPositions(body, 4, 7)) && body[7] == e8CmdByte_;
}

int16_t clsCmcLnk3Drv::StoreCloneData(const Bytes& body) {
  const int16_t adr = intOfPositions(body, 4, 7);
  const int16_t n = intOfPositions(body, 8, 9);
  uint8_t data[256];
  for (int16_t k = 0; k < n; ++k) {
    const size_t position = 10 + 2 * static_cast<size_t>(k);
    data[k] = static_cast<uint8_t>(intOfPositions(body, position, position + 1));
  }
  if (myEep_ == nullptr || myEep_->WriteBlock(adr, data, n) != 0) return 1;
  lastEeAdr_ = adr + n - 1;
  return 0;
}

void clsCmcLnk3Drv::task() {
  if (rxMode_ == RxEcho) {
    if (respTimer_.counter() == 0) setnowError(1);
  } else if (rxMode_ == RxAnswer) {
    if (respTimer_.counter() == 0 && RetrySend() != 0) setnowError(2);
  }
}

void clsCmcLnk3Drv::Reset() {
  EndTransaction();
  ClearRxBuffer();
  writeAdr_ = 0;
  nowError_ = 0;
}

void clsCmcLnk3Drv::ClearRxBuffer() {
  rxWindow_.clear();
  seekStart_ = true;
}

Bytes clsCmcLnk3Drv::MakeCloneWriteFrame() {
  const int32_t endAdr = hexField(writeList_, 5, 4);
  int32_t n = std::clamp<int32_t>(sizDataOfPacket_, 1, 255);
  if (writeAdr_ + n - 1 > endAdr) n = std::max<int32_t>(endAdr - writeAdr_ + 1, 0);

  Bytes block{static_cast<uint8_t>((writeAdr_ >> 8) & 0xFF), static_cast<uint8_t>(writeAdr_ & 0xFF),
              static_cast<uint8_t>(n)};
  const Bytes data = myEep_ != nullptr ? myEep_->ReadBlock(writeAdr_, n) : Bytes(static_cast<size_t>(n), 0);
  block.insert(block.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t b : block) sum += b;
  block.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));

  const std::string text = Common::BinToHexStr(block);
  Bytes payload(text.size() + 1, kCmdCloneData);
  std::copy(text.begin(), text.end(), payload.begin() + 1);

  lastEeAdr_ = writeAdr_ + n - 1;
  if (lastEeAdr_ < endAdr) {
    writeAdr_ += n;
  } else {
    writeList_.erase(0, std::min<size_t>(10, writeList_.size()));
    writeAdr_ = writeList_.size() < 10 ? -1 : hexField(writeList_, 0, 4);
  }
  return payload;
}
