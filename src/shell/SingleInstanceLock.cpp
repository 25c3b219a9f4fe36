#include "SingleInstanceLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace {

// A directory of this user that nobody else can write to.
bool isPrivateDirectory(const std::string& dir) {
  struct stat st {};
  return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Creates the missing directories of dir, each with mode 0700.
void makeDirectories(const std::string& dir) {
  for (size_t slash = dir.find('/', 1); ; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
    if (slash == std::string::npos) return;
  }
}

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool isAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string cacheDirectory() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (isAbsolute(cache)) return cache;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* user = ::getpwuid(::getuid());
    home = user != nullptr ? user->pw_dir : "";
  }
  return std::string(home) + "/.cache";
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::string path) : path_(std::move(path)) {}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

SingleInstanceLock::Result SingleInstanceLock::TryAcquire() {
  if (fd_ >= 0) return Result::Acquired;
  const std::string dir = directoryOf(path_);
  makeDirectories(dir);
  if (!isPrivateDirectory(dir)) return Result::Unavailable;
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return Result::Unavailable;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    return Result::Unavailable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Result::HeldElsewhere : Result::Unavailable;
  }
  fd_ = fd;
  return Result::Acquired;
}

std::string SingleInstanceLock::DefaultPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (isAbsolute(runtime) && isPrivateDirectory(runtime)) return std::string(runtime) + "/ravlen-adj.lock";
  return cacheDirectory() + "/ravlen-adj/instance.lock";
}
