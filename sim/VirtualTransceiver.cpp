#include "VirtualTransceiver.h"

#include <algorithm>
#include <stdexcept>

#include "AdjustmentMap.h"
#include "FrameCodec.h"
#include "ImageLayout.h"
#include "MemoryImageBuilder.h"
#include "ParameterTable.h"

namespace {

constexpr uint8_t kCmdIdentify = 0xE0;
constexpr uint8_t kCmdIdentity = 0xE1;
constexpr uint8_t kCmdCloneRead = 0xE2;
constexpr uint8_t kCmdCloneWrite = 0xE3;
constexpr uint8_t kCmdCloneData = 0xE4;
constexpr uint8_t kCmdCloneEnd = 0xE5;
constexpr uint8_t kCmdAdjust = 0xE8;

// E1 answer: body positions (from 1) of the fields the utility reads.
constexpr size_t kIdentityBodyLength = 69;
constexpr size_t kPosLength = 8;
constexpr size_t kPosFormat = 43;
constexpr size_t kPosOptions = 59;
constexpr size_t kPosEndAddress = 66;

constexpr uint8_t kStraySource = 0xE9;  // another transceiver on the line

const Bytes kCloneEndText{0x54, 0x61, 0x76, 0x75, 0x20, 0x49, 0x6E, 0x63, 0x2E};

// An E8 frame from the PC: EE EF E8 M1 M2 S1 S2 cmd a1 a2.
constexpr size_t kAdjustBodyLength = 10;

Bytes wrapBody(const Bytes& body) {
  Bytes frame{FrameCodec::kPreamble, FrameCodec::kPreamble};
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(FrameCodec::kEnd);
  return frame;
}

// A different byte that is still neither FE nor FD.
uint8_t alteredByte(uint8_t v) { return v == 0xFC ? 0xFB : static_cast<uint8_t>(v ^ 0x01); }

void validateOrThrow(const TransceiverSettings& settings) {
  const std::string error = settings.validate();
  if (!error.empty()) throw std::invalid_argument(error);
}

}  // namespace

VirtualTransceiver::VirtualTransceiver(const TransceiverSettings& settings)
    : VirtualTransceiver(settings, MemoryImageBuilder().build()) {}

VirtualTransceiver::VirtualTransceiver(const TransceiverSettings& settings, Bytes image)
    : settings_(settings), memory_(std::move(image)) {
  validateOrThrow(settings_);
  if (memory_.size() != static_cast<size_t>(ImageLayout::kImageSize)) {
    throw std::invalid_argument("memory image must have " +
                                std::to_string(ImageLayout::kImageSize) + " bytes");
  }
  line_.setBaud(settings_.baud);
}

void VirtualTransceiver::setSettings(const TransceiverSettings& settings) {
  validateOrThrow(settings);
  settings_ = settings;
  line_.setBaud(settings_.baud);
}

void VirtualTransceiver::reset() {
  line_.clear();
  line_.setBaud(settings_.baud);
  assembler_.clear();
  pending_.clear();
  noiseCounter_ = 0;
  hangUpUs_.reset();
  lastValues_.fill(std::nullopt);
  selectedChannel_ = 0;
  started_ = false;
  txLvaLastSent_ = false;
  framesReceived_ = 0;
  framesSent_ = 0;
  receivedByCommand_.fill(0);
  sentByCommand_.fill(0);
}

// ---- the line -------------------------------------------------------------------

void VirtualTransceiver::fromPc(const Bytes& bytes, int64_t nowUs) {
  nowUs = std::max(nowUs, lastNowUs_);
  lastNowUs_ = nowUs;
  advance(nowUs);
  if (hungUpAt(nowUs)) return;
  for (uint8_t b : bytes) {
    // The cable returns every byte, as it goes over the line.
    const bool silent = settings_.noEcho && faultsOnFor(framesReceived_ + 1);
    const SerialLine::Span span =
        silent ? line_.occupy(1, nowUs) : line_.send(Bytes{b}, nowUs);
    if (assembler_.push(b)) handleFrame(assembler_.body(), nowUs, span.lastDueUs);
  }
  advance(nowUs);
}

Bytes VirtualTransceiver::toPc(int64_t nowUs, size_t room, size_t* lost) {
  nowUs = std::max(nowUs, lastNowUs_);
  lastNowUs_ = nowUs;
  advance(nowUs);
  return line_.take(nowUs, room, lost);
}

size_t VirtualTransceiver::availableAt(int64_t nowUs) {
  nowUs = std::max(nowUs, lastNowUs_);
  lastNowUs_ = nowUs;
  advance(nowUs);
  return line_.availableAt(nowUs);
}

std::optional<int64_t> VirtualTransceiver::nextDueUs() const {
  if (const auto due = line_.nextDueUs()) return due;
  if (pending_.empty()) return std::nullopt;
  return line_.firstDueIfSent(pending_.begin()->first.first);
}

// Answers go on the line in the order they became ready, each once its time came.
void VirtualTransceiver::advance(int64_t nowUs) {
  while (!pending_.empty() && pending_.begin()->first.first <= nowUs) {
    const auto node = pending_.extract(pending_.begin());
    commit(node.key().first, node.mapped());
  }
}

void VirtualTransceiver::commit(int64_t readyUs, const Pending& p) {
  if (!p.noise.empty()) {
    const SerialLine::Span span = line_.send(p.noise, readyUs, p.burst);
    emitTrace(TraceEvent::Direction::Noise, span.firstDueUs, p.noise);
  }
  if (!p.frame.empty()) {
    const SerialLine::Span span = line_.send(p.frame, readyUs);
    emitTrace(TraceEvent::Direction::ToPc, span.firstDueUs, p.frame);
    if (p.hangUpAfter) hangUpUs_ = span.lastDueUs;
  }
}

void VirtualTransceiver::schedule(int64_t readyUs, Pending p) {
  pending_.emplace(std::make_pair(readyUs, pendingOrder_++), std::move(p));
}

void VirtualTransceiver::emitTrace(TraceEvent::Direction direction, int64_t timeUs,
                                   const Bytes& bytes) const {
  if (trace_) trace_(TraceEvent{direction, timeUs, bytes});
}

Bytes VirtualTransceiver::noise(size_t count) {
  Bytes out(count);
  for (uint8_t& b : out) {
    b = static_cast<uint8_t>((noiseCounter_ * 73u + 41u) % 0xFDu);  // 00..FC
    ++noiseCounter_;
  }
  return out;
}

// ---- frames from the PC ---------------------------------------------------------

bool VirtualTransceiver::faultsOnFor(uint64_t request) const {
  return request >= static_cast<uint64_t>(settings_.faultsFromRequest);
}

void VirtualTransceiver::handleFrame(const Bytes& body, int64_t nowUs, int64_t endUs) {
  ++framesReceived_;
  emitTrace(TraceEvent::Direction::FromPc, nowUs, wrapBody(body));
  if (body.size() >= 3) ++receivedByCommand_[body[2]];

  if (settings_.floodBytes > 0 &&
      framesReceived_ == static_cast<uint64_t>(settings_.floodAfterRequest)) {
    schedule(endUs, Pending{noise(static_cast<size_t>(settings_.floodBytes)), {}, true});
  }
  if (body.size() < 3 || body[0] != FrameCodec::kRig || body[1] != FrameCodec::kPc) return;

  const int64_t readyUs = endUs + int64_t{settings_.answerDelayMs} * 1000;
  switch (body[2]) {
    case kCmdIdentify: answerIdentification(readyUs); break;
    case kCmdCloneRead: answerCloneRead(readyUs); break;
    case kCmdCloneWrite: break;  // accepted; the data would follow from the PC
    case kCmdAdjust: handleAdjustment(body, readyUs); break;
    default: break;
  }
}

Bytes VirtualTransceiver::identificationBytes() const {
  return {static_cast<uint8_t>(settings_.modelCode >> 8),
          static_cast<uint8_t>(settings_.modelCode & 0xFF),
          static_cast<uint8_t>(settings_.subCode >> 8),
          static_cast<uint8_t>(settings_.subCode & 0xFF)};
}

void VirtualTransceiver::answerIdentification(int64_t readyUs) {
  if (settings_.noAnswer && faultsOnFor(framesReceived_)) return;
  Bytes body(kIdentityBodyLength, 0x00);
  body[0] = FrameCodec::kPc;
  body[1] = settings_.answerSource;
  body[2] = kCmdIdentity;
  const Bytes id = identificationBytes();
  std::copy(id.begin(), id.end(), body.begin() + 3);
  body[kPosLength - 1] = static_cast<uint8_t>(kIdentityBodyLength - 7);
  body[kPosFormat - 1] = settings_.formatByte;
  body[kPosOptions - 1] = settings_.optionFlags;
  const Bytes end = FrameCodec::asciiHex16(static_cast<uint16_t>(memory_.size() - 1));
  std::copy(end.begin(), end.end(), body.begin() + kPosEndAddress - 1);
  sendAnswer(std::move(body), readyUs);
}

void VirtualTransceiver::answerCloneRead(int64_t readyUs) {
  if (settings_.noAnswer && faultsOnFor(framesReceived_)) return;
  const size_t step = static_cast<size_t>(settings_.cloneDataBytes);
  int frames = 0;
  for (size_t adr = 0; adr < memory_.size(); adr += step) {
    if (settings_.stopAfterE4 > 0 && frames == settings_.stopAfterE4) return;
    const bool last = settings_.hangUpAfterE4 > 0 && frames + 1 == settings_.hangUpAfterE4;
    const size_t count = std::min(step, memory_.size() - adr);
    const bool badSum = settings_.badChecksumAnswerFrame > 0 &&
                        framesSent_ + 1 == static_cast<uint64_t>(settings_.badChecksumAnswerFrame);
    Bytes body{FrameCodec::kPc, settings_.answerSource, kCmdCloneData};
    const Bytes text = FrameCodec::cloneDataText(static_cast<uint16_t>(adr), &memory_[adr], count,
                                                 badSum ? 1 : 0);
    body.insert(body.end(), text.begin(), text.end());
    sendAnswer(std::move(body), readyUs, last);
    if (last) return;
    ++frames;
  }
  if (settings_.stopAfterE4 > 0 && frames == settings_.stopAfterE4) return;  // after the last
  Bytes body{FrameCodec::kPc, settings_.answerSource, kCmdCloneEnd};
  body.insert(body.end(), kCloneEndText.begin(), kCloneEndText.end());
  const int reported = (frames + (settings_.wrongE5Count ? 1 : 0)) % 256;
  const Bytes digits = FrameCodec::asciiHex(static_cast<uint8_t>(reported));
  body.insert(body.end(), digits.begin(), digits.end());
  sendAnswer(std::move(body), readyUs);
}

void VirtualTransceiver::handleAdjustment(const Bytes& body, int64_t readyUs) {
  if (body.size() < kAdjustBodyLength) return;
  const uint8_t command = body[7];
  const auto value = FrameCodec::hexPairValue(body[8], body[9]);
  if (!value) return;
  lastValues_[command] = *value;
  switch (command) {
    case AdjustmentMap::kSelectChannel: selectedChannel_ = *value; return;
    case AdjustmentMap::kStart: started_ = started_ || *value == 1; return;
    case AdjustmentMap::kRead: answerReading(*value, readyUs); return;
    default: break;
  }
  if (command == settings_.dropE8Command) return;
  if (const auto adr = AdjustmentMap::addressOf(command)) {
    memory_[static_cast<size_t>(*adr)] = *value;
    if (command == AdjustmentMap::kRxLva) txLvaLastSent_ = false;
    if (command == AdjustmentMap::kTxLva) txLvaLastSent_ = true;
  }
}

void VirtualTransceiver::answerReading(uint8_t code, int64_t readyUs) {
  const auto value = reading(code);
  if (!value || (settings_.noAnswer && faultsOnFor(framesReceived_))) return;
  Bytes body{FrameCodec::kPc, settings_.answerSource, kCmdAdjust};
  const Bytes id = identificationBytes();
  body.insert(body.end(), id.begin(), id.end());
  body.push_back(AdjustmentMap::kRead);
  const Bytes digits = FrameCodec::asciiHex(*value);
  body.insert(body.end(), digits.begin(), digits.end());
  sendAnswer(std::move(body), readyUs);
}

// ---- answers ------------------------------------------------------------------------

void VirtualTransceiver::sendAnswer(Bytes body, int64_t readyUs, bool hangUpAfter) {
  ++framesSent_;
  ++sentByCommand_[body[2]];
  if (settings_.corruptAnswerFrame > 0 &&
      framesSent_ == static_cast<uint64_t>(settings_.corruptAnswerFrame)) {
    corrupt(body);
  }
  if (settings_.strayAnswerFrame > 0 &&
      framesSent_ == static_cast<uint64_t>(settings_.strayAnswerFrame)) {
    Bytes stray = body;
    stray[1] = kStraySource;
    schedule(readyUs, Pending{{}, wrapBody(stray)});
  }
  hangUpAfter = hangUpAfter || (settings_.hangUpAfterFrame > 0 &&
                                framesSent_ == static_cast<uint64_t>(settings_.hangUpAfterFrame));
  schedule(readyUs, Pending{noise(static_cast<size_t>(settings_.noiseBeforeAnswer)),
                            wrapBody(body), false, hangUpAfter});
}

// Alters one byte that the receiving side checks (body positions from 1):
//   E1 the length byte (8), E4 the first data digit (10), E5 the first
//   identification byte (4), E8 the first reading digit (9, made a non-digit).
void VirtualTransceiver::corrupt(Bytes& body) const {
  auto at = [&body](size_t position) -> uint8_t& { return body.at(position - 1); };
  switch (body[2]) {
    case kCmdIdentity: at(kPosLength) = alteredByte(at(kPosLength)); break;
    case kCmdCloneData: at(10) = FrameCodec::otherHexDigit(at(10)); break;
    case kCmdCloneEnd: at(4) = alteredByte(at(4)); break;
    case kCmdAdjust: at(9) = 'G'; break;
    default: break;
  }
}

// ---- memory and live state ----------------------------------------------------------

uint8_t VirtualTransceiver::memoryByte(int32_t adr) const {
  if (adr < 0 || static_cast<size_t>(adr) >= memory_.size()) return 0;
  return memory_[static_cast<size_t>(adr)];
}

void VirtualTransceiver::setMemoryByte(int32_t adr, uint8_t value) {
  if (adr < 0 || static_cast<size_t>(adr) >= memory_.size()) {
    throw std::out_of_range("memory address " + std::to_string(adr));
  }
  memory_[static_cast<size_t>(adr)] = value;
}

bool VirtualTransceiver::midVariant() const {
  const int32_t common = ParameterTable(memory_).address(ImageLayout::kObjCommon);
  return (memoryByte(common + ImageLayout::kMidFlagOffset) & 0x80) != 0;
}

std::optional<uint8_t> VirtualTransceiver::lastValue(uint8_t command) const {
  return lastValues_[command];
}

PhysicalModel::Inputs VirtualTransceiver::inputs() const {
  namespace L = ImageLayout;
  const bool mid = midVariant();
  PhysicalModel::Inputs in;
  in.bpfT1 = memoryByte(L::kBpfT1);
  in.bpfT2 = memoryByte(L::kBpfT2);
  in.rxLva = memoryByte(L::kRxLva);
  in.txLva = memoryByte(L::kTxLva);
  in.txLvaLastSent = txLvaLastSent_;
  in.ref = memoryByte(L::kRef);
  in.balance = memoryByte(mid ? L::kBalMid : L::kBal);
  in.deviation = memoryByte(mid ? L::kModWMid : L::kModW);
  in.tone = memoryByte(L::kToneLevel);
  in.squelch = memoryByte(L::kSql);
  return in;
}

std::optional<uint8_t> VirtualTransceiver::reading(uint8_t code) const {
  return PhysicalModel(settings_).reading(code, inputs());
}
