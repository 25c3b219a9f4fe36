#include <gtest/gtest.h>

#include <algorithm>

#include "FakeClock.h"
#include "SimLinkPort.h"
#include "VirtualTransceiver.h"

namespace {

class SequencerTest : public ::testing::Test {
 protected:
  SequencerTest() : link(rig, clock) {}

  size_t framesWritten(uint8_t command) const {
    const auto& w = link.port.written;
    return std::count_if(w.begin(), w.end(), [command](const Bytes& f) { return f.size() > 4 && f[4] == command; });
  }

  FakeClock clock;
  VirtualTransceiver rig;
  SimLink link;
  clsCmcLnk3Sequence& seq = link.seq;
  clsCmcLnk3Drv& drv = link.port.drv;
};

TEST_F(SequencerTest, TheReportedSubCodeReplacesTheExpectedOne) {
  rig.setSettings({.subCode = 0x0042, .optionFlags = 0x10});
  seq.easyCloneRead();
  ASSERT_TRUE(link.runOperation());
  EXPECT_EQ(seq.error(), 0);
  EXPECT_EQ(link.radio.radionameS(), "0042");
  EXPECT_EQ(seq.ansDigOp(), 1);
  EXPECT_TRUE(link.client.digitalOption);
  // The clone read request carried the reported sub code.
  EXPECT_EQ(link.port.written.back(), Common::HexStrToBin("FEFEEEEFE229280042FD"));
}

TEST_F(SequencerTest, IdentificationFailuresGiveTheirCodes) {
  const struct {
    bool read;
    uint16_t model, sub;
    uint8_t format;
    int16_t expected;
  } cases[] = {
      {true, 0x2929, 0x0100, 0x01, 1}, {true, 0x2928, 0x0101, 0x01, 2}, {true, 0x2928, 0x0100, 0x02, 3},
      {true, 0x2929, 0x0101, 0x01, 2},  // the later check wins
      {true, 0x2928, 0x0100, 0x00, 0},  // format 00 is fine for reading
      {false, 0x2928, 0x0100, 0x00, 3}, {false, 0x2928, 0x0100, 0x02, 3}, {false, 0x2928, 0x0100, 0x01, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.read << " " << c.model << " " << c.sub << " " << int(c.format));
    rig.setSettings({.modelCode = c.model, .subCode = c.sub, .formatByte = c.format});
    link.client.reports.clear();
    const size_t requests = framesWritten(0xE3);
    c.read ? seq.easyCloneRead() : seq.easyCloneWrite();
    EXPECT_EQ(seq.error(), 0);  // the last failure's code goes as the next action starts
    ASSERT_TRUE(link.runOperation());
    if (c.expected == 0) {
      EXPECT_TRUE(link.client.reports.empty());
      // A clone write finishes once its request is written.
      EXPECT_EQ(framesWritten(0xE3), requests + (c.read ? 0 : 1));
      continue;
    }
    ASSERT_EQ(link.client.reports.size(), 1u);
    EXPECT_EQ(link.client.reports[0].seqError, c.expected);
    EXPECT_EQ(link.client.reports[0].driverError, 0);
    EXPECT_FALSE(link.port.open);
    EXPECT_EQ(seq.Operation(), 0);
  }
}

TEST_F(SequencerTest, AdjustmentWithoutAnswerIsSentThreeTimesThenCodeTwo) {
  rig.setSettings({.noAnswer = true});
  link.port.setcomOpen(true);
  const int32_t start = clock.now();
  seq.easySendE8ReqAnswer("033033");
  while (seq.OpRunning() && link.client.reports.empty()) link.tick();
  ASSERT_EQ(link.client.reports.size(), 1u);
  EXPECT_EQ(link.client.reports[0].driverError, 2);
  EXPECT_EQ(framesWritten(0xE8), 3u);
  EXPECT_EQ(rig.receivedCount(0xE8), 3u);
  EXPECT_EQ(clock.now() - start, 3 * (50 + 1200));  // each echo at the next tick, answers never
  EXPECT_FALSE(link.port.open);
  EXPECT_FALSE(seq.OpRunning());
  EXPECT_EQ(seq.Operation(), 0);
}

TEST_F(SequencerTest, APortThatDoesNotOpenRaisesNoCodeOfItsOwn) {
  link.port.openFails = true;
  seq.easySendE8NoAnswer("053741");
  ASSERT_TRUE(link.runOperation());
  EXPECT_TRUE(link.client.reports.empty());
  EXPECT_TRUE(link.port.written.empty());

  seq.easyCloneRead();  // identification check on nothing: model code differs
  ASSERT_TRUE(link.runOperation());
  ASSERT_EQ(link.client.reports.size(), 1u);
  EXPECT_EQ(link.client.reports[0].seqError, 1);
  EXPECT_EQ(link.radio.radionameS(), "0100");  // an empty identity is not taken on

  link.port.openFails = false;
  seq.easySendE8NoAnswer("053741");
  EXPECT_EQ(link.port.written.back(), Common::HexStrToBin("FEFEEEEFE829280100053741FD"));
}

// Not while an operation runs, nor when the hold time is 0.
TEST_F(SequencerTest, AnIdlePortIsReleasedAfterTheHoldTime) {
  rig.setSettings({.baud = 9600});  // about 96 s of clone read
  seq.setcomHoldReload(1000);
  seq.easyCloneRead();
  for (int t = 0; t < 20000; t += 50) {
    link.tick();
    ASSERT_TRUE(link.port.open) << t;
  }
  ASSERT_TRUE(link.runOperation());
  EXPECT_TRUE(link.client.reports.empty());
  seq.setcomHoldReload(0);
  for (int t = 0; t < 10000; t += 50) link.tick();
  ASSERT_TRUE(link.port.open);

  seq.setcomHoldReload(3000);
  const int resets = link.port.resets;
  for (int t = 0; t < 2950; t += 50) link.tick();
  EXPECT_TRUE(link.port.open);
  link.tick();
  link.tick();
  EXPECT_FALSE(link.port.open);
  EXPECT_EQ(link.port.resets, resets + 1);
  EXPECT_EQ(seq.ComPortNo(), 1);
}

}  // namespace
