#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ImageFile.h"
#include "MemoryImageBuilder.h"
#include "VirtualTransceiver.h"
#include "clsIndEep_RigVela.h"

namespace {

int word(const Bytes& image, int adr) { return image.at(adr) * 256 + image.at(adr + 1); }

// The image as the utility's own readers see it.
struct Reader {
  explicit Reader(const Bytes& image) { ee.WriteBlock(0, image); }
  clsCmcEeprom ee;
  clsIndPtbl_RigVela table{ee};
  clsIndEep_RigVela eep{ee, table};
};

TEST(ImageBuilder, ParameterTableAsTheReaderScansItAndTheMidFlag) {
  const Bytes image = MemoryImageBuilder().build();
  ASSERT_EQ(image.size(), 32112u);
  const Reader r(image);
  const clsIndPtbl_RigVela& t = r.table;
  EXPECT_GE(t.RigVelaFunc_Obj_Size(2), 21);
  EXPECT_GE(t.RigVelaFunc_Obj_Number(2), 40);
  EXPECT_GE(t.RigVelaFunc_Obj_Size(3), 5);
  EXPECT_GE(t.RigVelaFunc_Obj_Number(3), t.RigVelaFunc_Obj_Number(2));
  EXPECT_GE(t.RigVelaFunc_Obj_Size(6), 38);
  // The entry after the last counted one is scanned too and matches nothing.
  const int tableEnd = word(image, 294) + word(image, 290) * (word(image, 292) + 1);
  EXPECT_EQ(word(image, tableEnd - word(image, 290)), 0xFFFF);
  // Objects overlap neither each other, nor the table, nor the fixed bytes below 296.
  std::vector<std::pair<int, int>> ranges{{0, 296}, {word(image, 294), tableEnd}};
  for (int16_t obj = 1; obj <= 6; ++obj) {
    ASSERT_NE(t.RigVelaFunc_Ptbl_Search(obj), 0) << obj;
    const int address = t.RigVelaFunc_Obj_Address(obj);
    ranges.emplace_back(address, address + t.RigVelaFunc_Obj_Size(obj) * t.RigVelaFunc_Obj_Number(obj));
    EXPECT_LE(ranges.back().second, 32112) << obj;
  }
  for (size_t i = 0; i < ranges.size(); ++i)
    for (size_t j = i + 1; j < ranges.size(); ++j)
      EXPECT_TRUE(ranges[i].second <= ranges[j].first || ranges[j].second <= ranges[i].first) << i << " and " << j;
  // "Mid" is bit 7 of byte 37 of the common block, and nothing else changes with it.
  const Bytes mid = MemoryImageBuilder().setMid(true).build();
  Reader m(mid);
  m.eep.RigVelaEep_SetCommonAddress(t.RigVelaFunc_Obj_Address(6));
  EXPECT_TRUE(m.eep.RigVelaEep_GetMid());
  m.ee.WriteByte(t.RigVelaFunc_Obj_Address(6) + 37, mid[size_t(t.RigVelaFunc_Obj_Address(6) + 37)] ^ 0x80);
  EXPECT_TRUE(m.ee.bytes() == image);
  EXPECT_TRUE(VirtualTransceiver({}, mid).midVariant());
  EXPECT_FALSE(VirtualTransceiver({}, image).midVariant());
}

std::string tempFile(const std::string& tag) {
  return (std::filesystem::temp_directory_path() / ("ravlen-sim-" + tag + "-" + std::to_string(::getpid()) + ".bin"))
      .string();
}

// Bytes this process has read so far.
uint64_t bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// A file of the wrong size, one too large, or a device that never ends, is refused
// with its size, having read at most a little more than an image.
TEST(ImageFile, RoundTripAndWrongSizesRefusedWithoutReadingThem) {
  const std::string path = tempFile("image"), big = tempFile("big");
  Bytes image = MemoryImageBuilder().setMid(true).build();
  image[12345] = 0x5A;
  ImageFile::save(path, image);
  EXPECT_EQ(std::filesystem::file_size(path), 32112u);
  EXPECT_TRUE(ImageFile::load(path) == image);
  EXPECT_THROW(ImageFile::save(path, Bytes(32113, 0)), std::runtime_error);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(100, 'x');
  std::ofstream(big, std::ios::binary).close();
  std::filesystem::resize_file(big, 200u << 20);  // sparse: no disk used
  for (const auto& [file, said] : {std::pair<std::string, std::string>{path, " has 100 bytes"},
                                   {big, " has 209715200 bytes"},
                                   {"/dev/zero", " has more than 32112 bytes"}}) {
    const uint64_t before = bytesRead();
    std::string message = "loaded";
    try {
      ImageFile::load(file);
    } catch (const std::runtime_error& e) {
      message = e.what();
    }
    EXPECT_LT(bytesRead() - before, 1u << 20) << file;
    EXPECT_NE(message.find(file + said), std::string::npos) << message;
  }
  std::remove(path.c_str());
  std::remove(big.c_str());
}

// A save that cannot be finished leaves the image there before it whole.
TEST(ImageFile, FailedSaveKeepsTheOldFile) {
  const std::string path = tempFile("keep");
  const Bytes old = MemoryImageBuilder().build();
  ImageFile::save(path, old);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;  // writes past 4 KiB fail: a full disk
  ::setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(ImageFile::save(path, MemoryImageBuilder().setMid(true).build()), std::runtime_error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_TRUE(ImageFile::load(path) == old);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
    EXPECT_EQ(entry.path().string().rfind(path + ".", 0), std::string::npos) << entry.path();
  }
  std::remove(path.c_str());
}

}  // namespace
