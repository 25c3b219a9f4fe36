#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "ComHost.h"
#include "Frames.h"
#include "ProfileFile.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"
#include "RecordingHost.h"
#include "SimLinkPort.h"
#include "clsCmcEeprom.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "frmCom.h"

namespace {

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000) {
  return QTest::qWaitFor(condition, timeoutMs);
}

class PtySerialTest : public ::testing::Test {
 protected:
  // The line-error counters read as the test sets them.
  PtySerialTest() {
    qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
    auto readCounts = [this](int, QtSerialControl::LineCounts& c) {
      c = counts;
      return true;
    };
    com = std::make_unique<frmCom>(std::make_unique<QtSerialControl>(readCounts), &host);
    profile = com->profMain().GetMyProfile();
  }

  // COM 1 is the pseudo-terminal, opened.
  void openOnPty() {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM1", pty.slavePath()));
    com->setcomOpen(true);
    ASSERT_TRUE(com->comOpen());
  }

  // Reads what the port sends until count bytes came.
  Bytes sent(size_t count) {
    Bytes got;
    waitFor([&] {
      const Bytes part = pty.read(count - got.size(), 10);
      got.insert(got.end(), part.begin(), part.end());
      return got.size() >= count;
    });
    return got;
  }

  // Hands bytes to the port and waits for the receive event's tick.
  void receive(const Bytes& bytes) {
    const int before = host.tasks;
    pty.write(bytes);
    ASSERT_TRUE(waitFor([&] { return host.tasks > before; }));
  }
  ~PtySerialTest() override {
    com.reset();
    qunsetenv("XDG_CONFIG_HOME");
  }

  QTemporaryDir configDir;
  RecordingHost host;  // no form to reset
  QtSerialControl::LineCounts counts;
  std::unique_ptr<frmCom> com;
  std::string profile;
  PseudoTerminal pty;
};

TEST_F(PtySerialTest, AMissingDeviceSetsCannotOpen) {
  ASSERT_TRUE(ProfileFile::WriteString(profile, "PORTS", "COM2", "/nonexistent/ttyRavlen"));
  com->setcomPortNum(2);
  com->setcomOpen(true);
  EXPECT_FALSE(com->comOpen());
  EXPECT_TRUE(com->errCannotOpen());
  EXPECT_TRUE(com->totalError());
}

TEST_F(PtySerialTest, ADeviceThatGoesAwayClosesThePort) {
  openOnPty();
  pty.closeMaster();
  ASSERT_TRUE(waitFor([&] { return !com->comOpen(); }));
  EXPECT_TRUE(com->errCannotOpen());
}

// Told how many bytes are still to come, the real control reads nothing until their
// line time less one byte has passed since the opening: what comes in pieces
// meanwhile is taken with one receive event; by the next tick, it waits for the tick
// to take them in. Untold, every piece raises its own; a write ends the wait at once.
TEST_F(PtySerialTest, ExpectedBytesArriveWithOneReceiveEvent) {
  ASSERT_TRUE(pty.ok());
  struct Row {
    const char* name;
    int32_t count;
    Haste haste;
    bool write;
    std::vector<std::pair<int, size_t>> pieces;  // ms after the opening, bytes
    std::vector<int32_t> waiting;                // InBufferCount at each receive event
    int64_t firstAtLeastMs, firstBelowMs;
  };
  const std::vector<std::pair<int, size_t>> threeFives{{0, 5}, {20, 5}, {40, 5}};
  const Row rows[] = {
      {"told", 200, Haste::AtOnce, false, threeFives, {15}, 205, 3000},  // 200 bytes at 9600 baud: 206 ms
      {"untold", 0, Haste::AtOnce, false, threeFives, {5, 5, 5}, 0, 150},
      {"told, then wrote", 200, Haste::AtOnce, true, threeFives, {5, 5, 5}, 0, 150},
      {"by the next tick", 15, Haste::ByNextTick, false, threeFives, {15}, 400, 1000},  // else 1067 ms
  };
  for (const Row& r : rows) {
    QtSerialControl control;
    control.DeviceFor = [this](int16_t) { return pty.slavePath(); };
    std::vector<int32_t> waiting;
    int64_t firstEventMs = -1;
    QElapsedTimer sinceOpening;
    control.OnComm = [&](int16_t e) {
      if (e != SerialControl::comEvReceive) return;
      if (waiting.empty()) firstEventMs = sinceOpening.elapsed();
      waiting.push_back(control.InBufferCount());
      control.Input();
    };
    sinceOpening.start();
    ASSERT_TRUE(control.setPortOpen(true)) << r.name;
    control.ExpectBytes(r.count, r.haste);
    if (r.write) control.Output({0x55});
    int32_t total = 0;
    for (const auto& [atMs, size] : r.pieces) {
      QTest::qWait(static_cast<int>(std::max<int64_t>(atMs - sinceOpening.elapsed(), 0)));
      pty.write(Bytes(size, 0x30));
      total += static_cast<int32_t>(size);
    }
    if (r.haste == Haste::ByNextTick) {
      QTest::qWait(400 - static_cast<int>(sinceOpening.elapsed()));
      control.TakeInArrived();
    }
    ASSERT_TRUE(waitFor([&] { return std::accumulate(waiting.begin(), waiting.end(), 0) == total; })) << r.name;
    EXPECT_EQ(waiting, r.waiting) << r.name;
    EXPECT_GE(firstEventMs, r.firstAtLeastMs) << r.name;
    EXPECT_LT(firstEventMs, r.firstBelowMs) << r.name;
    control.setPortOpen(false);
    if (r.write) pty.read(1, 10);  // the written byte
  }
}

// The next operation opens the port again before the last frame has left.
TEST_F(PtySerialTest, CommandsStartedBackToBackAllLeaveWholeAndInOrder) {
  openOnPty();
  clsCmcRadio radio;
  radio.setradioNameM("2928");
  radio.setradionameS("0100");
  RecordingClient client;
  clsCmcLnk3Sequence seq(*com, radio, client);
  for (const bool secondAwaitsAnswer : {false, true}) {
    seq.easySendE8NoAnswer("053741");
    seq.task();
    ASSERT_FALSE(seq.OpRunning());
    if (secondAwaitsAnswer) seq.easySendE8ReqAnswer("033030");
    else seq.easySendE8NoAnswer("123833");
    const Bytes second = Frames::pcFrame(secondAwaitsAnswer ? "E829280100033030" : "E829280100123833");
    const Bytes expected = Frames::concat({Frames::pcFrame("E829280100053741"), second});
    EXPECT_EQ(sent(expected.size()), expected) << secondAwaitsAnswer;
    seq.Reset();
  }
}

// In a clone read each data frame is taken in by the tick within one tick of its
// last byte, though nobody watches the device for it; the end frame at once. A
// device that goes away meanwhile is noticed as soon.
TEST_F(PtySerialTest, CloneDataFramesAreTakenInByTheTick) {
  for (const bool hangUp : {false, true}) {
    openOnPty();
    clsCmcEeprom image;
    clsCmcLnk3Drv& drv = com->lnk3D();
    drv.setmyEep(&image);
    com->timSolid().start();
    drv.setworkMode(2);
    ASSERT_EQ(drv.Send(Common::HexStrToBin("E029280100")), 0);
    receive(sent(Frames::pcFrame("E029280100").size()));
    for (const uint16_t adr : {0, 16, 32}) {
      QElapsedTimer sinceWritten;
      sinceWritten.start();
      pty.write(Frames::frame(Frames::cloneDataBody(adr, Bytes(16, 0x5A))));
      ASSERT_TRUE(waitFor([&] { return drv.lastEeAdr() == adr + 15; })) << adr;
      EXPECT_LT(sinceWritten.elapsed(), 500) << adr;  // 46 bytes take 48 ms
    }
    QElapsedTimer sinceEnd;
    sinceEnd.start();
    if (hangUp) {
      pty.closeMaster();
      ASSERT_TRUE(waitFor([&] { return !com->comOpen(); }));
      EXPECT_TRUE(com->errCannotOpen());
      EXPECT_LT(sinceEnd.elapsed(), 500);
    } else {
      pty.write(Frames::frame(Frames::cloneEndBody(3)));
      ASSERT_TRUE(waitFor([&] { return !drv.Running(); }));
      EXPECT_EQ(drv.lastError(), 0);
      EXPECT_EQ(image.ReadByte(47), 0x5A);
    }
    com->timSolid().stop();
  }
}

// An identification through the receive event. After a reopening, bytes from before
// it are gone; an answer that came with a line error is not taken.
TEST_F(PtySerialTest, AnIdentificationAfterReopeningTakesOnlyASoundFreshAnswer) {
  openOnPty();
  EXPECT_FALSE(com->errCannotOpen());  // no DTR/RTS on a pseudo-terminal is no failure
  EXPECT_EQ(com->MsCom().Settings(), "9600,N,8,1");
  com->timSolid().start();
  clsCmcLnk3Drv& drv = com->lnk3D();
  const Bytes echo = Frames::pcFrame("E029280000");
  for (const bool spoiled : {true, false}) {
    com->setcomOpen(false);
    pty.write(Frames::concat({echo, Frames::frame(Frames::identificationBody("7D00"))}));
    QTest::qWait(50);
    com->setcomOpen(true);
    drv.setworkMode(1);
    ASSERT_EQ(drv.Send(Common::HexStrToBin("E029280000")), 0);
    receive(sent(echo.size()));
    counts.parity += spoiled;
    pty.write(Frames::frame(Frames::identificationBody()));
    ASSERT_TRUE(waitFor([&] { return !drv.Running(); }));
    EXPECT_EQ(drv.ansInfo(), spoiled ? Bytes{} : Frames::identificationBody()) << spoiled;
    EXPECT_EQ(host.reports, 1) << spoiled;  // the spoiled answer's time-out
  }
  EXPECT_EQ(drv.lastError(), 2);  // no answer
}

}  // namespace
