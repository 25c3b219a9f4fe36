// The port form on the loopback control: frames take line time, as on the real port.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "ComHost.h"
#include "FakeClock.h"
#include "LoopbackSerialControl.h"
#include "SimLinkPort.h"
#include "clsCmcRadio.h"
#include "frmCom.h"

namespace {

class LoopbackComTest : public ::testing::Test {
 protected:
  LoopbackComTest() {
    qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
    auto control = std::make_unique<LoopbackSerialControl>(rig, [this] { return clock.now(); });
    loop = control.get();
    com = std::make_unique<frmCom>(std::move(control));
    radio.setradioNameM("2928");
    radio.setradionameS("0100");
  }
  ~LoopbackComTest() override { qunsetenv("XDG_CONFIG_HOME"); }

  QTemporaryDir configDir;
  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl* loop = nullptr;
  std::unique_ptr<frmCom> com;
  clsCmcRadio radio;
  RecordingClient client;
};

TEST_F(LoopbackComTest, ACommandStartedBeforeTheLastHasLeftDoesNotDropIt) {
  clsCmcLnk3Sequence seq(*com, radio, client);
  seq.easySendE8NoAnswer("053741");
  seq.task();
  ASSERT_FALSE(seq.OpRunning());
  seq.easySendE8NoAnswer("123833");
  clock.advance(50);
  loop->Poll();
  EXPECT_EQ(rig.lastValue(0x05), 0x7A);
  EXPECT_EQ(rig.lastValue(0x12), 0x83);
}

TEST_F(LoopbackComTest, AFullTransmitBufferRefusesTheNextFrameUntilItDrains) {
  com->setcomOpen(true);
  com->Output(Bytes(1000, 0x00));  // 96 bytes leave in 100 ms at 9600 baud
  EXPECT_FALSE(com->lnk3D().SendEnable());
  clock.advance(200);  // 808 wait: fewer than 257 bytes free
  EXPECT_FALSE(com->lnk3D().SendEnable());
  clock.advance(100);  // 712 wait
  EXPECT_TRUE(com->lnk3D().SendEnable());
}

}  // namespace
