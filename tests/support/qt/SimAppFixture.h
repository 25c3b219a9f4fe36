#pragma once
// The whole utility against the virtual transceiver through the loopback control,
// on the fake clock: ticks are run by the test.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "Common.h"
#include "FakeClock.h"
#include "LoopbackSerialControl.h"
#include "VirtualTransceiver.h"

class SimAppFixture : public ::testing::Test {
 protected:
  SimAppFixture();
  ~SimAppFixture() override;

  // One 50 ms timer tick; the receive event may run the tick before it.
  void tick();
  void ticksFor(int32_t ms);
  // Ticks until the sequencer is idle; false if it still runs after limitMs.
  bool runOperation(int32_t limitMs = 600000);

  QTemporaryDir configDir;
  QTemporaryDir runtimeDir;
  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl* serial = nullptr;
  std::vector<std::string> messages;

 private:
  Common::MsgBoxHandler previousBox_;
};
