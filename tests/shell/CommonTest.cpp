#include <gtest/gtest.h>

#include "Common.h"

using namespace Common;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(HexStrToBin, ReadsPairsAndSkipsBlanksWherePairsBegin) {
  EXPECT_EQ(HexStrToBin("FE FE 00"), (Bytes{0xFE, 0xFE, 0x00}));
  EXPECT_EQ(HexStrToBin("fefe"), (Bytes{0xFE, 0xFE}));
  EXPECT_EQ(HexStrToBin("F"), Bytes{});
  EXPECT_EQ(HexStrToBin(""), Bytes{});
  EXPECT_EQ(HexStrToBin("  0A"), Bytes{0x0A});
  EXPECT_EQ(HexStrToBin("12 34"), HexStrToBin("1234"));
  EXPECT_EQ(HexStrToBin("1 234"), (Bytes{0x01, 0x23}));
  EXPECT_EQ(HexStrToBin(" "), Bytes{});
  EXPECT_EQ(HexStrToBin("   "), Bytes{});
}

TEST(HexStrToBin, PartialPairsKeepWhatWasRead) {
  EXPECT_EQ(HexStrToBin("1Z"), Bytes{0x01});
  EXPECT_EQ(HexStrToBin("ZZ"), Bytes{0x00});
  EXPECT_EQ(HexStrToBin("Z1"), Bytes{0x00});
  EXPECT_EQ(HexStrToBin("A "), Bytes{0x0A});
  EXPECT_EQ(HexStrToBin("A B"), (Bytes{0x0A}));  // "A " then a lone "B"
}

TEST(BinToHexStr, TwoUpperCaseDigitsPerByte) {
  EXPECT_EQ(BinToHexStr(Bytes{0x00, 0x0F, 0xA5}), "000FA5");
  EXPECT_EQ(BinToHexStr(Bytes{}), "");
  for (const std::string s : {"00", "FEFD", "0123456789ABCDEF", "E8292801000537 41"}) {
    std::string noBlanks;
    for (char c : s)
      if (c != ' ') noBlanks += c;
    EXPECT_EQ(BinToHexStr(HexStrToBin(s)), noBlanks);
  }
}

TEST(ByteToHexStr, KeepsTheLowByte) {
  EXPECT_EQ(ByteToHexStr(5), "05");
  EXPECT_EQ(ByteToHexStr(255), "FF");
  EXPECT_EQ(ByteToHexStr(256), "00");
  EXPECT_EQ(ByteToHexStr(0x1A3), "A3");
  EXPECT_EQ(ByteToHexStr(-1), "FF");
  EXPECT_EQ(ByteToHexStr(-256), "00");
  EXPECT_EQ(ByteToHexStr(INT16_MIN), "00");
  EXPECT_EQ(ByteToHexStr(INT16_MAX), "FF");
}

TEST(ByteToAscHexStr, GivesTheCodesOfTheTwoDigits) {
  EXPECT_EQ(ByteToAscHexStr(0), "3030");
  EXPECT_EQ(ByteToAscHexStr(255), "4646");
  EXPECT_EQ(ByteToAscHexStr(0x3A), "3341");
  EXPECT_EQ(ByteToAscHexStr(122), "3741");
  EXPECT_EQ(ByteToAscHexStr(-1), "4646");
  // An adjustment text: command 05, value 122.
  EXPECT_EQ(ByteToHexStr(5) + ByteToAscHexStr(122), "053741");
}

TEST(BinHexToInt, ReadsHexCharactersAsSixteenBitTwosComplement) {
  EXPECT_EQ(BinHexToInt(text("01F4")), 500);
  EXPECT_EQ(BinHexToInt(Bytes{}), 0);
  EXPECT_EQ(BinHexToInt(text("FFFF")), -1);
  EXPECT_EQ(BinHexToInt(text("7FFF")), 32767);
  EXPECT_EQ(BinHexToInt(text("8000")), -32768);
  EXPECT_EQ(BinHexToInt(text("7D6F")), 32111);
  EXPECT_EQ(BinHexToInt(text("7d6f")), 32111);
  EXPECT_EQ(BinHexToInt(text("1Z34")), 1);
  EXPECT_EQ(BinHexToInt(text("Z")), 0);
  EXPECT_EQ(BinHexToInt(text(" 1")), 0);
  // Longer texts keep their low 16 bits instead of overflowing.
  EXPECT_EQ(BinHexToInt(text("12345")), 0x2345);
}

TEST(ConvertNewLine, ReplacesBackslashNInPlace) {
  EXPECT_EQ(ConvertNewLine("a\\nb"), "a\r\nb");
  EXPECT_EQ(ConvertNewLine("a\r\nb"), "a\r\nb");
  EXPECT_EQ(ConvertNewLine("\\n\\n"), "\r\n\r\n");
  EXPECT_EQ(ConvertNewLine("\\"), "\\");
  EXPECT_EQ(ConvertNewLine("n\\"), "n\\");
  EXPECT_EQ(ConvertNewLine(""), "");
}

TEST(StrToBin, OneBytePerCharacter) {
  EXPECT_EQ(StrToBin(""), Bytes{});
  EXPECT_EQ(StrToBin("Ab\xFF"), (Bytes{'A', 'b', 0xFF}));
}

}  // namespace
