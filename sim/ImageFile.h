#pragma once
// Raw memory image files: exactly the image's bytes, nothing else.
#include <string>

#include "Common.h"

class ImageFile {
 public:
  // Throws std::runtime_error when the file cannot be read or has the wrong size.
  static Bytes load(const std::string& path);
  // Throws std::runtime_error when the image has the wrong size or cannot be written.
  static void save(const std::string& path, const Bytes& image);
};
