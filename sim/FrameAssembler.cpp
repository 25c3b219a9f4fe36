#include "FrameAssembler.h"

#include "FrameCodec.h"

bool FrameAssembler::push(uint8_t b) {
  if (b == FrameCodec::kPreamble) {
    inFrame_ = true;
    collecting_.clear();
    return false;
  }
  if (!inFrame_) return false;
  if (b == FrameCodec::kEnd) {
    inFrame_ = false;
    done_.swap(collecting_);
    collecting_.clear();
    return true;
  }
  if (collecting_.size() >= kMaxBody) {  // no such frame exists: drop it
    inFrame_ = false;
    collecting_.clear();
    return false;
  }
  collecting_.push_back(b);
  return false;
}

void FrameAssembler::clear() {
  inFrame_ = false;
  collecting_.clear();
  done_.clear();
}
