#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <algorithm>

#include "ConnectionFixture.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "frmCom.h"

namespace {

constexpr int kChNo = 0, kRef = 8;
constexpr int32_t kTable = 0x130, kEntry = 10;  // entry 1 describes object 2

using ConnectionEdgeTest = ConnectionFixture;

void put16(Bytes& image, int32_t adr, int v) {
  image[static_cast<size_t>(adr)] = static_cast<uint8_t>(v >> 8);
  image[static_cast<size_t>(adr + 1)] = static_cast<uint8_t>(v & 0xFF);
}
void put32(Bytes& image, int32_t adr, uint32_t v) {
  put16(image, adr, static_cast<int>(v >> 16));
  put16(image, adr + 2, static_cast<int>(v & 0xFFFF));
}

struct ChannelCase {
  int channel;
  const char* line;
  const char* sent;
};

// The standard plan: 6 receive side inhibited, 7 transmit side inhibited, 8 empty,
// 9 private with a 5 MHz split at low power.
TEST_F(ConnectionEdgeTest, ChannelLinesAndTheirSelection) {
  const ChannelCase cases[] = {
      {0, "    CH No.: 01 RX = 476.425000, TX =   <-        RF Power: High  Mode: CB", "003031"},
      {6, "    CH No.: 07 RX = Inhibit   , TX = 476.575000  RF Power: High  Mode: CB", "003037"},
      {7, "    CH No.: 08 RX = 476.600000, TX = Inhibit     RF Power: High  Mode: CB", "003038"},
      {9, "    CH No.: 10 RX = 445.500000, TX = 440.500000  RF Power: Low  Mode: Private", "003041"},
      {11, "    CH No.: 12 RX = 467.550000, TX =   <-        RF Power: Low  Mode: Private", "003043"},
  };
  ASSERT_TRUE(connect());
  clsConsole& console = Globals::console();
  EXPECT_EQ(console.Max(kChNo), 10);  // eleven channels appear, 8 does not
  const auto& list = model().taskState().chList;
  for (const ChannelCase& c : cases) {
    SCOPED_TRACE(c.channel);
    const auto at = std::find(list.begin(), list.begin() + 11, c.channel);
    ASSERT_NE(at, list.begin() + 11);
    const size_t before = sent.size();
    console.setValue(kChNo, static_cast<int16_t>(at - list.begin()));
    ticksFor(300);
    EXPECT_EQ(row(Globals::mainWindow().lboConsole(), kChNo), c.line);
    EXPECT_EQ(textsFrom(before), std::vector<std::string>{c.sent});
    EXPECT_EQ(model().taskState().curChannel, c.channel);
    EXPECT_EQ(rig.selectedChannel(), c.channel + 1);
  }
}

struct TableCase {
  const char* name;
  std::function<void(Bytes&)> change;
  int chMax;
  const char* firstChannelLine;
};

class ChannelTableTest : public ConnectionFixture, public ::testing::WithParamInterface<TableCase> {};

TEST_P(ChannelTableTest, TheChannelRowOffersTheAppearingChannels) {
  Bytes image = MemoryImageBuilder().build();
  GetParam().change(image);
  loadImage(image);
  ASSERT_TRUE(connect());
  EXPECT_EQ(Globals::console().Min(kChNo), 0);
  EXPECT_EQ(Globals::console().Max(kChNo), GetParam().chMax);
  EXPECT_EQ(model().taskState().chList[0], 0);
  EXPECT_EQ(row(Globals::mainWindow().lboConsole(), kChNo), GetParam().firstChannelLine);
  EXPECT_EQ(sent.at(8).text, "003031");
}

INSTANTIATE_TEST_SUITE_P(
    Images, ChannelTableTest,
    ::testing::Values(
        TableCase{"NoChannelAppears",
                  [](Bytes& image) {
                    for (int32_t a = 0x200; a < 0x200 + 40 * 24; ++a) image[static_cast<size_t>(a)] = 0;
                  },
                  0, "    CH No.: 01 RX = 0.000000, TX =   <-        RF Power: High  Mode: CB"},
        // Records 40 and 41 hold channels, the table claims 50: only 0 to 39 count.
        TableCase{"MoreThanFortyRecords",
                  [](Bytes& image) {
                    put16(image, kTable + kEntry + 4, 50);
                    put32(image, 0x200 + 40 * 24, 476425000);
                    put32(image, 0x200 + 41 * 24, 476425000);
                  },
                  10, "    CH No.: 01 RX = 476.425000, TX =   <-        RF Power: High  Mode: CB"},
        // Without object 2 its fields are read at image bytes 2 to 7: three records at 0x200.
        TableCase{"TableLacksObjectTwo",
                  [](Bytes& image) {
                    put16(image, kTable + kEntry, 9);
                    put16(image, 2, 24);
                    put16(image, 4, 3);
                    put16(image, 6, 0x200);
                  },
                  2, "    CH No.: 01 RX = 476.425000, TX =   <-        RF Power: High  Mode: CB"}),
    [](const auto& info) { return std::string(info.param.name); });

// The clone read fills the bar with the addresses received; the first readings then
// fill it again from one seventh to full.
TEST_F(ConnectionEdgeTest, TheProgressBarNeverPassesThirtyTwo) {
  TransceiverSettings s;
  s.baud = 9600;
  rig.setSettings(s);
  model().RigOpFunc_ClickCmd00(0);
  std::vector<int> filled;
  runUntil([&] {
    const std::string text = Globals::mainWindow().lblProgress().text().toStdString();
    const auto n = static_cast<size_t>(std::count(text.begin(), text.end(), 'o'));
    EXPECT_TRUE(text == std::string(32, ' ') || text == std::string(n, 'o') + std::string(32 - n, '.')) << text;
    filled.push_back(static_cast<int>(n));
    return model().RigVelaProp_EditEnabled();
  });
  const auto drop = std::is_sorted_until(filled.begin(), filled.end());
  const std::vector<int> read(filled.begin(), drop), readings(drop, filled.end());
  EXPECT_EQ(read.back(), 32);
  EXPECT_TRUE(std::is_sorted(readings.begin(), readings.end()));
  EXPECT_GT(std::count_if(read.begin(), read.end(), [](int n) { return n > 0 && n < 32; }), 5);
  ASSERT_FALSE(readings.empty());
  EXPECT_EQ(readings.front(), 4);
  EXPECT_EQ(readings.back(), 32);
}

TEST_F(ConnectionEdgeTest, ConnectWhileConnectedStartsAgainFromTheCloneRead) {
  ASSERT_TRUE(connect());
  Globals::console().UpDown(kRef, 3);  // not yet sent when Connect comes
  const size_t before = sent.size();
  Globals::mainWindow().cmd00(0).click();
  EXPECT_EQ(model().opState(), 1);
  ASSERT_TRUE(connect());
  const auto again = textsFrom(before);
  ASSERT_GE(again.size(), 2u);
  EXPECT_EQ(again[0], "E0");
  EXPECT_EQ(again[1], "E2");
  EXPECT_EQ(std::count(again.begin(), again.end(), e8(0x05, 122)), 1);  // the image's value again
  EXPECT_EQ(std::count(again.begin(), again.end(), e8(0x05, 125)), 0);
  EXPECT_TRUE(messages.empty());
}

}  // namespace
