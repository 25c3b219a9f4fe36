#pragma once
// Every frame on the line, both ways, one text line each with its millisecond
// time: "[0000A1F3] PC>RIG FE FE EE EF E0 29 28 00 00 FD". Bytes are cut into
// frames at each FD; what comes back includes the echo of what was sent.
#include <cstdint>
#include <cstdio>
#include <string>

#include "Common.h"

class ProtocolTrace {
 public:
  ProtocolTrace() = default;
  ~ProtocolTrace();
  ProtocolTrace(const ProtocolTrace&) = delete;
  ProtocolTrace& operator=(const ProtocolTrace&) = delete;

  // Appends to path; false with the reason when it cannot be opened.
  bool open(const std::string& path, std::string& error);
  void close();
  // Why the trace stopped by itself (a write failed, said on standard error); empty
  // while it runs or when it was closed.
  const std::string& stopReason() const { return stopReason_; }
  bool isOpen() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

  void sent(const Bytes& bytes, int32_t ms) { take(toRig_, true, bytes, ms); }
  void received(const Bytes& bytes, int32_t ms) { take(toPc_, false, bytes, ms); }

  static std::string line(int32_t ms, bool fromPc, const Bytes& frame);

 private:
  static constexpr size_t kLongestFrame = 512;
  void take(Bytes& pending, bool fromPc, const Bytes& bytes, int32_t ms);
  void write(int32_t ms, bool fromPc, const Bytes& frame);
  void stop(int error);

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string stopReason_;
  Bytes toRig_;
  Bytes toPc_;
  int32_t lastMs_ = 0;
};
