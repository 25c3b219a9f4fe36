#pragma once
// Collects frame bodies from a byte stream: every FE starts a body afresh, every FD
// ends one; bytes outside a frame are dropped.
#include <cstddef>
#include <cstdint>

#include "Common.h"

class FrameAssembler {
 public:
  static constexpr size_t kMaxBody = 512;

  // True when b completed a body; body() then holds it until the next push.
  bool push(uint8_t b);
  const Bytes& body() const { return done_; }
  void clear();

 private:
  bool inFrame_ = false;
  Bytes collecting_;
  Bytes done_;
};
