#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include "Globals.h"
#include "GlobalsFixture.h"
#include "ImageFile.h"
#include "MemoryImageBuilder.h"
#include "ProfileFile.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "frmCom.h"
#include "start.h"

namespace {

// The utility with its real serial control, timer and event loop against
// ravlen-sim running as a separate process on a pseudo-terminal.
class SimProgramTest : public GlobalsFixture {
 protected:
  SimProgramTest() : GlobalsFixture(nullptr) {}
  ~SimProgramTest() override {
    if (sim.state() != QProcess::NotRunning) {
      sim.terminate();
      if (!sim.waitForFinished(3000)) sim.kill();
    }
  }

  // Starts the simulator and returns its terminal path (empty on failure).
  std::string startSim(const QStringList& args) {
    sim.start(RAVLEN_SIM_PROGRAM, args);
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return {};
    return sim.readLine().trimmed().toStdString();
  }

  static bool waitWhileRunning(int timeoutMs) {
    return QTest::qWaitFor([] { return !Globals::seq().OpRunning(); }, timeoutMs);
  }

  QProcess sim;
};

TEST_F(SimProgramTest, CloneReadOverAPseudoTerminalReproducesTheImage) {
  Bytes image = MemoryImageBuilder().build();
  for (size_t i = 3000; i < image.size(); i += 7) image[i] = static_cast<uint8_t>(i * 31);
  const std::string imagePath = configDir.path().toStdString() + "/image.bin";
  ImageFile::save(imagePath, image);

  const std::string tty = startSim({"--image", QString::fromStdString(imagePath)});
  ASSERT_FALSE(tty.empty());
  ASSERT_TRUE(start::Main());
  ASSERT_TRUE(ProfileFile::WriteString(Globals::com().profMain().GetMyProfile(), "PORTS", "COM1", tty));

  Globals::seq().easyCloneRead();
  ASSERT_TRUE(waitWhileRunning(60000));
  EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0]);
  EXPECT_EQ(Globals::seq().error(), 0);
  EXPECT_EQ(Globals::com().lnk3D().lastError(), 0);
  EXPECT_EQ(Globals::radio().eepImage().bytes(), image);
}

// A transceiver that falls silent, or hangs up its line (the device vanishes).
struct Fault {
  QStringList args;
  const char* message;
};
class SimProgramFaultTest : public SimProgramTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(SimProgramFaultTest, IsReportedOnceAndThePortClosed) {
  const std::string tty = startSim(GetParam().args);
  ASSERT_FALSE(tty.empty());
  ASSERT_TRUE(start::Main());
  ASSERT_TRUE(ProfileFile::WriteString(Globals::com().profMain().GetMyProfile(), "PORTS", "COM1", tty));

  Globals::seq().easyCloneRead();
  ASSERT_TRUE(waitWhileRunning(10000));
  QTest::qWait(300);  // ticks go on: the failure must stay reported once
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind(GetParam().message, 0), 0u) << messages[0];
  EXPECT_FALSE(Globals::com().comOpen());
}

INSTANTIATE_TEST_SUITE_P(Silent, SimProgramFaultTest,
                         ::testing::Values(Fault{{"--no-answer"}, "No answer from transceiver."}));
INSTANTIATE_TEST_SUITE_P(HangUp, SimProgramFaultTest,
                         ::testing::Values(Fault{{"--hang-up-after", "5"}, "Cannot access COM 1."}));

}  // namespace
