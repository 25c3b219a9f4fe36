#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "ImageFile.h"
#include "MemoryImageBuilder.h"

namespace {

struct TempFile {
  explicit TempFile(const std::string& tag)
      : path((std::filesystem::temp_directory_path() /
              ("ravlen-sim-" + tag + "-" + std::to_string(::getpid()) + ".bin"))
                 .string()) {}
  ~TempFile() { std::remove(path.c_str()); }
  std::string path;
};

std::string messageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ImageFile, SaveAndLoadRoundTrip) {
  TempFile file("roundtrip");
  Bytes image = MemoryImageBuilder().setMid(true).build();
  image[12345] = 0x5A;
  ImageFile::save(file.path, image);
  EXPECT_EQ(std::filesystem::file_size(file.path), 32112u);
  EXPECT_EQ(ImageFile::load(file.path), image);
}

TEST(ImageFile, WrongSizeIsRejectedWithAClearMessage) {
  TempFile file("short");
  {
    std::ofstream out(file.path, std::ios::binary);
    out << std::string(100, 'x');
  }
  const std::string message = messageOf([&] { ImageFile::load(file.path); });
  EXPECT_NE(message.find("100 bytes"), std::string::npos) << message;
  EXPECT_NE(message.find("32112"), std::string::npos) << message;
  EXPECT_NE(message.find(file.path), std::string::npos) << message;

  EXPECT_NE(messageOf([&] { ImageFile::save(file.path, Bytes(32113, 0)); }).find("32113"),
            std::string::npos);
}

TEST(ImageFile, MissingFileIsReported) {
  TempFile file("missing");
  EXPECT_NE(messageOf([&] { ImageFile::load(file.path); }).find("cannot open"), std::string::npos);
}

}  // namespace
