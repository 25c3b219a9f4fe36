#pragma once
// Lowers capabilities of the calling thread for the object's lifetime, so that a test
// run by the super-user meets the same refusals as anyone else (file modes, devices
// held exclusively). Raises them again at the end.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <initializer_list>

class WithoutCapabilities {
 public:
  explicit WithoutCapabilities(std::initializer_list<int> capabilities) {
    ok_ = ::syscall(SYS_capget, &header_, saved_) == 0;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    for (int c : capabilities) lowered[CAP_TO_INDEX(c)].effective &= ~CAP_TO_MASK(c);
    ok_ = ok_ && ::syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~WithoutCapabilities() {
    if (ok_) ::syscall(SYS_capset, &header_, saved_);
  }
  WithoutCapabilities(const WithoutCapabilities&) = delete;
  WithoutCapabilities& operator=(const WithoutCapabilities&) = delete;

  bool ok() const { return ok_; }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
  bool ok_ = false;
};
