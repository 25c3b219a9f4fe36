#include "ProtocolTrace.h"

#include <cerrno>
#include <cstring>
#include <iostream>

ProtocolTrace::~ProtocolTrace() { close(); }

bool ProtocolTrace::open(const std::string& path, std::string& error) {
  close();
  std::FILE* f = std::fopen(path.c_str(), "ae");
  if (f == nullptr) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  file_ = f;
  path_ = path;
  stopReason_.clear();
  return true;
}

// Bytes of an unfinished frame are written as they are.
void ProtocolTrace::close() {
  if (file_ != nullptr && !toRig_.empty()) write(lastMs_, true, toRig_);
  if (file_ != nullptr && !toPc_.empty()) write(lastMs_, false, toPc_);
  toRig_.clear();
  toPc_.clear();
  if (file_ == nullptr) return;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) stop(errno);
}

std::string ProtocolTrace::line(int32_t ms, bool fromPc, const Bytes& frame) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "[%08X]", static_cast<uint32_t>(ms));
  std::string out = std::string(stamp) + (fromPc ? " PC>RIG " : " RIG>PC ");
  out.reserve(out.size() + frame.size() * 3);
  for (size_t i = 0; i < frame.size(); ++i) {
    if (i > 0) out += ' ';
    out += Common::BinToHexStr(&frame[i], 1);
  }
  return out;
}

void ProtocolTrace::take(Bytes& pending, bool fromPc, const Bytes& bytes, int32_t ms) {
  if (file_ == nullptr) return;
  lastMs_ = ms;
  for (uint8_t b : bytes) {
    pending.push_back(b);
    if (b == 0xFD || pending.size() >= kLongestFrame) {
      write(ms, fromPc, pending);
      pending.clear();
    }
  }
}

// One line per frame, flushed at once so a trace survives a crash.
void ProtocolTrace::write(int32_t ms, bool fromPc, const Bytes& frame) {
  const std::string text = line(ms, fromPc, frame) + "\n";
  if (std::fputs(text.c_str(), file_) < 0 || std::fflush(file_) != 0) {
    const int error = errno;
    std::fclose(file_);  // a full disk ends the trace, never the link
    file_ = nullptr;
    stop(error);
  }
}

void ProtocolTrace::stop(int error) {
  stopReason_ = path_ + ": " + std::strerror(error);
  std::cerr << "ravlen-adj: protocol trace stopped: cannot write " << stopReason_ << std::endl;
}
