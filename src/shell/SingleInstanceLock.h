#pragma once
// Refuses a second running copy: an exclusive lock on a file in a directory only the
// user can write. The kernel drops the lock with its holder, so a crashed copy never
// blocks the next start; a lock file that belongs to someone else gives no verdict.
#include <string>

class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(std::string path);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  enum class Result { Acquired, HeldElsewhere, Unavailable };

  // Unavailable (no verdict either way) when the lock's directory is not the user's
  // own or is writable by others, or the lock file cannot be opened or is not the
  // user's own regular file. A missing directory is created with mode 0700.
  Result TryAcquire();
  bool Held() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // $XDG_RUNTIME_DIR/ravlen-adj.lock when that directory is private, else
  // ravlen-adj/instance.lock in the user's cache directory ($XDG_CACHE_HOME, else
  // ~/.cache).
  static std::string DefaultPath();

 private:
  std::string path_;
  int fd_ = -1;
};
