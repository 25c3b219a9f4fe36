#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Common.h"

using namespace Common;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Pairs are read where they begin after blanks; a partial pair keeps what was read.
TEST(HexStrToBin, ReadsPairsAndKeepsPartialOnes) {
  const struct { const char* in; Bytes out; } cases[] = {
      {"FE FE 00", {0xFE, 0xFE, 0x00}}, {"fefe", {0xFE, 0xFE}}, {"F", {}}, {"", {}}, {"  0A", {0x0A}},
      {"1 234", {0x01, 0x23}}, {"   ", {}}, {"1Z", {0x01}}, {"ZZ", {0x00}}, {"Z1", {0x00}}, {"A ", {0x0A}},
      {"A B", {0x0A}}};  // "A " then a lone "B"
  for (const auto& c : cases) EXPECT_EQ(HexStrToBin(c.in), c.out) << c.in;
  for (const std::string s : {"00", "FEFD", "0123456789ABCDEF", "E8292801000537 41"}) {
    std::string noBlanks = s;
    std::erase(noBlanks, ' ');
    EXPECT_EQ(BinToHexStr(HexStrToBin(s)), noBlanks);
  }
  EXPECT_EQ(BinToHexStr(Bytes{}), "");
}

TEST(ByteToHexStr, KeepsTheLowByteAsDigitsOrTheirCodes) {
  const struct { int in; const char *hex, *asc; } cases[] = {
      {5, "05", "3035"}, {255, "FF", "4646"}, {256, "00", "3030"}, {0x1A3, "A3", "4133"}, {0x3A, "3A", "3341"},
      {122, "7A", "3741"}, {-1, "FF", "4646"}, {-256, "00", "3030"}, {INT16_MIN, "00", "3030"},
      {INT16_MAX, "FF", "4646"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ByteToHexStr(static_cast<int16_t>(c.in)), c.hex) << c.in;
    EXPECT_EQ(ByteToAscHexStr(static_cast<int16_t>(c.in)), c.asc) << c.in;
  }
}

// Longer texts keep their low 16 bits instead of overflowing.
TEST(BinHexToInt, ReadsHexCharactersAsSixteenBitTwosComplement) {
  const struct { const char* in; int16_t out; } cases[] = {
      {"01F4", 500}, {"", 0},       {"FFFF", -1}, {"7FFF", 32767}, {"8000", -32768}, {"7d6f", 32111},
      {"1Z34", 1},   {"Z", 0},      {" 1", 0},    {"12345", 0x2345}};
  for (const auto& c : cases) EXPECT_EQ(BinHexToInt(text(c.in)), c.out) << c.in;
}

TEST(ConvertNewLine, ReplacesBackslashNAndStrToBinCopiesBytes) {
  for (const auto& [in, out] : {std::pair<std::string, std::string>{"a\\nb", "a\r\nb"}, {"a\r\nb", "a\r\nb"},
                                {"\\n\\n", "\r\n\r\n"}, {"\\", "\\"}, {"n\\", "n\\"}, {"", ""}})
    EXPECT_EQ(ConvertNewLine(in), out) << in;
  EXPECT_EQ(StrToBin(""), Bytes{});
  EXPECT_EQ(StrToBin("Ab\xFF"), (Bytes{'A', 'b', 0xFF}));
}

TEST(MsgBoxDetails, GoToTheDetailBoxWhenThereIsOneElseTheTextAlone) {
  std::vector<std::string> plain;
  std::vector<std::pair<std::string, std::string>> detailed;
  const MsgBoxHandler oldPlain = SetMsgBoxHandler([&](const std::string& t) { plain.push_back(t); return ButtonOk; });
  EXPECT_EQ(MsgBoxApp("A\\nB", "why"), ButtonOk);
  ASSERT_EQ(plain, std::vector<std::string>{"A\r\nB"});
  const MsgBoxDetailHandler oldDetail = SetMsgBoxDetailHandler([&](const std::string& text, const std::string& details) {
    detailed.emplace_back(text, details);
    return ButtonOk;
  });
  MsgBoxApp("C\\nD", "because");
  MsgBoxApp("E", "");
  SetMsgBoxDetailHandler(oldDetail);
  SetMsgBoxHandler(oldPlain);
  EXPECT_EQ(detailed, (std::vector<std::pair<std::string, std::string>>{{"C\r\nD", "because"}}));
  EXPECT_EQ(plain, (std::vector<std::string>{"A\r\nB", "E"}));
}

}  // namespace
