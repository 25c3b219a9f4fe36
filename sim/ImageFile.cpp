#include "ImageFile.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "ImageLayout.h"

namespace {

std::string sizeError(const std::string& what, size_t size) {
  return what + " has " + std::to_string(size) + " bytes; a memory image has " +
         std::to_string(ImageLayout::kImageSize);
}

}  // namespace

Bytes ImageFile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open image file " + path);
  Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read image file " + path);
  if (image.size() != static_cast<size_t>(ImageLayout::kImageSize)) {
    throw std::runtime_error(sizeError("image file " + path, image.size()));
  }
  return image;
}

void ImageFile::save(const std::string& path, const Bytes& image) {
  if (image.size() != static_cast<size_t>(ImageLayout::kImageSize)) {
    throw std::runtime_error(sizeError("image to save", image.size()));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot create image file " + path);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write image file " + path);
}
