// The backup and the report of a session, against the virtual transceiver.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <regex>

#include "ConnectionFixture.h"
#include "SessionRecorder.h"
#include "TestFiles.h"
#include "WithoutCapabilities.h"
#include "UnifiedDiff.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"

namespace {

constexpr int kRef = 8;
constexpr int kImageSize = 32112;

class SessionRecordTest : public ConnectionFixture {
 protected:
  QString folder() const { return dataDir.path() + "/ravlen-adj/backups"; }
  QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }
  QStringList filesEnding(const QString& end) const {
    QStringList out;
    for (const QString& f : files()) {
      if (f.endsWith(end)) out << f;
    }
    return out;
  }
  QString reportText() const {
    const QStringList reports = filesEnding("_report.txt");
    return reports.size() == 1 ? QString::fromUtf8(fileBytes(folder() + "/" + reports[0])) : QString("<none>");
  }
  // Right presses on the REF row, each sent before the next.
  void stepRef(int presses) {
    frmMain& w = Globals::mainWindow();
    w.lboConsole().setCurrentRow(kRef);
    for (int i = 0; i < presses; ++i) {
      QTest::keyClick(&w.lboConsole(), Qt::Key_Right);
      ticksFor(1000);
    }
  }
  // The text "Disp para" shows, through the button.
  std::string shownParameterText() {
    frmMain& w = Globals::mainWindow();
    w.cmd00(2).click();
    ticksFor(500);
    const std::string text = w.txtDispPara().toPlainText().toStdString();
    w.cmd00(2).click();
    ticksFor(500);
    return text;
  }
};

TEST_F(SessionRecordTest, TheCloneReadIsSavedBeforeAnythingIsSent) {
  const Bytes image = MemoryImageBuilder().build();
  loadImage(image);
  model().RigOpFunc_ClickCmd00(0);
  ASSERT_TRUE(runUntil([] { return model().opState() >= 3; }));
  // Still nothing sent after the clone read, and the backup is there.
  EXPECT_EQ(textsFrom(0), (std::vector<std::string>{"E0", "E2"}));
  const QStringList images = filesEnding(".img");
  ASSERT_EQ(images.size(), 1) << files().join(",").toStdString();
  EXPECT_TRUE(std::regex_match(images[0].toStdString(), std::regex(R"(\d{8}-\d{6}_0100\.img)")));
  const QByteArray saved = fileBytes(folder() + "/" + images[0]);
  ASSERT_EQ(saved.size(), kImageSize);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), reinterpret_cast<const uint8_t*>(saved.constData())));
  EXPECT_EQ(Globals::sessionRecorder().currentSessionStem(), (folder() + "/" + images[0].chopped(4)).toStdString());

  ASSERT_TRUE(runUntil([] { return model().opState() == 28 && !Globals::seq().OpRunning(); }));
  const QString text = QString::fromUtf8(fileBytes(folder() + "/" + QString(images[0]).replace(".img", ".txt")));
  EXPECT_GT(text.size(), 100);
  EXPECT_EQ(text.toStdString(), shownParameterText());
  // The report is begun, with nothing sent and no end yet.
  EXPECT_TRUE(reportText().endsWith("Adjustments, as sent:\n")) << reportText().toStdString();
  EXPECT_TRUE(messages.empty());
}

TEST_F(SessionRecordTest, AnotherConnectReportsTheAdjustmentsAndTheDiff) {
  ASSERT_TRUE(connect());
  const std::string before = shownParameterText();
  stepRef(3);
  ASSERT_EQ(Globals::console().Value(kRef), 125);
  EXPECT_EQ(rig.memoryByte(173), 125);
  const std::string after = shownParameterText();
  ASSERT_NE(before, after);

  Globals::mainWindow().cmd00(0).click();  // the session ends here
  const QString report = reportText();
  const QString stem = QFileInfo(QString::fromStdString(Globals::sessionRecorder().currentSessionStem())).fileName();
  EXPECT_TRUE(report.startsWith("Session " + stem + "\n")) << report.toStdString();
  EXPECT_EQ(report.count(QRegularExpression(R"(\d\d:\d\d:\d\d  row 8 REF: \d+ -> \d+)")), 3) << report.toStdString();
  EXPECT_TRUE(report.contains("row 8 REF: 122 -> 123\n"));
  EXPECT_TRUE(report.contains("row 8 REF: 124 -> 125\n"));
  EXPECT_TRUE(report.contains("Adjustments sent: 3\n"));
  EXPECT_TRUE(report.contains("--- " + stem + ".txt\n+++ after\n@@ -"));
  // The diff's removed and added lines are exactly the lines that changed.
  const auto oldLines = UnifiedDiff::splitLines(before), newLines = UnifiedDiff::splitLines(after);
  int removed = 0, added = 0;
  for (const QString& l : report.split('\n')) {
    if (l.startsWith("-") && !l.startsWith("---")) {
      ++removed;
      EXPECT_EQ(std::count(newLines.begin(), newLines.end(), l.mid(1).toStdString()), 0) << l.toStdString();
    }
    if (l.startsWith("+") && !l.startsWith("+++")) {
      ++added;
      EXPECT_EQ(std::count(oldLines.begin(), oldLines.end(), l.mid(1).toStdString()), 0) << l.toStdString();
    }
  }
  EXPECT_GE(removed, 1);
  EXPECT_EQ(removed, added);

  // The new session gets its own files.
  ASSERT_TRUE(connect());
  EXPECT_EQ(filesEnding(".img").size(), 2);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SessionRecordTest, ASessionWithoutChangesSaysSo) {
  ASSERT_TRUE(connect());
  Globals::mainWindow().close();
  const QString report = reportText();
  EXPECT_TRUE(report.contains("Adjustments sent: 0\n")) << report.toStdString();
  EXPECT_TRUE(report.endsWith("Parameter text, before and after:\n(no change)\n")) << report.toStdString();
}

TEST_F(SessionRecordTest, ALinkErrorEndsTheSession) {
  ASSERT_TRUE(connect());
  stepRef(1);
  serial->Unplug();
  ticksFor(3000);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_FALSE(Globals::sessionRecorder().sessionActive());
  EXPECT_TRUE(reportText().contains("row 8 REF: 122 -> 123\n")) << reportText().toStdString();
}

// Files already there under the session's name are never touched.
TEST_F(SessionRecordTest, NothingIsEverOverwritten) {
  ASSERT_TRUE(QDir().mkpath(folder()));
  const std::time_t now = std::time(nullptr);
  QStringList planted;
  for (std::time_t t = now; t < now + 30; ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d-%H%M%S_0100", &local);
    const QString base = folder() + "/" + name;
    putFile(base + ".img", "old image");
    putFile(base + "_report.txt", "old report");
    planted << base + ".img" << base + "_report.txt";
  }
  ASSERT_TRUE(connect());
  Globals::mainWindow().cmd00(0).click();
  ASSERT_TRUE(connect());
  Globals::mainWindow().cmd00(0).click();
  for (const QString& p : planted) {
    EXPECT_EQ(fileBytes(p), p.endsWith(".img") ? QByteArray("old image") : QByteArray("old report"));
  }
  QStringList fresh;
  for (const QString& f : filesEnding(".img")) {
    if (fileBytes(folder() + "/" + f).size() == kImageSize) fresh << f;
  }
  ASSERT_EQ(fresh.size(), 2) << files().join(",").toStdString();
  EXPECT_NE(fresh[0], fresh[1]);
  for (const QString& f : fresh) {
    EXPECT_TRUE(f.contains(QRegularExpression(R"(_0100-\d+\.img$)"))) << f.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder() + "/" + f.chopped(4) + "_report.txt")) << f.toStdString();
  }
  EXPECT_TRUE(messages.empty());
}

// A folder that cannot be written is said once a session, on stderr and as the
// window's tool tip; no message box, and the session goes on.
struct Unwritable {
  const char* name;
  bool readOnlyFolder;
  const char* reason;
};

class UnwritableFolderTest : public SessionRecordTest, public ::testing::WithParamInterface<Unwritable> {};

TEST_P(UnwritableFolderTest, IsReportedForEachSessionAndTheSessionGoesOn) {
  const Unwritable& c = GetParam();
  // The super-user obeys the folder's mode only without its overrides.
  const WithoutCapabilities asAnyone({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER});
  ASSERT_TRUE(asAnyone.ok());
  const QByteArray base = dataDir.path().toLocal8Bit();
  if (c.readOnlyFolder) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    ASSERT_EQ(::chmod(folder().toLocal8Bit().constData(), 0500), 0);
  } else {
    putFile(dataDir.path() + "/plain-file", "x");  // the data home below a plain file
    qputenv("XDG_DATA_HOME", base + "/plain-file/data");
  }
  testing::internal::CaptureStderr();
  ASSERT_TRUE(connect());
  stepRef(2);
  Globals::mainWindow().cmd00(0).click();
  ASSERT_TRUE(connect());
  const std::string err = testing::internal::GetCapturedStderr();
  if (c.readOnlyFolder) ::chmod(folder().toLocal8Bit().constData(), 0700);

  EXPECT_EQ(rig.memoryByte(173), 124);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(QDir(folder()).entryList(QDir::Files).isEmpty());
  size_t said = 0;
  for (size_t at = err.find("session files not saved"); at != std::string::npos;
       at = err.find("session files not saved", at + 1)) {
    ++said;
  }
  EXPECT_EQ(said, 2u) << err;  // the second connection's files too
  EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  EXPECT_TRUE(Globals::mainWindow().toolTip().contains(c.reason));
  EXPECT_EQ(Globals::mainWindow().windowTitle().toStdString(), "Ravlen ADJ Rev.1.0");
}

INSTANTIATE_TEST_SUITE_P(Folders, UnwritableFolderTest,
                         ::testing::Values(Unwritable{"NoPermission", true, "Permission denied"},
                                           Unwritable{"BelowAPlainFile", false, "Not a directory"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The virtual transceiver program takes a backup as its memory: what it saves on
// exit, with no adjustment in between, is the backup again.
TEST_F(SessionRecordTest, TheSimulatorProgramLoadsABackup) {
  Bytes image = MemoryImageBuilder().build();
  for (size_t i = 4000; i < image.size(); i += 13) image[i] = static_cast<uint8_t>(i * 7);
  loadImage(image);
  ASSERT_TRUE(connect());
  const QString backup = QString::fromStdString(Globals::sessionRecorder().currentSessionStem()) + ".img";
  const QString saved = dataDir.path() + "/replayed.img";
  QProcess sim;
  sim.start(RAVLEN_SIM_PROGRAM, {"--image", backup, "--save-image", saved});
  ASSERT_TRUE(sim.waitForStarted(5000));
  ASSERT_TRUE(sim.waitForReadyRead(5000)) << sim.readAllStandardError().toStdString();
  EXPECT_TRUE(sim.readLine().startsWith("/dev/"));
  sim.terminate();
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
  const QByteArray replayed = fileBytes(saved);
  ASSERT_EQ(replayed.size(), kImageSize);
  EXPECT_EQ(replayed, fileBytes(backup));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), reinterpret_cast<const uint8_t*>(replayed.constData())));
}

}  // namespace
