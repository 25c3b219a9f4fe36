#include <gtest/gtest.h>

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ConnectionFixture.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"

namespace {

constexpr int kRef = 8;

struct Row {
  int command;
  int address;
  int waitMs;
};

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

struct Case {
  const char* name;
  bool mid;
  int bal113;  // -1: as built
  int bal106;
};

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
  const auto vin = static_cast<int>(*rig.reading(0));
  EXPECT_EQ(row(w.lbo01(0), 1).substr(0, 14), "VIN  :" + std::to_string(vin).insert(0, 3 - std::to_string(vin).size(), ' ') +
                                                 ":" + hex(reinterpret_cast<const uint8_t*>(&vin), 1) + "h:");
  EXPECT_EQ(row(w.lbo01(0), 5), "");
  EXPECT_EQ(row(w.lbo01(1), 0), "[D/A]");
  EXPECT_EQ(row(w.lbo01(1), 6).substr(0, 8), "MOD BAL:");
  for (int i = 1; i <= 9; ++i) EXPECT_NE(row(w.lbo01(1), i), "----") << i;
}

// A reading answer is the identification, the read command and two hex digits.
TEST_F(ConnectionTest, ReadingAnswersAreCheckedAgainstTheIdentification) {
  ASSERT_TRUE(connect());
  const struct {
    Bytes answer;
    bool bad;
    int16_t value;
  } cases[] = {
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'B'}, false, 123},
      {{0x29, 0x28, 0x01, 0x00, 0x03, '0', 'f'}, false, 15},
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'G'}, true, 0},
      {{0x29, 0x28, 0x01, 0x01, 0x03, '7', 'B'}, true, 123},
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7'}, true, 0},
      {{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'B', 'C'}, true, 123},
      {{}, true, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(model().RigVelaOp_AnswerBad(c.answer), c.bad) << hex(c.answer.data(), c.answer.size());
    EXPECT_EQ(clsIndOp_RigVela::RigVelaOp_AnswerValue(c.answer), c.value) << hex(c.answer.data(), c.answer.size());
  }
}

TEST_F(ConnectionTest, KeyStepsSendTheRowAndWriteTheImage) {
  ASSERT_TRUE(connect());
  frmMain& w = Globals::mainWindow();
  w.lboConsole().setCurrentRow(kRef);
  const size_t before = sent.size();
  QTest::keyClick(&w.lboConsole(), Qt::Key_Right);
  ticksFor(500);
  QTest::keyClick(&w.lboConsole(), Qt::Key_Right, Qt::ShiftModifier);
  ticksFor(500);
  QTest::keyClick(&w.lboConsole(), Qt::Key_Left);
  ticksFor(500);
  EXPECT_EQ(textsFrom(before), (std::vector<std::string>{e8(0x05, 123), e8(0x05, 128), e8(0x05, 127)}));
  EXPECT_EQ(Globals::radio().eepImage().ReadByte(173), 127);
  EXPECT_EQ(rig.memoryByte(173), 127);
  EXPECT_EQ(row(w.lboConsole(), kRef).substr(0, 15), "       REF: 127");
}

// F5 reads every value again; a value read unchanged leaves its row as it is.
TEST_F(ConnectionTest, ReloadReadsEveryValueAgain) {
  ASSERT_TRUE(connect());
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

std::string dataFile(const char* name) {
  const auto path = std::filesystem::path(RAVLEN_TEST_SOURCE_DIR) / "memory" / "data" / name;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  std::erase(s, '\r');
  return s;
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
  const std::string expected = dataFile("disp_para_mid.txt");
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

}  // namespace
