#include <gtest/gtest.h>

#include "FakeClock.h"
#include "FakeLinkPort.h"
#include "Frames.h"
#include "clsCmcEeprom.h"

using namespace Frames;

namespace {

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() {
    port.open = true;
    drv.setmyEep(&image);
  }

  // Sends an identification request and returns the frame written.
  Bytes sendIdentify() {
    drv.setworkMode(1);
    EXPECT_EQ(drv.Send(HexStrToBin("E029280000")), 0);
    return port.written.back();
  }
  Bytes sendCloneRead() {
    drv.setworkMode(2);
    EXPECT_EQ(drv.Send(HexStrToBin("E029280100")), 0);
    return port.written.back();
  }
  Bytes sendAdjust(bool answer, int16_t retries = 2) {
    drv.setworkMode(5);
    drv.setwaitAnswer(answer);
    drv.setretryCount(retries);
    EXPECT_EQ(drv.Send(HexStrToBin("E8292801000333")), 0);
    return port.written.back();
  }
  // Lets time pass in 50 ms ticks, as the utility's timer does.
  void ticks(int32_t ms) {
    for (int32_t t = 0; t < ms; t += 50) {
      clock.advance(50);
      drv.task();
    }
  }
  static Bytes HexStrToBin(const std::string& s) { return Common::HexStrToBin(s); }

  FakeClock clock;
  FakeLinkPort port;
  clsCmcLnk3Drv& drv = port.drv;
  clsCmcEeprom image;
};

TEST_F(DriverTest, FramesThePayloadAndWaitsForEchoThenAnswer) {
  const Bytes sent = sendIdentify();
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

TEST_F(DriverTest, EchoSplitOverChunksAndAnswerInTheSameChunk) {
  const Bytes sent = sendIdentify();
  drv.read(Bytes(sent.begin(), sent.begin() + 4));
  drv.read(concat({Bytes(sent.begin() + 4, sent.end()), frame(identificationBody())}));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.ansInfo().size(), 69u);
}

TEST_F(DriverTest, EchoIsFoundHoweverMuchFollowsItInOneChunk) {
  const Bytes sent = sendCloneRead();
  // Echo and a long run of clone frames arrive together (a delayed tick).
  Bytes chunk = sent;
  uint8_t count = 0;
  for (uint16_t adr = 0; adr < 0x200; adr += 16, ++count) {
    const Bytes data(16, static_cast<uint8_t>(adr >> 4));
    chunk = concat({chunk, frame(cloneDataBody(adr, data))});
  }
  ASSERT_GT(chunk.size(), 1000u);
  drv.read(chunk);
  EXPECT_TRUE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.lastEeAdr(), 0x1FF);
  EXPECT_EQ(image.ReadByte(0x1F0), 0x1F);
  drv.read(frame(cloneEndBody(count)));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
}

TEST_F(DriverTest, NoiseBeforeTheAnswerIsDropped) {
  drv.read(sendIdentify());
  drv.read(concat({Bytes{0x11, 0x22, 0x33}, frame(identificationBody())}));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
}

TEST_F(DriverTest, NoiseEndingInFdTakesTheRestOfTheChunkWithIt) {
  drv.read(sendIdentify());
  drv.read(concat({Bytes{0x11, 0xFD}, frame(identificationBody())}));
  EXPECT_TRUE(drv.Running());  // the answer went with the noise
  drv.read(frame(identificationBody()));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
}

TEST_F(DriverTest, EchoTimesOutAfterOneSecond) {
  sendIdentify();
  ticks(950);
  EXPECT_EQ(drv.nowError(), 0);
  ticks(50);
  EXPECT_EQ(drv.nowError(), 1);
  EXPECT_EQ(drv.lastError(), 1);
  EXPECT_FALSE(drv.Running());
}

TEST_F(DriverTest, AnswerFromTheWrongSourceIsIgnoredUntilTheTimeout) {
  drv.read(sendIdentify());
  Bytes wrongSource = identificationBody();
  wrongSource[1] = 0xEA;
  drv.read(frame(wrongSource));
  EXPECT_TRUE(drv.Running());
  ticks(1150);
  EXPECT_EQ(drv.nowError(), 0);
  ticks(50);
  EXPECT_EQ(drv.nowError(), 2);
  EXPECT_EQ(port.written.size(), 1u);  // no resend allowed for identification
}

TEST_F(DriverTest, TwoResendsThenNoAnswerErrorWithTheEchoAwaitedEachTime) {
  const Bytes sent = sendAdjust(true);
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

TEST_F(DriverTest, ResentFrameWithoutEchoRaisesEchoError) {
  const Bytes sent = sendAdjust(true);
  drv.read(sent);
  ticks(1200);
  ASSERT_EQ(port.written.size(), 2u);
  drv.read(Bytes{0x00});  // bytes arrive, but not the echo of the resent frame
  ticks(1000);
  EXPECT_EQ(drv.nowError(), 1);
}

TEST_F(DriverTest, AdjustmentWithoutAnswerEndsWhenWritten) {
  sendAdjust(false);
  EXPECT_FALSE(drv.Running());
  EXPECT_TRUE(drv.SendEnable());
  EXPECT_EQ(drv.retryCount(), 0);
}

TEST_F(DriverTest, AdjustmentAnswerKeepsTheBodyFromPositionFour) {
  drv.read(sendAdjust(true));
  drv.read(frame(adjustAnswerBody(0x03, 0x7B)));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.varLastE8Answer(), (Bytes{0x29, 0x28, 0x01, 0x00, 0x03, '7', 'B'}));
}

TEST_F(DriverTest, AdjustmentAnswerChecks) {
  drv.read(sendAdjust(true));
  drv.read(frame(adjustAnswerBody(0x04, 0x7B)));  // not the command sent
  EXPECT_EQ(drv.nowError(), 3);

  drv.Reset();
  drv.read(sendAdjust(true));
  drv.read(frame(Bytes{0xEF, 0xEE, 0xE8, 0x29, 0x28, 0x01, 0x00}));  // 7 bytes
  EXPECT_EQ(drv.nowError(), 3);

  drv.Reset();
  drv.read(sendAdjust(true));
  Bytes letters = adjustAnswerBody(0x03, 0x10);
  letters[3] = 0x2A;  // model digits no longer decimal
  drv.read(frame(letters));
  EXPECT_EQ(drv.nowError(), 3);
}

TEST_F(DriverTest, ShortAdjustmentPayloadIsRefusedWithoutSending) {
  drv.setworkMode(5);
  EXPECT_EQ(drv.Send(HexStrToBin("E8292801")), 1);
  EXPECT_TRUE(port.written.empty());
  EXPECT_FALSE(drv.Running());
}

TEST_F(DriverTest, IdentificationLengthChecks) {
  drv.read(sendIdentify());
  drv.read(frame(identificationBody("", 58)));
  EXPECT_EQ(drv.nowError(), 3);

  drv.Reset();
  drv.read(sendIdentify());
  Bytes badLength = identificationBody();
  badLength[7] = 61;
  drv.read(frame(badLength));
  EXPECT_EQ(drv.nowError(), 3);
}

TEST_F(DriverTest, EndAddressRoundsUpAndFallsBackWhenItCannotBeRepresented) {
  const struct {
    std::string digits;
    int16_t expected;
  } cases[] = {{"7D6F", 32112}, {"0000", 16}, {"00FF", 256}, {"7FEF", 32752},
               {"7FF0", 32112}, {"7FFF", 32112}, {"8000", 32112}, {"FFFF", 32112}};
  for (const auto& c : cases) {
    drv.Reset();
    drv.read(sendIdentify());
    drv.read(frame(identificationBody(c.digits)));
    EXPECT_EQ(drv.nowError(), 0) << c.digits;
    EXPECT_EQ(drv.EndAddress(), c.expected) << c.digits;
  }
}

TEST_F(DriverTest, IdentificationWithoutEndDigitsKeepsThePreviousEndAddress) {
  drv.read(sendIdentify());
  drv.read(frame(identificationBody("00FF")));
  ASSERT_EQ(drv.EndAddress(), 256);
  drv.read(sendIdentify());
  drv.read(frame(identificationBody("", 64)));
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.EndAddress(), 256);
}

TEST_F(DriverTest, CloneDataIsStoredAndCounted) {
  drv.read(sendIdentify());
  drv.read(frame(identificationBody()));
  drv.read(sendCloneRead());
  drv.read(frame(cloneDataBody(0x0010, {0x01, 0x02})));
  EXPECT_EQ(image.ReadByte(0x10), 1);
  EXPECT_EQ(image.ReadByte(0x11), 2);
  EXPECT_EQ(drv.lastEeAdr(), 0x11);
  drv.read(frame(cloneDataBody(0x0020, {0xFE, 0xFD, 0x00})));
  EXPECT_EQ(image.ReadByte(0x20), 0xFE);
  drv.read(frame(cloneEndBody(2)));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
}

TEST_F(DriverTest, CloneDataExampleFrameIsAccepted) {
  drv.read(sendCloneRead());
  drv.read(Bytes{0xFE, 0xFE, 0xEF, 0xEE, 0xE4, 0x30, 0x30, 0x31, 0x30, 0x30, 0x32, 0x30, 0x31,
                 0x30, 0x32, 0x45, 0x42, 0xFD});
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(image.ReadByte(0x10), 1);
}

TEST_F(DriverTest, EachCloneAnswerWaitRestartsFromTheLastFrame) {
  drv.read(sendCloneRead());
  for (int i = 0; i < 5; ++i) {
    ticks(1100);
    drv.read(frame(cloneDataBody(static_cast<uint16_t>(i * 16), Bytes(16, 1))));
  }
  EXPECT_EQ(drv.nowError(), 0);
  ticks(1200);
  EXPECT_EQ(drv.nowError(), 2);
}

TEST_F(DriverTest, BadCloneDataRaisesIllegalData) {
  const Bytes good = cloneDataBody(0x0100, {1, 2, 3});
  Bytes badSum = good;
  badSum[good.size() - 1] = badSum[good.size() - 1] == '0' ? '1' : '0';
  Bytes badDigit = good;
  badDigit[10] = 'G';
  Bytes badCount = good;
  badCount[8] = '4';  // count 04 with three bytes; checksum fixed up below
  {
    unsigned sum = 0;
    for (size_t i = 3; i + 2 < badCount.size(); i += 2)
      sum += static_cast<unsigned>(Common::BinHexToInt(&badCount[i], 2) & 0xFF);
    const std::string cs = Common::ByteToHexStr(static_cast<int16_t>((256 - sum % 256) % 256));
    badCount[badCount.size() - 2] = static_cast<uint8_t>(cs[0]);
    badCount[badCount.size() - 1] = static_cast<uint8_t>(cs[1]);
  }
  Bytes even = good;
  even.push_back('0');
  const Bytes shortBody{0xEF, 0xEE, 0xE4, '0', '0', '0', '0', '0', '0', '0', '0'};
  for (const Bytes& body : {badSum, badDigit, badCount, even, shortBody}) {
    drv.Reset();
    drv.read(sendCloneRead());
    drv.read(frame(body));
    EXPECT_EQ(drv.nowError(), 3) << Common::BinToHexStr(body);
  }
}

TEST_F(DriverTest, CloneDataOutsideTheImageRaisesDataOverflow) {
  drv.read(sendCloneRead());
  drv.read(frame(cloneDataBody(0x7D68, Bytes(16, 0))));  // ends past 32111
  EXPECT_EQ(drv.nowError(), 5);
  drv.Reset();
  drv.read(sendCloneRead());
  drv.read(frame(cloneDataBody(0x8000, Bytes(16, 0))));  // reads as negative
  EXPECT_EQ(drv.nowError(), 5);
}

TEST_F(DriverTest, CloneEndChecks) {
  drv.read(sendIdentify());
  drv.read(frame(identificationBody()));
  drv.read(sendCloneRead());
  drv.read(frame(cloneDataBody(0, {1})));
  drv.read(frame(cloneEndBody(2)));
  EXPECT_EQ(drv.nowError(), 4);

  drv.Reset();
  drv.read(sendIdentify());
  drv.read(frame(identificationBody()));
  drv.read(sendCloneRead());
  Bytes wrongIdent = cloneEndBody(0);
  wrongIdent[5] = 0x00;
  drv.read(frame(wrongIdent));
  EXPECT_EQ(drv.nowError(), 3);
}

TEST_F(DriverTest, EveryIdentificationRestartsTheFrameCount) {
  for (int session = 0; session < 2; ++session) {
    drv.read(sendIdentify());
    drv.read(frame(identificationBody("", 64)));  // no end-address digits
    drv.read(sendCloneRead());
    drv.read(frame(cloneDataBody(0, {1})));
    drv.read(frame(cloneEndBody(1)));
    EXPECT_EQ(drv.nowError(), 0) << session;
  }
}

TEST_F(DriverTest, ErrorsEndTheTransactionAndLaterAnswersAreIgnored) {
  drv.read(sendIdentify());
  drv.read(concat({frame(identificationBody("", 58)), frame(identificationBody())}));
  EXPECT_EQ(drv.nowError(), 3);
  EXPECT_TRUE(drv.ansInfo().empty());
  drv.setlastError(0);
  EXPECT_EQ(drv.nowError(), 3);  // kept until Reset
  drv.Reset();
  EXPECT_EQ(drv.nowError(), 0);
  EXPECT_EQ(drv.lastError(), 0);
}

TEST_F(DriverTest, LineErrorDropsThePartialBody) {
  drv.read(sendIdentify());
  const Bytes answer = frame(identificationBody());
  drv.read(Bytes(answer.begin(), answer.begin() + 30));
  drv.ClearRxBuffer();
  drv.read(Bytes(answer.begin() + 30, answer.end()));
  EXPECT_TRUE(drv.Running());
  drv.read(answer);
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
}

TEST_F(DriverTest, SendIsRefusedWhileBusyClosedOrTheBufferIsNearlyFull) {
  drv.setworkMode(1);
  drv.SendFE(3);
  EXPECT_EQ(port.written.back(), (Bytes{0xFE, 0xFE, 0xFE}));
  EXPECT_EQ(drv.RealSend(HexStrToBin("E029280000")), 1);  // txFrame not empty
  EXPECT_EQ(port.written.size(), 1u);
  drv.Reset();

  port.outBufferCount = 1024 - 256;
  EXPECT_FALSE(drv.SendEnable());
  port.outBufferCount = 1024 - 257;
  EXPECT_TRUE(drv.SendEnable());
  port.open = false;
  EXPECT_FALSE(drv.SendEnable());
  EXPECT_EQ(drv.Send(HexStrToBin("E029280000")), 1);
  EXPECT_EQ(port.written.size(), 1u);
}

TEST_F(DriverTest, WorkModeSetsTheAnswerWaitAndClearsTheLastAnswer) {
  drv.read(sendAdjust(true));
  drv.read(frame(adjustAnswerBody(0x03, 1)));
  ASSERT_FALSE(drv.varLastE8Answer().empty());
  for (int16_t mode = 0; mode <= 5; ++mode) {
    drv.setworkMode(mode);
    EXPECT_EQ(drv.waitAnswer(), mode == 1 || mode == 2 || mode == 4) << mode;
    EXPECT_EQ(drv.waitEcho(), mode != 0) << mode;
    EXPECT_TRUE(drv.varLastE8Answer().empty());
    EXPECT_EQ(drv.lastEeAdr(), 0);
  }
}

TEST_F(DriverTest, VerdictOnCloneWrite) {
  auto sendEnd = [&] {
    drv.setworkMode(4);
    drv.Send(HexStrToBin("E55461767520496E632E"));
    drv.read(port.written.back());
  };
  sendEnd();
  drv.read(frame(Bytes{0xEF, 0xEE, 0xE6, 0x00}));
  EXPECT_FALSE(drv.Running());
  EXPECT_EQ(drv.nowError(), 0);
  sendEnd();
  drv.read(frame(Bytes{0xEF, 0xEE, 0xE6, 0x01}));
  EXPECT_EQ(drv.nowError(), 7);
  drv.Reset();
  sendEnd();
  drv.read(frame(Bytes{0xEF, 0xEE, 0xE6}));  // no verdict byte
  EXPECT_EQ(drv.nowError(), 7);
}

TEST_F(DriverTest, CloneWriteFramesWalkTheAddressList) {
  for (int32_t a = 0; a < 0x120; ++a) image.WriteByte(a, static_cast<uint8_t>(a));
  drv.setsizDataOfPacket(16);
  drv.setcloneWriteAdrList("0000-0011,0100-0100,");
  EXPECT_EQ(drv.writeAdr(), 0);

  Bytes first = drv.MakeCloneWriteFrame();
  ASSERT_EQ(first.size(), 1u + 2 * (3 + 16 + 1));
  EXPECT_EQ(first[0], 0xE4);
  const std::string text(first.begin() + 1, first.end());
  EXPECT_EQ(text.substr(0, 6), "000010");
  EXPECT_EQ(text.substr(6, 32), "000102030405060708090A0B0C0D0E0F");
  unsigned sum = 0;
  for (size_t i = 0; i < text.size(); i += 2) sum += Common::HexStrToBin(text.substr(i, 2))[0];
  EXPECT_EQ(sum % 256, 0u);
  EXPECT_EQ(drv.lastEeAdr(), 15);
  EXPECT_EQ(drv.writeAdr(), 16);

  const Bytes second = drv.MakeCloneWriteFrame();  // cut to the range end
  EXPECT_EQ(std::string(second.begin() + 1, second.begin() + 7), "001002");
  EXPECT_EQ(drv.lastEeAdr(), 0x11);
  EXPECT_EQ(drv.writeAdr(), 0x100);
  EXPECT_EQ(drv.cloneWriteAdrList(), "0100-0100,");

  const Bytes third = drv.MakeCloneWriteFrame();
  EXPECT_EQ(std::string(third.begin() + 1, third.end()), "01000100FE");
  EXPECT_EQ(drv.writeAdr(), -1);
}

}  // namespace
