// The recorder alone: a write cut short, the noted adjustments, the folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>

#include "SessionRecorder.h"
#include "TestFiles.h"

namespace {

class SessionRecorderTest : public ::testing::Test {
 protected:
  SessionRecorderTest() { qputenv("XDG_DATA_HOME", dir.path().toUtf8()); }
  ~SessionRecorderTest() override { qunsetenv("XDG_DATA_HOME"); }
  QStringList files() const { return QDir(dir.path() + "/ravlen-adj/backups").entryList(QDir::Files); }

  QTemporaryDir dir;
  std::vector<std::string> failures;
};

// Files may grow to 1000 bytes only while it lives: writes past that fail as on a full disk.
class FileSizeLimit {
 public:
  FileSizeLimit() {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

TEST_F(SessionRecorderTest, AWriteCutShortLeavesNoFileAndIsSaidForEachSession) {
  SessionRecorder recorder;
  recorder.OnWriteFailure = [this](const std::string& why) { failures.push_back(why); };
  {
    FileSizeLimit limit;
    recorder.beginSession(std::vector<uint8_t>(32112, 0x5A), "0100", "text\n", {1, 2});
    recorder.noteSent(1, "  REF", 3);
    recorder.endSession("text\n");
    recorder.beginSession(std::vector<uint8_t>(32112, 0x5A), "0100", "text\n", {1, 2});
  }
  ASSERT_EQ(failures.size(), 2u);
  for (const std::string& f : failures) EXPECT_NE(f.find(".img"), std::string::npos) << f;
  EXPECT_NE(failures[0], failures[1]);
  // Nothing cut short is left; the small report of the first session made it.
  for (const QString& f : files()) {
    EXPECT_FALSE(f.endsWith(".img")) << f.toStdString();
  }
  EXPECT_EQ(files().filter("_report.txt").size(), 2) << files().join(",").toStdString();
  EXPECT_TRUE(recorder.sessionActive());
}

// The backups hold a transceiver's whole memory: the user's alone, whatever the umask.
TEST_F(SessionRecorderTest, TheBackupsArePrivate) {
  const mode_t saved = ::umask(0);
  SessionRecorder recorder;
  recorder.beginSession(std::vector<uint8_t>(100, 1), "0100", "a\n", {0});
  ::umask(saved);
  const QString stem = QString::fromStdString(recorder.currentSessionStem());
  const struct {
    QString path;
    mode_t mode;
  } expected[] = {{dir.path() + "/ravlen-adj/backups", 0700},
                  {stem + ".img", 0600},
                  {stem + ".txt", 0600},
                  {stem + "_report.txt", 0600}};
  for (const auto& e : expected) {
    struct stat st {};
    ASSERT_EQ(::stat(e.path.toLocal8Bit().constData(), &st), 0) << e.path.toStdString();
    EXPECT_EQ(st.st_mode & 07777, e.mode) << e.path.toStdString();
  }
}

TEST_F(SessionRecorderTest, OnlyChangedValuesAreAdjustments) {
  SessionRecorder recorder;
  recorder.noteSent(0, "x", 5);  // no session: nothing
  EXPECT_TRUE(recorder.adjustments().empty());
  recorder.beginSession(std::vector<uint8_t>(10, 0), "01/00", "a\n", {7, 8});
  const struct {
    int16_t row;
    int16_t value;
    bool noted;
    int16_t old;
  } sends[] = {{0, 7, false, 0}, {1, 9, true, 8}, {1, 9, false, 0}, {1, -2, true, 9}, {0, 6, true, 7},
               {5, 1, false, 0}, {5, 2, true, 1}, {-1, 3, false, 0}};
  const QString reportPath = QString::fromStdString(recorder.currentSessionStem()) + "_report.txt";
  size_t expected = 0;
  for (const auto& s : sends) {
    recorder.noteSent(s.row, "  ROW ", s.value);
    // Each adjustment is in the file as soon as it is noted.
    const QString onDisk = QString::fromUtf8(fileBytes(reportPath));
    EXPECT_EQ(static_cast<size_t>(onDisk.count(" ROW: ")), expected + (s.noted ? 1 : 0)) << onDisk.toStdString();
    if (!s.noted) continue;
    ++expected;
    ASSERT_EQ(recorder.adjustments().size(), expected) << s.row << " " << s.value;
    const auto& a = recorder.adjustments().back();
    EXPECT_EQ(a.row, s.row);
    EXPECT_EQ(a.oldValue, s.old);
    EXPECT_EQ(a.newValue, s.value);
    EXPECT_EQ(a.title, "ROW");
    EXPECT_TRUE(onDisk.endsWith(QString("  row %1 ROW: %2 -> %3\n").arg(s.row).arg(s.old).arg(s.value)))
        << onDisk.toStdString();
    EXPECT_FALSE(onDisk.contains("Ended:"));
  }
  EXPECT_EQ(recorder.adjustments().size(), expected);
  // The sub code keeps only letters and digits in the name.
  EXPECT_TRUE(QString::fromStdString(recorder.currentSessionStem()).endsWith("_0100"));
  recorder.endSession("b\n");
  EXPECT_FALSE(recorder.sessionActive());
  const QString report = QString::fromUtf8(fileBytes(QString::fromStdString(recorder.currentSessionStem()) + "_report.txt"));
  EXPECT_TRUE(report.contains("row 1 ROW: 8 -> 9\n"));
  EXPECT_TRUE(report.contains("row 1 ROW: 9 -> -2\n"));
  EXPECT_TRUE(report.contains("@@ -1 +1 @@\n-a\n+b\n")) << report.toStdString();
}

TEST_F(SessionRecorderTest, TheFolderFollowsTheDataHome) {
  EXPECT_EQ(SessionRecorder::backupsFolder(), (dir.path() + "/ravlen-adj/backups").toStdString());
  qputenv("XDG_DATA_HOME", "relative/path");  // not absolute: ignored
  const QByteArray home = qgetenv("HOME");
  EXPECT_EQ(SessionRecorder::backupsFolder(), home.toStdString() + "/.local/share/ravlen-adj/backups");
  qunsetenv("XDG_DATA_HOME");
  EXPECT_EQ(SessionRecorder::backupsFolder(), home.toStdString() + "/.local/share/ravlen-adj/backups");
}

}  // namespace
