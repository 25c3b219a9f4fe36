#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "Globals.h"
#include "ProfileFile.h"
#include "TestFiles.h"
#include "WithoutCapabilities.h"
#include "frmMain.h"
#include "start.h"

namespace {

// The super-user obeys file modes without these.
const auto kFileOverrides = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

// Lines as the profile reader splits them: at CR LF, LF or a lone CR.
std::vector<QByteArray> linesOf(const QByteArray& data) {
  std::vector<QByteArray> lines;
  qsizetype begin = 0;
  for (qsizetype i = 0; i <= data.size(); ++i) {
    if (i < data.size() && data[i] != '\n' && data[i] != '\r') continue;
    lines.push_back(data.mid(begin, i - begin));
    if (i + 1 < data.size() && data[i] == '\r' && data[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  return lines;
}

// Every line of before, other than the settings the utility writes, is still there
// and in the same order.
bool keepsEverythingElse(const QByteArray& before, const QByteArray& after) {
  const std::vector<QByteArray> now = linesOf(after);
  size_t at = 0;
  for (const QByteArray& line : linesOf(before)) {
    if (line.startsWith("ComPort=") || line.startsWith("ComAutoRelease=")) continue;
    while (at < now.size() && now[at] != line) ++at;
    if (at == now.size()) return false;
    ++at;
  }
  return true;
}

// What the file (or whatever sits at its path) is, to see that nothing touched it.
QByteArray identityOf(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink()) return "link to " + info.symLinkTarget().toUtf8() + "\n" + fileBytes(path);
  if (info.isDir()) return "directory";
  return fileBytes(path);
}

class ProfileRobustnessTest : public AppFixture {
 protected:
  QString profile() const { return QString::fromStdString(profilePath()); }
  QString configFolder() const { return QFileInfo(profile()).absolutePath(); }

  // Starts, picks COM 2 and closes the window: the port the start-up read.
  int16_t startChooseAndClose() {
    Globals::tearDown();
    start::ReleaseInstanceLock();
    EXPECT_TRUE(start::Main());
    const int16_t port = Globals::mainWindow().ComPortNo();
    EXPECT_EQ(Globals::mainWindow().ComAutoRelease(), port == 1 ? 0 : 1);
    Globals::mainWindow().mnuOptSelCom(2).trigger();
    Globals::mainWindow().mnuFileExit().trigger();
    EXPECT_TRUE(messages.empty());
    return port;
  }
};

// Each setup leaves a profile of some kind; the start-up reads that port, and the save
// either leaves the file alone or keeps everything else in it.
TEST_F(ProfileRobustnessTest, StartUpAndSaveSurviveHostileProfiles) {
  const QByteArray rich =
      "; kept comment\r\n[PORTS]\r\nCOM2=/dev/ttyS1\r\n\r\n[OPTION]\r\n; port\r\nComPort=3\r\n"
      "Extra=keep\r\nComAutoRelease=1\r\n[Zeta]\r\nz=1";
  const QByteArray huge = "[OPTION]\nComPort=3\n" + QByteArray(10 * 1024 * 1024, ';');
  const struct {
    const char* what;
    std::function<void()> setUp;
    int16_t port;
    bool written;
    std::string why;  // printed when the save is refused
  } cases[] = {
      {"other sections, keys and comments", [&] { putFile(profile(), rich); }, 3, true, ""},
      {"a link to a profile kept elsewhere",
       [&] {
         putFile(configDir.path() + "/elsewhere/kept.rs", rich);
         ASSERT_TRUE(QDir().mkpath(configFolder()));
         ASSERT_TRUE(QFile::link(configDir.path() + "/elsewhere/kept.rs", profile()));
       },
       3, true, ""},
      {"garbage text", [&] { putFile(profile(), "=\n]]\n[\nkey only\n==x=\n;;\n\t\x7f\xff"); }, 1, true, ""},
      {"10 MB", [&] { putFile(profile(), huge); }, 1, false, "is over the size limit of 1048576 bytes"},
      {"a directory", [&] { ASSERT_TRUE(QDir().mkpath(profile())); }, 1, false, "is not a regular file"},
      // Every read of it fails, the super-user's too.
      {"a file that cannot be read",
       [&] {
         ASSERT_TRUE(QDir().mkpath(configFolder()));
         ASSERT_TRUE(QFile::link("/proc/self/mem", profile()));
       },
       1, false, "cannot be read"},
      {"a configuration folder that is a file", [&] { putFile(configFolder(), rich); }, 1, false,
       "cannot be written: its folder cannot be made"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(configFolder()).removeRecursively();
    QFile::remove(configFolder());
    c.setUp();
    const QByteArray before = identityOf(profile());
    const QByteArray folderBefore = identityOf(configFolder());
    testing::internal::CaptureStderr();
    EXPECT_EQ(startChooseAndClose(), c.port);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("settings not saved: " + profilePath() + " " + c.why) != std::string::npos, !c.why.empty())
        << said;
    const QByteArray after = identityOf(profile());
    if (c.written) {
      EXPECT_EQ(ProfileFile::ReadString(profilePath(), "OPTION", "ComPort", ""), "2");
      EXPECT_TRUE(keepsEverythingElse(before, after));
    } else {
      EXPECT_EQ(after, before);
      EXPECT_EQ(identityOf(configFolder()), folderBefore);
    }
  }
}

// Modes are obeyed as by anyone: the super-user's overrides are lowered meanwhile.
TEST_F(ProfileRobustnessTest, ProfilesAndFoldersWithoutPermissionsGiveWhatCanBeReadAndStayAsTheyWere) {
  using P = QFileDevice::Permission;
  const QFileDevice::Permissions all = P::ReadOwner | P::WriteOwner | P::ExeOwner;
  const QByteArray text = "; note\n[OPTION]\nComPort=3\nComAutoRelease=1\n";
  const struct {
    const char* what;
    QFileDevice::Permissions file, folder;
    int16_t port;
    std::string why;  // printed at close
  } cases[] = {
      {"unreadable profile", {}, all, 1, "cannot be read"},
      {"read-only configuration folder", P::ReadOwner | P::WriteOwner, P::ReadOwner | P::ExeOwner, 3,
       "cannot be written: "},
      {"configuration folder without permissions", P::ReadOwner | P::WriteOwner, {}, 1, "cannot be"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writeProfile(text.toStdString());
    ASSERT_TRUE(QFile::setPermissions(profile(), c.file));
    ASSERT_TRUE(QFile::setPermissions(configFolder(), c.folder));
    {
      const WithoutCapabilities asAnyone(kFileOverrides);
      ASSERT_TRUE(asAnyone.ok());
      testing::internal::CaptureStderr();
      EXPECT_EQ(startChooseAndClose(), c.port);
      const std::string said = testing::internal::GetCapturedStderr();
      EXPECT_NE(said.find("settings not saved: " + profilePath() + " " + c.why), std::string::npos) << said;
    }
    QFile::setPermissions(configFolder(), all);
    QFile::setPermissions(profile(), P::ReadOwner | P::WriteOwner);
    EXPECT_EQ(fileBytes(profile()), text);
  }
}

}  // namespace
