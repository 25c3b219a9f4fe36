// Whole connections against the virtual transceiver: the frames, the window, the
// channel row, the progress bar.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "ConnectionFixture.h"
#include "TestFiles.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"

namespace {

constexpr int kChNo = 0, kRef = 8;
constexpr int32_t kTable = 0x130, kEntry = 10;  // entry 1 describes object 2

struct Row { int command; int address; int waitMs; };

// The rows that send a command, in console order after the channel row.
std::vector<Row> sendingRows(bool mid) {
  return {{0x09, 168, 200}, {0x0A, 167, 200}, {0x0B, 166, 200},
          mid ? Row{0x12, 113, 200} : Row{0x10, 99, 200},
          mid ? Row{0x0E, 112, 200} : Row{0x0C, 98, 200},
          {0x0F, 83, 200},  {0x08, 184, 200}, {0x05, 173, 200}, {0x13, 84, 200},
          {0x14, 85, 200},  {0x06, 92, 500},  {0x07, 93, 500}};
}

const int kAdCodes[] = {0, 3, 5, 4, 0};
const int kDaCodes[] = {16, 17, 18, 19, 12, 13, 14, 11, 15};

struct Case { const char* name; bool mid; int bal113, bal106; };  // a balance copy of -1: as built

class ConnectionOrderTest : public ConnectionFixture, public ::testing::WithParamInterface<Case> {};

// The frame order of a whole connection and the pause after each row's command.
TEST_P(ConnectionOrderTest, FramesComeInTheirOrderWithTheirPauses) {
  const Case& c = GetParam();
  Bytes image = MemoryImageBuilder().setMid(c.mid).build();
  if (c.bal113 >= 0) image[113] = static_cast<uint8_t>(c.bal113);
  if (c.bal106 >= 0) image[106] = static_cast<uint8_t>(c.bal106);
  loadImage(image);
  ASSERT_TRUE(connect());
  EXPECT_TRUE(messages.empty());

  std::vector<std::string> want{"E0", "E2"};
  for (int code : kAdCodes) want.push_back(e8(0x03, code));
  want.push_back(e8(0x02, 1));
  want.push_back("003031");
  std::vector<int> waits(want.size(), -1);
  for (const Row& r : sendingRows(c.mid)) {
    const int v = image[static_cast<size_t>(r.address)];
    want.push_back(e8(r.command, v));
    waits.push_back(r.waitMs);
    if (r.command == 0x10 || r.command == 0x12) {
      // One copy per pass, sent right behind the row's own command, which goes out
      // again on the next pass until both copies agree.
      for (const auto& [copy, adr] : {std::pair{0x12, 113}, std::pair{0x11, 106}}) {
        if (v == image[adr]) continue;
        waits.back() = -1;
        want.push_back(e8(copy, v)), waits.push_back(r.waitMs);
        want.push_back(e8(r.command, v)), waits.push_back(r.waitMs);
      }
    }
  }
  for (int code : kAdCodes) want.push_back(e8(0x03, code));
  for (int code : kDaCodes) want.push_back(e8(0x03, code));
  waits.resize(want.size(), -1);

  ASSERT_EQ(textsFrom(0), want);
  // The pause runs from the hand-over; a frame queued behind the one before it
  // reaches the line up to one frame time (14 ms at 9600 baud) later.
  for (size_t i = 0; i + 1 < sent.size(); ++i) {
    if (waits[i] < 0) continue;
    const int64_t gap = sent[i + 1].ms - sent[i].ms;
    EXPECT_GE(gap, waits[i] - 14) << "after frame " << i << " " << want[i];
    EXPECT_LE(gap, waits[i] + 150) << "after frame " << i << " " << want[i];
  }
  // Every copy of the balance value now agrees, in the image and in the transceiver.
  const uint8_t bal = image[c.mid ? 113 : 99];
  for (int adr : c.mid ? std::vector<int>{113, 106} : std::vector<int>{99, 113, 106}) {
    EXPECT_EQ(Globals::radio().eepImage().ReadByte(adr), bal) << adr;
    EXPECT_EQ(rig.memoryByte(adr), bal) << adr;
  }
}

INSTANTIATE_TEST_SUITE_P(Images, ConnectionOrderTest,
                         ::testing::Values(Case{"Plain", false, -1, -1}, Case{"BalCopiesDiffer", false, 120, 110},
                                           Case{"Mid", true, -1, -1}, Case{"MidBal106Differs", true, -1, 7}),
                         [](const auto& info) { return std::string(info.param.name); });

using ConnectionTest = ConnectionFixture;

TEST_F(ConnectionTest, TheWindowShowsTheConsoleTheReadingsAndTheChannel) {
  ASSERT_TRUE(connect());
  frmMain& w = Globals::mainWindow();
  EXPECT_TRUE(w.fra01(0).isHidden());
  EXPECT_FALSE(w.fra01(1).isHidden());
  EXPECT_TRUE(w.fra01(3).isHidden());
  EXPECT_TRUE(w.cmd00(1).isEnabled());
  EXPECT_EQ(w.focusWidget(), &w.lboConsole());
  EXPECT_EQ(w.lblProgress().text().toStdString(), std::string(32, 'o'));
  EXPECT_EQ(row(w.lboConsole(), 0), "    CH No.: 01 RX = 476.425000, TX =   <-        RF Power: High  Mode: CB");
  EXPECT_EQ(row(w.lboConsole(), kRef), "       REF: 122 [##########----------]");
  EXPECT_EQ(row(w.lboConsole(), 14), "LV(RX LVA): 150 [############--------] [2.94V]");
  EXPECT_EQ(row(w.lboConsole(), 16), "      RSSI: [Enter] to Start");
  const int vin = *rig.reading(0);
  char vinText[16];
  std::snprintf(vinText, sizeof vinText, "VIN  :%3d:%02Xh:", vin, vin);
  EXPECT_EQ(row(w.lbo01(0), 1).substr(0, 14), vinText);
  EXPECT_EQ(row(w.lbo01(0), 5), "");
  EXPECT_EQ(row(w.lbo01(1), 0), "[D/A]");
  EXPECT_EQ(row(w.lbo01(1), 6).substr(0, 8), "MOD BAL:");
  for (int i = 1; i <= 9; ++i) EXPECT_NE(row(w.lbo01(1), i), "----") << i;
}

// A reading answer is the identification, the read command and two hex digits; F5
// reads every value again.
TEST_F(ConnectionTest, ReadingAnswersAreCheckedAndF5ReadsEveryValueAgain) {
  ASSERT_TRUE(connect());
  const struct { Bytes answer; bool bad; int16_t value; } cases[] = {
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'B'}, false, 123}, {{0x29, 0x28, 0x01, 0x00, 0x03, '0', 'f'}, false, 15},
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'G'}, true, 0},    {{0x29, 0x28, 0x01, 0x01, 0x03, '7', 'B'}, true, 123},
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7'}, true, 0},         {{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'B', 'C'}, true, 123},
      {{}, true, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(model().RigVelaOp_AnswerBad(c.answer), c.bad) << hex(c.answer.data(), c.answer.size());
    EXPECT_EQ(clsIndOp_RigVela::RigVelaOp_AnswerValue(c.answer), c.value) << hex(c.answer.data(), c.answer.size());
  }

  // F5 reads every value again; a value read unchanged leaves its row as it is.
  frmMain& w = Globals::mainWindow();
  w.lbo01(0).item(1)->setText("kept");
  w.lbo01(1).item(3)->setText("kept");
  const size_t before = sent.size();
  QTest::keyClick(&w.lboConsole(), Qt::Key_F5);
  ticksFor(5000);
  std::vector<std::string> want;
  for (int code : kAdCodes) want.push_back(e8(0x03, code));
  for (int code : kDaCodes) want.push_back(e8(0x03, code));
  EXPECT_EQ(textsFrom(before), want);
  EXPECT_EQ(row(w.lbo01(0), 1), "kept");
  EXPECT_EQ(row(w.lbo01(1), 3), "kept");
}

// The image of the stored text: bytes 83..189 are (a x 73 + 41) mod 256, bytes 124..129
// 200, 127, 128, 255, 0, 1, base frequency 0x05B5, "Mid" set.
TEST_F(ConnectionTest, DispParaShowsTheStoredTextAndLeavingItResumesTheCycle) {
  Bytes image = MemoryImageBuilder().setMid(true).build();
  for (int a = 83; a < 190; ++a) image[static_cast<size_t>(a)] = static_cast<uint8_t>((a * 73 + 41) % 256);
  const uint8_t slants[] = {200, 127, 128, 255, 0, 1};
  std::copy(std::begin(slants), std::end(slants), image.begin() + 124);
  image[80] = 0x05;
  image[81] = 0xB5;
  loadImage(image);
  ASSERT_TRUE(connect());
  frmMain& w = Globals::mainWindow();
  w.cmd00(2).click();
  ticksFor(200);
  EXPECT_EQ(model().opState(), 29);
  EXPECT_TRUE(w.fra01(1).isHidden());
  EXPECT_FALSE(w.fra01(3).isHidden());
  EXPECT_FALSE(w.cmd00(0).isEnabled());
  EXPECT_FALSE(w.cmd00(1).isEnabled());
  EXPECT_TRUE(w.cmd00(2).isDefault());
  const std::string expected =
      fileBytes(RAVLEN_TEST_SOURCE_DIR "/memory/data/disp_para_mid.txt").replace("\r", "").toStdString();
  ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 63);
  EXPECT_EQ(w.txtDispPara().toPlainText().toStdString(), expected);

  const size_t before = sent.size();
  model().RigOpFunc_ClickCmd00(1);  // no reload while the text shows
  Globals::console().UpDown(kRef, 1);
  ticksFor(1000);
  EXPECT_EQ(sent.size(), before);
  EXPECT_EQ(w.cancelButton(), 2);
  w.txtDispPara().setFocus();
  QTest::keyClick(&w.txtDispPara(), Qt::Key_Escape);
  ticksFor(1000);
  EXPECT_TRUE(model().RigVelaProp_EditEnabled());
  EXPECT_FALSE(w.fra01(1).isHidden());
  EXPECT_EQ(textsFrom(before), std::vector<std::string>{e8(0x05, image[173] + 1)});
}

// The standard plan: 6 receive side inhibited, 7 transmit side inhibited, 8 empty,
// 9 private with a 5 MHz split at low power.
TEST_F(ConnectionTest, ChannelLinesAndTheirSelection) {
  const struct { int channel; const char *line, *sent; } cases[] = {
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
  for (const auto& c : cases) {
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

void put16(Bytes& image, int32_t adr, int v) {
  image[static_cast<size_t>(adr)] = static_cast<uint8_t>(v >> 8);
  image[static_cast<size_t>(adr + 1)] = static_cast<uint8_t>(v & 0xFF);
}
void put32(Bytes& image, int32_t adr, uint32_t v) {
  put16(image, adr, static_cast<int>(v >> 16));
  put16(image, adr + 2, static_cast<int>(v & 0xFFFF));
}

// No channel record in use; more than forty records (40 and 41 hold channels, the
// table claims 50: only 0 to 39 count); a table without object 2, whose fields are
// then read at image bytes 2 to 7 (three records at 0x200). Each on a new connection.
TEST_F(ConnectionTest, TheChannelRowOffersTheAppearingChannels) {
  const char* const first = "    CH No.: 01 RX = 476.425000, TX =   <-        RF Power: High  Mode: CB";
  const struct { const char* name; std::function<void(Bytes&)> change; int chMax; const char* line0; } cases[] = {
      {"no channel appears", [](Bytes& image) { std::fill(image.begin() + 0x200, image.begin() + 0x200 + 40 * 24, 0); },
       0, "    CH No.: 01 RX = 0.000000, TX =   <-        RF Power: High  Mode: CB"},
      {"more than forty records",
       [](Bytes& image) {
         put16(image, kTable + kEntry + 4, 50);
         put32(image, 0x200 + 40 * 24, 476425000);
         put32(image, 0x200 + 41 * 24, 476425000);
       },
       10, first},
      {"table lacks object 2",
       [](Bytes& image) {
         put16(image, kTable + kEntry, 9);
         put16(image, 2, 24);
         put16(image, 4, 3);
         put16(image, 6, 0x200);
       },
       2, first},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = MemoryImageBuilder().build();
    c.change(image);
    loadImage(image);
    const size_t before = sent.size();
    ASSERT_TRUE(connect());
    EXPECT_EQ(Globals::console().Min(kChNo), 0);
    EXPECT_EQ(Globals::console().Max(kChNo), c.chMax);
    EXPECT_EQ(model().taskState().chList[0], 0);
    EXPECT_EQ(row(Globals::mainWindow().lboConsole(), kChNo), c.line0);
    EXPECT_EQ(sent.at(before + 8).text, "003031");
  }
}

// Paced at 9600 baud the clone read takes its wire time and fills the bar with the
// addresses received; the first readings then fill it again from one seventh to full.
TEST_F(ConnectionTest, TheCloneReadTakesItsWireTimeAndTheBarNeverPassesThirtyTwo) {
  TransceiverSettings s;
  s.baud = 9600;
  rig.setSettings(s);
  const int32_t start = clock.now();
  int32_t readEnd = 0;
  model().RigOpFunc_ClickCmd00(0);
  std::vector<int> filled;
  runUntil([&] {
    const std::string text = Globals::mainWindow().lblProgress().text().toStdString();
    const auto n = static_cast<size_t>(std::count(text.begin(), text.end(), 'o'));
    EXPECT_TRUE(text == std::string(32, ' ') || text == std::string(n, 'o') + std::string(32 - n, '.')) << text;
    filled.push_back(static_cast<int>(n));
    if (readEnd == 0 && model().opState() >= 3) readEnd = clock.now();
    return model().RigVelaProp_EditEnabled();
  });
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Globals::radio().eepImage().bytes(), rig.memory());
  EXPECT_GT(readEnd - start, 90000);  // about 92 kB at 960 bytes a second
  EXPECT_LT(readEnd - start, 110000);
  const auto drop = std::is_sorted_until(filled.begin(), filled.end());
  const std::vector<int> read(filled.begin(), drop), readings(drop, filled.end());
  EXPECT_EQ(read.back(), 32);
  EXPECT_TRUE(std::is_sorted(readings.begin(), readings.end()));
  EXPECT_GT(std::count_if(read.begin(), read.end(), [](int n) { return n > 0 && n < 32; }), 5);
  ASSERT_FALSE(readings.empty());
  EXPECT_EQ(readings.front(), 4);
  EXPECT_EQ(readings.back(), 32);
}

TEST_F(ConnectionTest, ConnectWhileConnectedStartsAgainFromTheCloneRead) {
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
