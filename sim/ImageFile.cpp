#include "ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "ImageLayout.h"

namespace {

constexpr size_t kSize = static_cast<size_t>(ImageLayout::kImageSize);

std::string sizeError(const std::string& what, const std::string& size) {
  return what + " has " + size + " bytes; a memory image has " + std::to_string(kSize);
}

std::string reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Closes the descriptor when it goes out of scope.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool writeAll(int fd, const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

// A regular file is judged by its size before a byte is read; anything else (a pipe,
// a device) is read no further than one byte past the image.
Bytes ImageFile::load(const std::string& path) {
  const Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) throw std::runtime_error(reason("cannot open image file", path));
  struct stat st{};
  if (::fstat(in.fd, &st) != 0) throw std::runtime_error(reason("cannot read image file", path));
  if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) != kSize) {
    throw std::runtime_error(sizeError("image file " + path, std::to_string(st.st_size)));
  }
  Bytes image(kSize + 1);
  size_t got = 0;
  while (got < image.size()) {
    const ssize_t n = ::read(in.fd, image.data() + got, image.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error(reason("cannot read image file", path));
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (got != kSize) {
    throw std::runtime_error(sizeError("image file " + path, got > kSize ? "more than " + std::to_string(kSize)
                                                                         : std::to_string(got)));
  }
  image.resize(kSize);
  return image;
}

// Written beside the file, synced, then renamed over it: the file is either the old
// image or the new one, never a part.
void ImageFile::save(const std::string& path, const Bytes& image) {
  if (image.size() != kSize) throw std::runtime_error(sizeError("image to save", std::to_string(image.size())));
  std::string temp = path + ".XXXXXX";
  const Fd out{::mkostemp(temp.data(), O_CLOEXEC)};
  if (out.fd < 0) throw std::runtime_error(reason("cannot create image file", path));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const bool ok = ::fchmod(out.fd, 0666 & ~mask) == 0 && writeAll(out.fd, image) && ::fsync(out.fd) == 0 &&
                  ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int error = errno;
    ::unlink(temp.c_str());
    errno = error;
    throw std::runtime_error(reason("cannot write image file", path));
  }
}
