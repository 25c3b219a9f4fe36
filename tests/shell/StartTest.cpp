#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <string>

#include "AppFixture.h"
#include "Globals.h"
#include "SingleInstanceLock.h"
#include "TestFiles.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

// The user's cache directory is a private one too.
class StartTest : public AppFixture {
 protected:
  StartTest() { qputenv("XDG_CACHE_HOME", cacheDir.path().toUtf8()); }
  ~StartTest() override { qunsetenv("XDG_CACHE_HOME"); }

  // Starts afresh, with the profile text when one is given and the command line's device.
  void startAgain(const std::string& profile = {}, const std::string& device = {}) {
    Globals::tearDown();
    start::ReleaseInstanceLock();
    if (!profile.empty()) writeProfile(profile);
    ASSERT_TRUE(start::Main(device));
  }

  QTemporaryDir cacheDir;
};

// A second copy is refused with its message and creates nothing; once the first copy
// ends (or crashes) its lock file stays behind but does not block.
TEST_F(StartTest, ASecondCopyIsRefusedButALockLeftBehindDoesNotBlock) {
  {
    SingleInstanceLock firstCopy(SingleInstanceLock::DefaultPath());
    ASSERT_EQ(firstCopy.TryAcquire(), SingleInstanceLock::Result::Acquired);
    EXPECT_FALSE(start::Main());
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot execute Ravlen ADJ Rev.1.0 repeatedly.\r\n"
                                                 "Ravlen ADJ Rev.1.0 is already executing."});
    EXPECT_FALSE(Globals::anyExists());
    EXPECT_TRUE(firstCopy.Held());
  }
  messages.clear();
  EXPECT_TRUE(start::Main());
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartTest, WithoutARuntimeDirectoryTheLockIsInAPrivateCacheDirectory) {
  qunsetenv("XDG_RUNTIME_DIR");
  const std::string path = SingleInstanceLock::DefaultPath();
  EXPECT_EQ(path, cacheDir.path().toStdString() + "/ravlen-adj/instance.lock");
  ASSERT_TRUE(start::Main());
  struct stat st {};
  ASSERT_EQ(::stat((cacheDir.path() + "/ravlen-adj").toUtf8().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  SingleInstanceLock secondCopy(path);
  EXPECT_EQ(secondCopy.TryAcquire(), SingleInstanceLock::Result::HeldElsewhere);
}

TEST_F(StartTest, AnUnusableLockPlaceDoesNotStopTheUtility) {
  putFile(runtimeDir.path() + "/file", "");
  const QByteArray underAFile = (runtimeDir.path() + "/file/sub").toUtf8();
  // A runtime directory others can write to is not used either.
  ASSERT_TRUE(QDir().mkpath(runtimeDir.path() + "/shared"));
  ASSERT_EQ(::chmod((runtimeDir.path() + "/shared").toUtf8().constData(), 0777), 0);
  const struct { QByteArray runtime, cache; } places[] = {
      {"/nonexistent/ravlen-runtime", underAFile}, {(runtimeDir.path() + "/shared").toUtf8(), underAFile}};
  for (const auto& p : places) {
    qputenv("XDG_RUNTIME_DIR", p.runtime);
    qputenv("XDG_CACHE_HOME", p.cache);
    Globals::tearDown();
    start::ReleaseInstanceLock();
    EXPECT_TRUE(start::Main()) << p.runtime.toStdString();
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(QFile::exists(runtimeDir.path() + "/shared/ravlen-adj.lock"));
}

TEST_F(StartTest, ALockFileOfAnotherUserNeverBlocks) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to give a file away";
  const std::string path = SingleInstanceLock::DefaultPath();
  SingleInstanceLock other(path);
  ASSERT_EQ(other.TryAcquire(), SingleInstanceLock::Result::Acquired);
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  EXPECT_TRUE(start::Main());
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartTest, TheProfileSetsPortAndReleaseTimeOrEachOneItsDefault) {
  const struct { const char* what; std::string text; int16_t port, release; } cases[] = {
      {"no profile", "", 1, 0},
      {"both set", "[OPTION]\r\nComPort=3\r\nComAutoRelease=2\r\n", 3, 2},
      {"a port outside the menu", "[OPTION]\nComPort=7\n", 7, 0},
      {"a port above COM 10", "[OPTION]\nComPort=11\n", 1, 0},
      {"a port below COM 1", "[OPTION]\nComPort=0\nComAutoRelease=3\n", 1, 3},
      {"a release time beyond 32 s", "[OPTION]\nComAutoRelease=40\n", 1, 32},
      {"empty values", "[OPTION]\nComPort=\nComAutoRelease=\n", 1, 0},
      {"release not a number", "[OPTION]\nComPort=2\nComAutoRelease=x\n", 2, 0},
      {"port not a number", "[OPTION]\nComPort=x\nComAutoRelease=4\n", 1, 4},
      {"header without ']'", "[OPTION\nComPort=4\nComAutoRelease=1\n[OPTION]\nComPort=2\n", 4, 1},
      {"NUL bytes", std::string("[OPTION]\nComPort=4\n\0", 20), 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    startAgain(c.text);
    frmMain& w = Globals::mainWindow();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle().toStdString(), "Ravlen ADJ Rev.1.0");
    EXPECT_TRUE(w.lblTitle().text().startsWith("Ravlen ADJ Rev.1.0\r\nAdjust Utility for Selvik\r\n"));
    EXPECT_TRUE(Globals::com().timSolid().isActive());
    EXPECT_EQ(w.ComPortNo(), c.port);
    EXPECT_EQ(w.ComAutoRelease(), c.release);
    EXPECT_EQ(Globals::seq().ComPortNo(), c.port);
    EXPECT_EQ(Globals::seq().comHoldReload(), c.release * 1000);
    tick();
    for (int16_t n = 1; n <= 4; ++n) EXPECT_EQ(w.mnuOptSelCom(n).isChecked(), n == c.port) << n;
    for (int16_t n = 0; n <= 5; ++n) EXPECT_EQ(w.mnuOptionSelAutoRelease(n).isChecked(), n == c.release) << n;
    EXPECT_EQ(w.lblComBusy().text().toStdString(), "COM " + std::to_string(c.port) + ": CLOSE");
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartTest, ClosingTheWindowClosesThePortAndSavesTheSettings) {
  ASSERT_TRUE(start::Main());
  frmMain& w = Globals::mainWindow();
  w.mnuOptSelCom(4).trigger();
  w.mnuOptionSelAutoRelease(5).trigger();
  Globals::com().setcomOpen(true);
  ASSERT_TRUE(Globals::com().comOpen());
  w.mnuFileExit().trigger();
  EXPECT_FALSE(Globals::com().comOpen());
  EXPECT_FALSE(Globals::com().timSolid().isActive());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(readProfile(), "[OPTION]\nComPort=4\nComAutoRelease=5\n");
}

// The device given stands for the port the profile chose; the other numbers keep
// their mapping.
TEST_F(StartTest, ACommandLineDeviceStandsForTheChosenPortOnlyAndLeavesTheProfileAlone) {
  const struct { std::string profile; int16_t chosen, other; const char* otherDevice; } cases[] = {
      {"[PORTS]\r\nCOM1=/dev/ttyS0\r\nCOM2=/dev/ttyACM0\r\n", 1, 2, "/dev/ttyACM0"},
      {"[PORTS]\r\nCOM1=/dev/ttyS0\r\n[OPTION]\r\nComPort=2\r\n", 2, 1, "/dev/ttyS0"},
      {"[OPTION]\r\nComPort=7\r\n", 7, 3, "/dev/ttyUSB2"},
  };
  const std::string cable = "/dev/serial/by-id/usb-cable-if00-port0";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    startAgain(c.profile, cable);
    SerialControl& control = Globals::com().MsCom();
    ASSERT_TRUE(control.DeviceFor);
    EXPECT_EQ(control.DeviceFor(c.chosen), cable);
    EXPECT_EQ(control.DeviceFor(c.other), c.otherDevice);
    // Connecting opens that device.
    Globals::seq().easyCloneRead();
    tick();
    ASSERT_TRUE(Globals::com().comOpen());
    EXPECT_EQ(Globals::com().comPortNum(), c.chosen);
    EXPECT_EQ(serial->DeviceFor(serial->CommPort()), cable);
    Globals::mainWindow().mnuFileExit().trigger();
    EXPECT_EQ(readProfile().substr(0, c.profile.size()), c.profile);
  }
  // Without a device the profile decides.
  startAgain("[PORTS]\r\nCOM1=/dev/ttyS0\r\n");
  EXPECT_EQ(Globals::com().MsCom().DeviceFor(1), "/dev/ttyS0");
}

TEST_F(StartTest, AllGlobalsCanBeTornDownAndCreatedAfresh) {
  ASSERT_TRUE(start::Main());
  Globals::radio().setradionameS("0055");
  Globals::mainWindow().setComPortNo(4);
  Globals::tearDown();
  EXPECT_FALSE(Globals::anyExists());
  start::ReleaseInstanceLock();
  ASSERT_TRUE(start::Main());
  EXPECT_TRUE(Globals::comExists());
  EXPECT_EQ(Globals::radio().radionameS(), "0100");
  EXPECT_EQ(Globals::mainWindow().ComPortNo(), 1);
}

}  // namespace
