#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "MemoryTestImage.h"

namespace {

using MemoryTestImage::Channel;
using MemoryTestImage::ChannelAdr;
using MemoryTestImage::Block2Adr;

class ChannelDecoding : public ::testing::Test, public MemoryTestImage::Readers {
 protected:
  ChannelDecoding() { MemoryTestImage::putUsualTable(ee); }
};

struct ChannelCase {
  const char* name;
  Channel ch;
  bool appears, rxInh, txInh;
  int32_t rxHz, txHz;
  int16_t rfPower;
  bool cb;
  int16_t dig;
  bool mode;
};

const std::vector<ChannelCase> ChannelCases = {
    {"all zero", {}, false, false, false, 0, 0, 1, false, 0, false},
    {"mode and second block alone", {0, 0, false, false, 0xFF, true, true}, false, false, false, 0, 0, 0, true, 3, true},
    {"CB simplex high", {27185000, 27185000, false, false, 0, true, true}, true, false, false, 27185000, 27185000, 0, true, 0, false},
    {"private split low", {446006250, 441006250, false, false, 0x41, false, false}, true, false, false, 446006250, 441006250, 1, false, 1, true},
    {"rx inhibited, no frequency", {0, 0, true, false, 0, false, true}, true, true, false, 0, 0, 1, true, 0, false},
    {"rx inhibited keeps its frequency", {146520000, 146520000, true, false, 0, true, false}, true, true, false, 146520000, 146520000, 0, false, 0, false},
    {"tx inhibited only", {0, 151000000, false, true, 0x03, true, false}, false, false, true, 0, 151000000, 0, false, 3, false},
    {"mode byte other bits ignored", {1, 0, false, false, 0xBC, false, false}, true, false, false, 1, 0, 1, false, 0, false},
    {"largest frequency", {0x7FFFFFFF, 0x7FFFFFFF, true, true, 0xFF, true, true}, true, true, true, 0x7FFFFFFF, 0x7FFFFFFF, 0, true, 3, true},
};

TEST_F(ChannelDecoding, RecordFieldsTableDriven) {
  for (size_t i = 0; i < ChannelCases.size(); ++i) {
    const ChannelCase& c = ChannelCases[i];
    SCOPED_TRACE(c.name);
    const auto chNo = static_cast<int16_t>(3 + 2 * i);
    MemoryTestImage::putChannel(ee, chNo, c.ch);
    const int32_t rx = table.RigVelaFunc_Obj_Address(2), block2 = table.RigVelaFunc_Obj_Address(3);
    const int32_t rec = rx + chNo * MemoryTestImage::ChannelSize;
    EXPECT_EQ(eep.RigVelaEep_GetChAppear(rx, chNo), c.appears);
    EXPECT_EQ(eep.Check_Inh(rec), c.rxInh);
    EXPECT_EQ(eep.Check_Inh(rec + 4), c.txInh);
    EXPECT_EQ(eep.RigVelaEep_GetChFreqRxReal(rx, chNo), c.rxHz);
    EXPECT_EQ(eep.RigVelaEep_GetChFreqTxReal(rx + 4, chNo), c.txHz);
    EXPECT_EQ(eep.RigVelaEep_GetChRFPower(block2, chNo), c.rfPower);
    EXPECT_EQ(eep.RigVelaEep_GetChModeCB(block2, chNo), c.cb);
    EXPECT_EQ(eep.RigVelaEep_GetChModeDig(rx, chNo), c.dig);
    EXPECT_EQ(eep.RigVelaEep_GetChMode(rx, chNo), c.mode);
    // Neighbours stay unprogrammed.
    EXPECT_FALSE(eep.RigVelaEep_GetChAppear(rx, static_cast<int16_t>(chNo + 1)));
  }
}

TEST_F(ChannelDecoding, MoreThanFortyRecords) {
  MemoryTestImage::putTable(ee, 10, 2, MemoryTestImage::TableAdr,
                            {{2, 24, 60, ChannelAdr}, {3, 8, 60, 0x1000}, {6, 64, 1, 0x800}});
  MemoryTestImage::putChannel(ee, 55, Channel{156800000, 156300000});
  ee.WriteByte(0x1000 + 55 * 8, 0x01);
  ee.WriteByte(0x1000 + 55 * 8 + 4, 0x80);
  EXPECT_EQ(table.RigVelaFunc_Obj_Number(2), 60);
  EXPECT_TRUE(eep.RigVelaEep_GetChAppear(ChannelAdr, 55));
  EXPECT_EQ(eep.RigVelaEep_GetChFreqRxReal(ChannelAdr, 55), 156800000);
  EXPECT_EQ(eep.RigVelaEep_GetChFreqTxReal(ChannelAdr + 4, 55), 156300000);
  EXPECT_EQ(eep.RigVelaEep_GetChRFPower(0x1000, 55), 0);
  EXPECT_TRUE(eep.RigVelaEep_GetChModeCB(0x1000, 55));
  EXPECT_EQ(eep.RigVelaEep_GetChName(55), "56");
  EXPECT_EQ(eep.chNames(55), " ");  // beyond the name cache
}

TEST_F(ChannelDecoding, RecordLengthComesFromTheTable) {
  // Without an entry for object 2, its record length is the word at image bytes 2-3.
  MemoryTestImage::putTable(ee, 10, 1, MemoryTestImage::TableAdr, {{3, 8, 40, Block2Adr}, {6, 64, 1, 0x800}});
  MemoryTestImage::put16(ee, 2, 16);
  MemoryTestImage::put32(ee, ChannelAdr + 2 * 16, 27065000);
  EXPECT_TRUE(eep.RigVelaEep_GetChAppear(ChannelAdr, 2));
  EXPECT_EQ(eep.RigVelaEep_GetChFreqRxReal(ChannelAdr, 2), 27065000);
  EXPECT_FALSE(eep.RigVelaEep_GetChAppear(ChannelAdr, 1));
  // Object 3's length governs the second block.
  MemoryTestImage::putTable(ee, 10, 1, MemoryTestImage::TableAdr, {{3, 5, 40, Block2Adr}, {6, 64, 1, 0x800}});
  ee.WriteByte(Block2Adr + 3 * 5, 0x01);
  ee.WriteByte(Block2Adr + 3 * 5 + 4, 0x80);
  EXPECT_EQ(eep.RigVelaEep_GetChRFPower(Block2Adr, 3), 0);
  EXPECT_TRUE(eep.RigVelaEep_GetChModeCB(Block2Adr, 3));
  EXPECT_EQ(eep.RigVelaEep_GetChRFPower(Block2Adr, 2), 1);
}

TEST_F(ChannelDecoding, NegativeChannelsAndRecordsOutsideTheImageReadAsNothing) {
  MemoryTestImage::putChannel(ee, 0, Channel{146520000});
  // Channel -1 seen from channel 1's record would be channel 0's record.
  EXPECT_TRUE(eep.RigVelaEep_GetChAppear(ChannelAdr, 0));
  EXPECT_FALSE(eep.RigVelaEep_GetChAppear(ChannelAdr + MemoryTestImage::ChannelSize, -1));
  MemoryTestImage::putTable(ee, 10, 2, MemoryTestImage::TableAdr,
                            {{2, 0xFFFF, 40, ChannelAdr}, {3, 0xFFFF, 40, Block2Adr}, {6, 64, 1, 0x800}});
  EXPECT_FALSE(eep.RigVelaEep_GetChAppear(ChannelAdr, 32767));
  EXPECT_EQ(eep.RigVelaEep_GetChFreqRxReal(ChannelAdr, 32767), 0);
  EXPECT_EQ(eep.RigVelaEep_GetChRFPower(Block2Adr, 32767), 1);
  EXPECT_EQ(eep.ReadFreqBlock(ee.eeSize() - 2), 0);
  EXPECT_FALSE(eep.Check_Inh(-1));
}

TEST_F(ChannelDecoding, ChannelNamesAreOneBasedAndCached) {
  EXPECT_EQ(eep.chNames(0), " ");
  const std::pair<int16_t, const char*> cases[] = {{0, "1"}, {9, "10"}, {41, "42"}, {-1, "0"}, {32767, "32768"}};
  for (const auto& [c, name] : cases) EXPECT_EQ(eep.RigVelaEep_GetChName(c), name) << c;
  for (const auto& [c, name] : {std::pair<int16_t, const char*>{0, "1"}, {9, "10"}, {41, "42"}, {1, " "}, {-1, " "}})
    EXPECT_EQ(eep.chNames(c), name) << c;
}

}  // namespace
