#pragma once
// Refuses a second running copy: an exclusive lock on a file in the user's runtime
// directory. The kernel drops the lock with its holder, so a crashed copy never
// blocks the next start.
#include <string>

class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(std::string path);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  enum class Result { Acquired, HeldElsewhere, Unavailable };

  // Unavailable when the lock file cannot be opened at all (no verdict either way).
  Result TryAcquire();
  bool Held() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // $XDG_RUNTIME_DIR/ravlen-adj.lock, or a per-user file in /tmp.
  static std::string DefaultPath();

 private:
  std::string path_;
  int fd_ = -1;
};
