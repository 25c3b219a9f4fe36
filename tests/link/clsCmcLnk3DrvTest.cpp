#include <gtest/gtest.h>

#include "FakeClock.h"
#include "FakeLinkPort.h"
#include "Frames.h"
#include "clsCmcEeprom.h"

using namespace Frames;

namespace {

enum Mode : int16_t { Identify = 1, CloneRead = 2, CloneWriteEnd = 4, Adjust = 5 };

// An E4 body around its data text: address, count, data, checksum in hex digits.
Bytes e4(const std::string& text) { return concat({Bytes{0xEF, 0xEE, 0xE4}, Bytes(text.begin(), text.end())}); }

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() {
    port.open = true;
    drv.setmyEep(&image);
  }

  // Sends the request of a work mode and returns the frame written.
  Bytes request(Mode mode, bool answer = true) {
    const char* payload = mode == Identify        ? "E029280000"
                          : mode == CloneRead     ? "E029280100"
                          : mode == CloneWriteEnd ? "E55461767520496E632E"
                                                  : "E8292801000333";
    drv.setworkMode(mode);
    if (mode == Adjust) {
      drv.setwaitAnswer(answer);
      drv.setretryCount(2);
    }
    EXPECT_EQ(drv.Send(Common::HexStrToBin(payload)), 0);
    return port.written.back();
  }
  // The request, its echo, then the answer frames in one chunk.
  void exchange(Mode mode, const std::vector<Bytes>& bodies) {
    drv.read(request(mode));
    Bytes chunk;
    for (const Bytes& b : bodies) chunk = concat({chunk, frame(b)});
    drv.read(chunk);
  }
  // Lets time pass in 50 ms ticks, as the utility's timer does.
  void ticks(int32_t ms) {
    for (int32_t t = 0; t < ms; t += 50) {
      clock.advance(50);
      drv.task();
    }
  }
  // No code until the last tick before ms, then the code.
  void expectErrorAfter(int32_t ms, int16_t code) {
    ticks(ms - 50);
    EXPECT_EQ(drv.nowError(), 0);
    ticks(50);
    EXPECT_EQ(drv.nowError(), code);
  }

  FakeClock clock;
  FakeLinkPort port;
  clsCmcLnk3Drv& drv = port.drv;
  clsCmcEeprom image;
};

TEST_F(DriverTest, FramesThePayloadAndWaitsForEchoThenAnswer) {
  const Bytes sent = request(Identify);
  EXPECT_EQ(sent, (Bytes{0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD}));
  EXPECT_TRUE(drv.Running());
  EXPECT_FALSE(drv.SendEnable());
  drv.read(sent);
  EXPECT_TRUE(drv.Running());
  drv.read(frame(identificationBody()));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.ansInfo(), identificationBody());
  EXPECT_EQ(drv.EndAddress(), 32112);
  EXPECT_TRUE(drv.SendEnable());
}

// The echo and answer of an identification delivered in awkward pieces. An empty
// piece stands for a line error, which drops what was partly received.
TEST_F(DriverTest, ChunkingNoiseAndLineErrors) {
  const Bytes sent = request(Identify), answer = frame(identificationBody());
  const auto cut = [](const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); };
  const std::vector<std::vector<Bytes>> cases{
      {cut(sent, 0, 4), concat({cut(sent, 4, sent.size()), answer})},
      {sent, concat({Bytes{0x11, 0x22, 0x33}, answer})},
      {sent, concat({Bytes{0x11, 0xFD}, answer}), answer},  // the answer goes with the noise
      {sent, cut(answer, 0, 30), {}, cut(answer, 30, answer.size()), answer},
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    drv.Reset();
    request(Identify);
    for (size_t i = 0; i < cases[c].size(); ++i) {
      EXPECT_TRUE(drv.Running()) << c << " before piece " << i;
      if (cases[c][i].empty()) drv.ClearRxBuffer();
      else drv.read(cases[c][i]);
    }
    EXPECT_FALSE(drv.Running()) << c;
    EXPECT_EQ(drv.nowError(), 0) << c;
    EXPECT_EQ(drv.ansInfo(), identificationBody()) << c;
  }
}

// Fed byte by byte, the bytes still expected never reach past the end of the echo
// or answer being received, and are exact where the header gives the length.
TEST_F(DriverTest, BytesStillExpectedNeverPassTheEndOfTheFrame) {
  const struct {
    Mode mode;
    std::vector<Bytes> answers;
  } cases[] = {
      {Identify, {identificationBody()}},
      {CloneRead, {cloneDataBody(0, Bytes(16, 0xFD)), cloneDataBody(16, {7}), cloneEndBody(2)}},
      {Adjust, {adjustAnswerBody(0x03, 0x7B)}},
      {CloneWriteEnd, {{0xEF, 0xEE, 0xE6, 0x00}}},
  };
  for (const auto& c : cases) {
    drv.Reset();
    const Bytes sent = request(c.mode);
    EXPECT_EQ(drv.BytesStillExpected(), sent.size()) << c.mode;
    std::vector<Bytes> frames{sent};
    for (const Bytes& body : c.answers) frames.push_back(frame(body));
    for (const Bytes& f : frames) {
      for (size_t i = 0; i < f.size(); ++i) {
        const size_t left = f.size() - i;
        const size_t expected = drv.BytesStillExpected();
        EXPECT_GE(expected, 1u) << c.mode << " at " << i;
        EXPECT_LE(expected, left) << c.mode << " at " << i;
        // Exact for the echo, and for an E1 or E4 answer once its length byte or
        // count digits are in.
        const bool known = &f == &frames.front() || (f[4] == 0xE1 && i >= 10) || (f[4] == 0xE4 && i >= 11);
        EXPECT_TRUE(!known || expected == left) << c.mode << " at " << i << ": " << expected << " for " << left;
        // In a clone read the answers can wait for the tick until one shows its E5.
        const bool data = c.mode == CloneRead && &f != &frames.front() && !(f[4] == 0xE5 && i >= 5);
        const Haste haste = data ? Haste::ByNextTick : Haste::AtOnce;
        EXPECT_EQ(drv.ExpectedHaste(), haste) << c.mode << " at " << i;
        drv.read(&f[i], 1);
      }
    }
    EXPECT_EQ(drv.nowError(), 0) << c.mode;
    EXPECT_FALSE(drv.Running()) << c.mode;
    EXPECT_EQ(drv.BytesStillExpected(), 0u) << c.mode;
  }
}

// Clone data waits for the tick until the image's last 64 bytes: the end frame
// follows them closely.
TEST_F(DriverTest, NearTheImageEndCloneDataIsAwaitedAtOnce) {
  exchange(Identify, {identificationBody("00BF")});  // the image ends at 192
  drv.read(request(CloneRead));
  for (uint16_t adr = 0; adr < 192; adr += 16) {
    EXPECT_EQ(drv.ExpectedHaste(), adr < 128 ? Haste::ByNextTick : Haste::AtOnce) << adr;
    drv.read(frame(cloneDataBody(adr, Bytes(16, 1))));
  }
  EXPECT_EQ(drv.lastEeAdr(), 191);
  EXPECT_EQ(drv.ExpectedHaste(), Haste::AtOnce);
}

TEST_F(DriverTest, TwoResendsThenNoAnswerErrorWithTheEchoAwaitedEachTime) {
  const Bytes sent = request(Adjust);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(port.written.size(), static_cast<size_t>(round + 1));
    EXPECT_EQ(port.written.back(), sent);
    drv.read(sent);  // echo
    ticks(1150);
    EXPECT_EQ(port.written.size(), static_cast<size_t>(round + 1));
    ticks(50);
  }
  EXPECT_EQ(port.written.size(), 3u);
  EXPECT_EQ(drv.nowError(), 2);
  EXPECT_FALSE(drv.Running());
}

// No echo within a second: code 1, for a first frame and for a resent one.
TEST_F(DriverTest, EchoTimesOutAfterOneSecondAlsoForAResentFrame) {
  request(Identify);
  expectErrorAfter(1000, 1);
  EXPECT_EQ(drv.lastError(), 1);
  EXPECT_FALSE(drv.Running());
  drv.Reset();
  drv.read(request(Adjust));
  ticks(1200);
  ASSERT_EQ(port.written.size(), 3u);
  drv.read(Bytes{0x00});  // bytes arrive, but not the echo of the resent frame
  expectErrorAfter(1000, 1);
}

TEST_F(DriverTest, AnswersAreCheckedAndEndWithTheirCodes) {
  Bytes badLength = identificationBody(), letters = adjustAnswerBody(0x03, 0x10), wrongIdent = cloneEndBody(0);
  badLength[7] = 61;
  letters[3] = 0x2A;  // model digits no longer decimal
  wrongIdent[5] = 0x00;
  const struct {
    Mode mode;
    std::vector<Bytes> answer;
    int16_t code;
  } cases[] = {
      {Identify, {identificationBody("", 58)}, 3},
      {Identify, {badLength}, 3},
      {Adjust, {adjustAnswerBody(0x04, 0x7B)}, 3},  // not the command sent
      {Adjust, {{0xEF, 0xEE, 0xE8, 0x29, 0x28, 0x01, 0x00}}, 3},
      {Adjust, {letters}, 3},
      {CloneRead, {e4("0010020102EB")}, 0},  // data 01 02 at 0010
      {CloneRead, {e4("010003010203F7")}, 3},  // checksum
      {CloneRead, {e4("0100030G0203F6")}, 3},  // not a hex digit
      {CloneRead, {e4("010004010203F5")}, 3},  // count 4 with three bytes
      {CloneRead, {e4("010003010203F60")}, 3},  // odd number of digits
      {CloneRead, {e4("00000000")}, 3},
      {CloneRead, {cloneDataBody(0x7D68, Bytes(16, 0))}, 5},  // ends past 32111
      {CloneRead, {cloneDataBody(0x8000, Bytes(16, 0))}, 5},  // reads as negative
      {CloneRead, {cloneDataBody(0, {1}), cloneEndBody(2)}, 4},
      {CloneRead, {wrongIdent}, 3},
      {CloneWriteEnd, {{0xEF, 0xEE, 0xE6, 0x00}}, 0},
      {CloneWriteEnd, {{0xEF, 0xEE, 0xE6, 0x01}}, 7},
      {CloneWriteEnd, {{0xEF, 0xEE, 0xE6}}, 7},  // no verdict byte
  };
  for (const auto& c : cases) {
    drv.Reset();
    exchange(c.mode, c.answer);
    EXPECT_EQ(drv.nowError(), c.code) << Common::BinToHexStr(c.answer.back());
    EXPECT_TRUE(c.code == 0 || !drv.Running()) << Common::BinToHexStr(c.answer.back());
  }
  EXPECT_EQ(image.ReadByte(0x10), 1);
}

TEST_F(DriverTest, EndAddressRoundsUpAndFallsBackWhenItCannotBeRepresented) {
  const std::pair<std::string, int16_t> cases[] = {{"7D6F", 32112}, {"0000", 16},    {"00FF", 256},
                                                   {"7FEF", 32752}, {"7FF0", 32112}, {"7FFF", 32112},
                                                   {"8000", 32112}, {"FFFF", 32112}, {"", 32112}};
  for (const auto& [digits, expected] : cases) {
    drv.Reset();
    exchange(Identify, {identificationBody("00FF")});
    // No end digits at all: the previous end address stays.
    exchange(Identify, {identificationBody(digits, digits.empty() ? 64 : 69)});
    EXPECT_EQ(drv.nowError(), 0) << digits;
    EXPECT_EQ(drv.EndAddress(), digits.empty() ? 256 : expected) << digits;
  }
}

TEST_F(DriverTest, ErrorsEndTheTransactionAndLaterAnswersAreIgnored) {
  exchange(Identify, {identificationBody("", 58), identificationBody()});
  EXPECT_EQ(drv.nowError(), 3);
  EXPECT_TRUE(drv.ansInfo().empty());
  drv.setlastError(0);
  EXPECT_EQ(drv.nowError(), 3);  // kept until Reset
  drv.Reset();
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.lastError(), 0);
}

TEST_F(DriverTest, SendIsRefusedWhileBusyClosedShortOrTheBufferIsNearlyFull) {
  drv.setworkMode(Adjust);
  EXPECT_EQ(drv.Send(Common::HexStrToBin("E8292801")), 1);  // too short for an adjustment
  EXPECT_FALSE(drv.Running());
  drv.setworkMode(Identify);
  drv.SendFE(3);
  EXPECT_EQ(port.written, (std::vector<Bytes>{{0xFE, 0xFE, 0xFE}}));
  EXPECT_EQ(drv.RealSend(Common::HexStrToBin("E029280000")), 1);  // txFrame not empty
  EXPECT_EQ(port.written.size(), 1u);
  drv.Reset();

  port.outBufferCount = 1024 - 256;
  EXPECT_FALSE(drv.SendEnable());
  port.outBufferCount = 1024 - 257;
  EXPECT_TRUE(drv.SendEnable());
  port.open = false;
  EXPECT_FALSE(drv.SendEnable());
  EXPECT_EQ(drv.Send(Common::HexStrToBin("E029280000")), 1);
  EXPECT_EQ(port.written.size(), 1u);
}

TEST_F(DriverTest, CloneWriteFramesWalkTheAddressList) {
  for (int32_t a = 0; a < 0x120; ++a) image.WriteByte(a, static_cast<uint8_t>(a));
  drv.setsizDataOfPacket(16);
  drv.setcloneWriteAdrList("0000-0011,0100-0100,");
  EXPECT_EQ(drv.writeAdr(), 0);

  const auto text = [this] {
    const Bytes f = drv.MakeCloneWriteFrame();
    EXPECT_EQ(f.at(0), 0xE4);
    return std::string(f.begin() + 1, f.end());
  };
  // 0010 bytes from 0000: the data, then a checksum making the byte sum 0.
  EXPECT_EQ(text(), "000010000102030405060708090A0B0C0D0E0F78");
  EXPECT_EQ(drv.lastEeAdr(), 15);
  EXPECT_EQ(drv.writeAdr(), 16);
  EXPECT_EQ(text(), "0010021011CD");  // cut to the range end
  EXPECT_EQ(drv.lastEeAdr(), 0x11);
  EXPECT_EQ(drv.writeAdr(), 0x100);
  EXPECT_EQ(drv.cloneWriteAdrList(), "0100-0100,");
  EXPECT_EQ(text(), "01000100FE");
  EXPECT_EQ(drv.writeAdr(), -1);
}

}  // namespace
