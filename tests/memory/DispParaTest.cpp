#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "MemoryTestImage.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    out.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text must end with CR LF";
  return out;
}

// The fixed image of data/disp_para_mid.txt: bytes 83..189 hold (a x 73 + 41) mod 256,
// bytes 124..129 hold 200, 127, 128, 255, 0, 1, the base frequency is 0x05B5 (146.1 MHz)
// and the "Mid" flag is set.
class DispPara : public ::testing::Test, public MemoryTestImage::Readers {
 protected:
  DispPara() {
    for (int32_t a = 83; a < 190; ++a) ee.WriteByte(a, static_cast<uint8_t>((a * 73 + 41) % 256));
    ee.WriteBlock(124, Bytes{200, 127, 128, 255, 0, 1});
    ee.WriteBlock(80, Bytes{0x05, 0xB5});
    MemoryTestImage::putUsualTable(ee);
    MemoryTestImage::setMid(ee, true);
    eep.RigVelaEep_SetCommonAddress(table.RigVelaFunc_Obj_Address(6));
  }
  std::vector<std::string> text() const { return lines(eep.RigVelaEep_DispPara()); }
};

TEST_F(DispPara, FixedImageMatchesTheStoredText) {
  std::ifstream in(std::filesystem::path(RAVLEN_TEST_SOURCE_DIR) / "memory/data/disp_para_mid.txt", std::ios::binary);
  const auto want = lines(std::string(std::istreambuf_iterator<char>(in), {}));
  ASSERT_EQ(want.size(), 63u);
  EXPECT_EQ(text(), want);
}

// Without "Mid" only these lines change (the fixed text holds the lines with it).
TEST_F(DispPara, MidFlagSelectsTheLevelBytes) {
  const std::map<size_t, std::string> notMid{{3, "                 BAL W Level:  100"},
                                             {4, "                 MOD W Level:   27"},
                                             {59, "           Tone W Correction:  -46"}};
  const auto withMid = text();
  MemoryTestImage::setMid(ee, false);
  const auto withoutMid = text();
  ASSERT_EQ(withoutMid.size(), withMid.size());
  for (size_t i = 0; i < withMid.size(); ++i)
    EXPECT_EQ(withoutMid[i], notMid.count(i) ? notMid.at(i) : withMid[i]) << "line " << i + 1;
}

TEST_F(DispPara, BaseFrequencyLine) {
  const std::tuple<uint8_t, uint8_t, const char*> cases[] = {
      {0x1F, 0x40, " 800.000MHz"}, {0x1F, 0x41, "   0.000MHz"}, {0x00, 0x00, "   0.000MHz"},
      {0x00, 0x01, "   0.100MHz"}, {0x01, 0x0E, "  27.000MHz"}, {0x11, 0x72, " 446.600MHz"},
      {0xFF, 0xFF, "   0.000MHz"},
  };
  for (const auto& [hi, lo, value] : cases) {
    ee.WriteBlock(80, Bytes{hi, lo});
    EXPECT_EQ(text()[60], std::string("              Base Frequency: ") + value);
  }
}

TEST_F(DispPara, EmptyImageGivesZerosThroughout) {
  const auto got = lines(MemoryTestImage::Readers().eep.RigVelaEep_DispPara());
  ASSERT_EQ(got.size(), 63u);
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].substr(28), i == 60 ? ":    0.000MHz" : ":    0") << "line " << i + 1;
  }
}

TEST(DispDebug, DumpsEveryByteInRowsOfSixteen) {
  MemoryTestImage::Readers r;
  const auto whole = lines(r.eep.RigVelaEep_DispDebug());
  ASSERT_EQ(whole.size(), 1u + 32112 / 16);
  EXPECT_EQ(whole.back().substr(0, 5), "7D60:");
  r.ee.seteeSize(40);
  for (int32_t a = 0; a < 40; ++a) r.ee.WriteByte(a, static_cast<uint8_t>(a * 7));
  EXPECT_EQ(lines(r.eep.RigVelaEep_DispDebug()),
            (std::vector<std::string>{"         EEPROM Data", "0000: 00 07 0E 15 1C 23 2A 31 38 3F 46 4D 54 5B 62 69",
                                      "0010: 70 77 7E 85 8C 93 9A A1 A8 AF B6 BD C4 CB D2 D9",
                                      "0020: E0 E7 EE F5 FC 03 0A 11"}));
}

}  // namespace
