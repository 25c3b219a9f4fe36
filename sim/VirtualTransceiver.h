#pragma once
// A transceiver on its cloning cable. The PC's bytes go in with the time they were
// written; every output byte (the cable's echo first, then answers) waits on one
// shared line until it is due. Deterministic: time only moves with the calls, and
// never backwards: a time earlier than one already passed in counts as that one.
//
// Answer frames are numbered from 1 in the order the transceiver produces them
// (E1, E4, E5 and E8 answers alike) since creation or reset(); the frame-numbered
// faults of TransceiverSettings refer to these numbers. Frames from the PC are
// numbered likewise for the flood and for faultsFromRequest.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <utility>

#include "Common.h"
#include "FrameAssembler.h"
#include "PhysicalModel.h"
#include "SerialLine.h"
#include "TransceiverSettings.h"

class VirtualTransceiver {
 public:
  struct TraceEvent {
    enum class Direction { FromPc, ToPc, Noise };
    Direction direction;
    int64_t timeUs;
    Bytes bytes;  // a whole frame, or the noise bytes
  };
  using TraceHandler = std::function<void(const TraceEvent&)>;

  // Throws std::invalid_argument for invalid settings or an image of the wrong size.
  explicit VirtualTransceiver(const TransceiverSettings& settings = {});
  VirtualTransceiver(const TransceiverSettings& settings, Bytes image);

  const TransceiverSettings& settings() const { return settings_; }
  // Takes effect for what is produced from now on; throws std::invalid_argument.
  void setSettings(const TransceiverSettings& settings);
  // Empties the line and forgets the live state and the counters; the memory stays.
  void reset();
  void setTraceHandler(TraceHandler handler) { trace_ = std::move(handler); }

  // The PC writes bytes at nowUs.
  void fromPc(const Bytes& bytes, int64_t nowUs);
  // Takes the bytes due at nowUs, at most room of them (see SerialLine::take).
  Bytes toPc(int64_t nowUs, size_t room = std::numeric_limits<size_t>::max(),
             size_t* lost = nullptr);
  size_t availableAt(int64_t nowUs);
  // When the next byte is due if nothing more is written; nothing when all is quiet.
  std::optional<int64_t> nextDueUs() const;
  // When the transceiver hangs up its line (the end of its last frame); nothing while it
  // has not. From then on it hears nothing until reset().
  std::optional<int64_t> hangUpUs() const { return hangUpUs_; }
  bool hungUpAt(int64_t nowUs) const { return hangUpUs_ && nowUs >= *hangUpUs_; }

  const Bytes& memory() const { return memory_; }
  uint8_t memoryByte(int32_t adr) const;
  void setMemoryByte(int32_t adr, uint8_t value);
  // Bit 7 of the common block's flag byte, found through the parameter table.
  bool midVariant() const;

  // Last value received per E8 command since creation or reset().
  std::optional<uint8_t> lastValue(uint8_t command) const;
  int selectedChannel() const { return selectedChannel_; }  // 1-based; 0 = none yet
  bool started() const { return started_; }
  // What an A/D or D/A code reads now.
  std::optional<uint8_t> reading(uint8_t code) const;

  uint64_t framesReceived() const { return framesReceived_; }
  uint64_t framesSent() const { return framesSent_; }
  uint64_t receivedCount(uint8_t command) const { return receivedByCommand_[command]; }
  uint64_t sentCount(uint8_t command) const { return sentByCommand_[command]; }

 private:
  struct Pending {
    Bytes noise;
    Bytes frame;  // empty for a flood
    bool burst = false;
    bool hangUpAfter = false;
  };

  void advance(int64_t nowUs);
  void commit(int64_t readyUs, const Pending& p);
  void schedule(int64_t readyUs, Pending p);
  void emitTrace(TraceEvent::Direction direction, int64_t timeUs, const Bytes& bytes) const;

  void handleFrame(const Bytes& body, int64_t nowUs, int64_t endUs);
  void answerIdentification(int64_t readyUs);
  void answerCloneRead(int64_t readyUs);
  void handleAdjustment(const Bytes& body, int64_t readyUs);
  void answerReading(uint8_t code, int64_t readyUs);
  // Numbers the answer frame, applies the faults that hit it and schedules it.
  void sendAnswer(Bytes body, int64_t readyUs, bool hangUpAfter = false);
  void corrupt(Bytes& body) const;
  Bytes noise(size_t count);
  // Whether the switched faults act on the frame from the PC with that number.
  bool faultsOnFor(uint64_t request) const;

  Bytes identificationBytes() const;
  PhysicalModel::Inputs inputs() const;

  TransceiverSettings settings_;
  Bytes memory_;
  SerialLine line_;
  FrameAssembler assembler_;
  std::map<std::pair<int64_t, uint64_t>, Pending> pending_;
  uint64_t pendingOrder_ = 0;
  int64_t lastNowUs_ = 0;
  std::optional<int64_t> hangUpUs_;
  uint32_t noiseCounter_ = 0;
  TraceHandler trace_;

  std::array<std::optional<uint8_t>, 256> lastValues_{};
  int selectedChannel_ = 0;
  bool started_ = false;
  bool txLvaLastSent_ = false;

  uint64_t framesReceived_ = 0;
  uint64_t framesSent_ = 0;
  std::array<uint64_t, 256> receivedByCommand_{};
  std::array<uint64_t, 256> sentByCommand_{};
};
