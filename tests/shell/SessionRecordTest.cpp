// The backup and the report of a session, and the way back through its steps: the
// recorder alone, and against the virtual transceiver.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <ctime>
#include <fstream>
#include <regex>

#include "ConnectionFixture.h"
#include "SessionRecorder.h"
#include "TestFiles.h"
#include "UnifiedDiff.h"
#include "WayBackMenus.h"
#include "WithoutCapabilities.h"
#include "clsConsole.h"

namespace {

constexpr int kRef = 8;
constexpr int kImageSize = 32112;

class SessionRecorderTest : public ::testing::Test {
 protected:
  SessionRecorderTest() { qputenv("XDG_DATA_HOME", dir.path().toUtf8()); }
  ~SessionRecorderTest() override { qunsetenv("XDG_DATA_HOME"); }
  QStringList files() const { return QDir(dir.path() + "/ravlen-adj/backups").entryList(QDir::Files); }

  QTemporaryDir dir;
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
  std::vector<std::string> failures;
  recorder.OnWriteFailure = [&failures](const std::string& why) { failures.push_back(why); };
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
  EXPECT_TRUE(files().filter(".img").isEmpty()) << files().join(",").toStdString();
  EXPECT_EQ(files().filter("_report.txt").size(), 2) << files().join(",").toStdString();
  EXPECT_TRUE(recorder.sessionActive());
}

TEST_F(SessionRecorderTest, OnlyChangedValuesAreAdjustments) {
  SessionRecorder recorder;
  recorder.noteSent(0, "x", 5);  // no session: nothing
  EXPECT_TRUE(recorder.adjustments().empty());
  recorder.beginSession(std::vector<uint8_t>(10, 0), "01/00", "a\n", {7, 8});
  const struct { int16_t row, value; bool noted; int16_t old; } sends[] = {
      {0, 7, false, 0}, {1, 9, true, 8},  {1, 9, false, 0}, {1, -2, true, 9},
      {0, 6, true, 7},  {5, 1, false, 0}, {5, 2, true, 1},  {-1, 3, false, 0}};
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
    EXPECT_EQ(std::tuple(a.row, a.oldValue, a.newValue, a.title), std::tuple(s.row, s.old, s.value, "ROW"));
    EXPECT_TRUE(onDisk.endsWith(QString("  row %1 ROW: %2 -> %3\n").arg(s.row).arg(s.old).arg(s.value)))
        << onDisk.toStdString();
    EXPECT_FALSE(onDisk.contains("Ended:"));
  }
  // The sub code keeps only letters and digits in the name.
  EXPECT_TRUE(QString::fromStdString(recorder.currentSessionStem()).endsWith("_0100"));
  recorder.endSession("b\n");
  EXPECT_FALSE(recorder.sessionActive());
  const QString report = QString::fromUtf8(fileBytes(reportPath));
  EXPECT_TRUE(report.contains("row 1 ROW: 8 -> 9\n"));
  EXPECT_TRUE(report.contains("row 1 ROW: 9 -> -2\n"));
  EXPECT_TRUE(report.contains("@@ -1 +1 @@\n-a\n+b\n")) << report.toStdString();
}

// Whatever the umask: the folder the user's alone (an older open one too, but not the
// folder behind a link the user made), and every file of the session 0600.
TEST_F(SessionRecorderTest, TheSessionsFilesAreTheUsersAloneWhateverTheUmask) {
  const QString folder = dir.path() + "/ravlen-adj/backups";
  const QString elsewhere = dir.path() + "/elsewhere";
  const struct { const char* name; int before; bool linked; int after; } cases[] = {
      {"none yet", -1, false, 0700}, {"older, open", 0755, false, 0700},
      {"private", 0700, false, 0700}, {"behind a link", 0755, true, 0755}};
  OpenUmask open;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(dir.path() + "/ravlen-adj").removeRecursively();
    QDir(elsewhere).removeRecursively();
    const QString real = c.linked ? elsewhere : folder;
    if (c.before >= 0) {
      ASSERT_TRUE(QDir().mkpath(real));
      ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), static_cast<mode_t>(c.before)), 0);
    }
    if (c.linked) {
      ASSERT_TRUE(QDir().mkpath(dir.path() + "/ravlen-adj"));
      ASSERT_TRUE(QFile::link(elsewhere, folder));
    }
    SessionRecorder recorder;
    recorder.beginSession(std::vector<uint8_t>(10, 0), "0100", "a\n", {1});
    recorder.noteSent(0, "  REF", 2);
    recorder.endSession("b\n");
    EXPECT_EQ(modeOf(real), c.after);
    ASSERT_EQ(files().size(), 3) << files().join(",").toStdString();
    for (const QString& f : files()) EXPECT_EQ(modeOf(folder + "/" + f), 0600) << f.toStdString();
  }
}

TEST_F(SessionRecorderTest, TheFolderFollowsTheDataHome) {
  EXPECT_EQ(SessionRecorder::backupsFolder(), (dir.path() + "/ravlen-adj/backups").toStdString());
  const std::string underHome = qgetenv("HOME").toStdString() + "/.local/share/ravlen-adj/backups";
  qputenv("XDG_DATA_HOME", "relative/path");  // not absolute: ignored
  EXPECT_EQ(SessionRecorder::backupsFolder(), underHome);
  qunsetenv("XDG_DATA_HOME");
  EXPECT_EQ(SessionRecorder::backupsFolder(), underHome);
}

class SessionRecordTest : public ConnectionFixture {
 protected:
  QString folder() const { return dataDir.path() + "/ravlen-adj/backups"; }
  QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }
  QStringList filesEnding(const QString& end) const {
    return files().filter(QRegularExpression(QRegularExpression::escape(end) + "$"));
  }
  QString reportText() const {
    const QStringList reports = filesEnding("_report.txt");
    return reports.size() == 1 ? QString::fromUtf8(fileBytes(folder() + "/" + reports[0])) : QString("<none>");
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

// A session without changes says so when the window closes.
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

  Globals::mainWindow().close();
  const QString report = reportText();
  EXPECT_TRUE(report.contains("Adjustments sent: 0\n")) << report.toStdString();
  EXPECT_TRUE(report.endsWith("Parameter text, before and after:\n(no change)\n")) << report.toStdString();
}

TEST_F(SessionRecordTest, AnotherConnectReportsTheAdjustmentsAndTheDiff) {
  ASSERT_TRUE(connect());
  const std::string before = shownParameterText();
  for (int i = 0; i < 3; ++i) press(kRef, Qt::Key_Right);  // each sent before the next
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
    const bool minus = l.startsWith("-") && !l.startsWith("---"), plus = l.startsWith("+") && !l.startsWith("+++");
    if (!minus && !plus) continue;
    (minus ? removed : added) += 1;
    const auto& other = minus ? newLines : oldLines;
    EXPECT_EQ(std::count(other.begin(), other.end(), l.mid(1).toStdString()), 0) << l.toStdString();
  }
  EXPECT_GE(removed, 1);
  EXPECT_EQ(removed, added);

  // The new session gets its own files.
  ASSERT_TRUE(connect());
  EXPECT_EQ(filesEnding(".img").size(), 2);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SessionRecordTest, ALinkErrorEndsTheSession) {
  ASSERT_TRUE(connect());
  press(kRef, Qt::Key_Right);
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
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(connect());
    Globals::mainWindow().cmd00(0).click();
  }
  for (const QString& p : planted) {
    EXPECT_EQ(fileBytes(p), p.endsWith(".img") ? QByteArray("old image") : QByteArray("old report"));
  }
  QStringList fresh;
  for (const QString& f : filesEnding(".img")) if (fileBytes(folder() + "/" + f).size() == kImageSize) fresh << f;
  ASSERT_EQ(fresh.size(), 2) << files().join(",").toStdString();
  for (const QString& f : fresh) {
    EXPECT_TRUE(f.contains(QRegularExpression(R"(_0100-\d+\.img$)"))) << f.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder() + "/" + f.chopped(4) + "_report.txt")) << f.toStdString();
  }
  EXPECT_TRUE(messages.empty());
}

// A folder that cannot be written is said once a session, on stderr and as the
// window's tool tip; no message box, and the session goes on.
struct Unwritable { const char* name; bool readOnlyFolder; const char* reason; };

class UnwritableFolderTest : public SessionRecordTest, public ::testing::WithParamInterface<Unwritable> {};

TEST_P(UnwritableFolderTest, IsReportedForEachSessionAndTheSessionGoesOn) {
  const Unwritable& c = GetParam();
  // The super-user obeys the folder's mode only without its overrides.
  const WithoutCapabilities asAnyone({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER});
  ASSERT_TRUE(asAnyone.ok());
  if (c.readOnlyFolder) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    ASSERT_EQ(::chmod(folder().toLocal8Bit().constData(), 0500), 0);
  } else {
    putFile(dataDir.path() + "/plain-file", "x");  // the data home below a plain file
    qputenv("XDG_DATA_HOME", dataDir.path().toLocal8Bit() + "/plain-file/data");
  }
  testing::internal::CaptureStderr();
  ASSERT_TRUE(connect());
  for (int i = 0; i < 2; ++i) press(kRef, Qt::Key_Right);  // each sent before the next
  Globals::mainWindow().cmd00(0).click();
  ASSERT_TRUE(connect());
  const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
  if (c.readOnlyFolder) ::chmod(folder().toLocal8Bit().constData(), 0700);

  EXPECT_EQ(rig.memoryByte(173), 124);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(QDir(folder()).entryList(QDir::Files).isEmpty());
  EXPECT_EQ(err.count("session files not saved"), 2) << err.toStdString();  // the second connection's too
  EXPECT_TRUE(err.contains(c.reason)) << err.toStdString();
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

constexpr int kPowCb = 1, kBal = 4, kSql = 7, kBpfT1 = 10;
constexpr int32_t kRefAdr = 173, kSqlAdr = 184, kPowCbAdr = 168;

// Undo, redo, revert, verify and apply from a backup, through the window's keys and
// the model.
class WayBackTest : public SessionRecordTest {
 protected:
  QListWidget& list() { return Globals::mainWindow().lboConsole(); }
  RigVelaWayBack& back() { return model().wayBack(); }
  WayBackMenus& menus() { return Globals::mainWindow().wayBackMenus(); }
  // Undo and Redo as the technician gives them: the shortcuts with the list focused.
  void shortcut(QKeySequence seq) {
    menus().refresh();
    frmMain& w = Globals::mainWindow();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    list().setFocus();
    QTest::keySequence(&list(), seq);
    ticksFor(1500);
  }
  static std::string change(int from, int to) { return std::to_string(from) + " -> " + std::to_string(to); }
  int value(int r) { return Globals::console().Value(static_cast<int16_t>(r)); }
  bool runIdle() {
    return runUntil([this] { return !back().busy() && !Globals::seq().OpRunning() && model().opState() == 28; });
  }
  std::string reportOfSession() {
    model().RigVelaOp_EndSession();
    return reportText().toStdString();
  }
};

TEST_F(WayBackTest, UndoAndRedoTakeBackKeyStepsAShiftStepABalanceRowAndASweep) {
  ASSERT_TRUE(connect());
  const int ref0 = value(kRef), pow0 = value(kPowCb), bal0 = value(kBal), bpf0 = value(kBpfT1);
  press(kRef, Qt::Key_Right);
  press(kPowCb, Qt::Key_Right, Qt::ShiftModifier);
  press(kBal, Qt::Key_Left, {}, 1500);
  press(kBpfT1, Qt::Key_Return);
  ASSERT_TRUE(runUntil([this] { return model().autoState().autoCode == 0; }));
  ASSERT_TRUE(runIdle());
  const int bpf1 = value(kBpfT1);
  ASSERT_NE(bpf1, bpf0);
  const QKeySequence undo(Qt::CTRL | Qt::Key_Z), redo(Qt::CTRL | Qt::Key_Y);

  size_t from = sent.size();
  shortcut(undo);  // the whole sweep
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x13, bpf0)}));
  EXPECT_EQ(list().currentRow(), kBpfT1);
  from = sent.size();
  shortcut(undo);  // the balance row with its copies
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x10, bal0), e8(0x12, bal0), e8(0x10, bal0), e8(0x11, bal0),
                                                        e8(0x10, bal0)}));
  from = sent.size();
  shortcut(undo);  // Shift: the step of 5 at once
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x09, pow0)}));
  shortcut(undo);
  EXPECT_EQ(rig.memoryByte(kRefAdr), ref0);
  EXPECT_FALSE(menus().undoAction()->isEnabled());
  from = sent.size();
  shortcut(redo);
  shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x05, ref0 + 1), e8(0x09, pow0 + 5)}));
  EXPECT_EQ(rig.memoryByte(kPowCbAdr), pow0 + 5);

  const std::string report = reportOfSession();
  EXPECT_TRUE(holds(report, "row 10 BPF T1: " + change(bpf0, bpf1) + " (sweep, 256 points"));
  EXPECT_TRUE(holds(report, "row 10 BPF T1: " + change(bpf1, bpf0) + " (undo)"));
  EXPECT_TRUE(holds(report, "row 1 Pow(H CB): " + change(pow0, pow0 + 5) + " (redo)"));
  EXPECT_TRUE(holds(report, "Adjustments sent: 10\n"));  // one line for the sweep, not one per point

  model().RigOpFunc_ClickCmd00(0);  // a new connection forgets the steps
  ASSERT_TRUE(connect());
  EXPECT_FALSE(back().canUndo());
}

TEST_F(WayBackTest, RevertSendsOnlyTheRowsThatDifferFromTheRead) {
  ASSERT_TRUE(connect());
  const int ref0 = value(kRef), sql0 = value(kSql);
  press(kSql, Qt::Key_Right);
  press(kRef, Qt::Key_Right);
  press(kRef, Qt::Key_Left);
  const auto plan = back().revertPlan();
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].row, kSql);
  EXPECT_EQ(plan[0].target, sql0);
  const size_t from = sent.size();
  back().startPlan(plan, "revert");
  ASSERT_TRUE(runIdle());
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x08, sql0)}));
  EXPECT_EQ(rig.memoryByte(kRefAdr), ref0);
  EXPECT_TRUE(holds(reportOfSession(), "row 7 SQL: " + change(sql0 + 1, sql0) + " (revert)"));
}

// Adjustment commands without answer ride out a silent line; a read-back does not.
TEST_F(WayBackTest, ALineFaultDuringVerifyEndsItWithTheMessageAndNothingVerified) {
  ASSERT_TRUE(connect());
  press(kRef, Qt::Key_Right);
  TransceiverSettings settings = rig.settings();
  settings.noAnswer = true;
  rig.setSettings(settings);
  back().requestVerify();
  ASSERT_TRUE(runUntil([this] { return !back().busy() && !Globals::seq().OpRunning(); }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(model().opState(), 0);
  const std::string report = reportText().toStdString();
  EXPECT_TRUE(holds(report, "verification broken off by a line fault: nothing verified"));
  EXPECT_EQ(report.find("verified "), std::string::npos) << report;
}

struct VerifyCase { int dropped; bool equal; };
class WayBackVerifyTest : public WayBackTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(WayBackVerifyTest, VerifyReadsBackAndNamesTheRowNotStored) {
  TransceiverSettings settings = rig.settings();
  settings.dropE8Command = GetParam().dropped;
  rig.setSettings(settings);
  ASSERT_TRUE(connect());
  const int ref0 = value(kRef);
  press(kRef, Qt::Key_Right);
  back().requestVerify();
  ASSERT_TRUE(runIdle());
  const std::string text = back().outcomeText();
  if (GetParam().equal) {
    EXPECT_TRUE(text.starts_with("verified ")) << text;
    EXPECT_EQ(value(kRef), ref0 + 1);
  } else {
    EXPECT_TRUE(holds(text, "row 8 REF: sent " + std::to_string(ref0 + 1) + ", held " + std::to_string(ref0)));
    EXPECT_EQ(value(kRef), ref0);  // the console shows what the transceiver holds
  }
  menus().refresh();
  EXPECT_EQ(messages.size(), GetParam().equal ? 0u : 1u);
  EXPECT_TRUE(holds(reportOfSession(), GetParam().equal ? "verified " : "verification: 1 of"));
}

INSTANTIATE_TEST_SUITE_P(Cases, WayBackVerifyTest, ::testing::Values(VerifyCase{-1, true}, VerifyCase{0x05, false}));

TEST_F(WayBackTest, ApplyFromABackupSendsTheDifferingRowsInRowOrderAndRefusesAShortFile) {
  const Bytes image = rig.memory();
  ASSERT_TRUE(connect());
  Bytes backup = image;
  backup[kRefAdr] = static_cast<uint8_t>(backup[kRefAdr] + 3);
  backup[kSqlAdr] = static_cast<uint8_t>(backup[kSqlAdr] + 2);
  backup[kPowCbAdr] = static_cast<uint8_t>(backup[kPowCbAdr] - 1);
  const std::string path = dataDir.filePath("old.img").toStdString();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(backup.data()), static_cast<std::streamsize>(backup.size()));
  std::string error;
  const auto preview = back().previewBackup(path, error);
  ASSERT_TRUE(preview) << error;
  std::vector<int> rows;
  for (const auto& r : preview->rows) rows.push_back(r.row);
  EXPECT_EQ(rows, (std::vector<int>{kPowCb, kSql, kRef}));
  const size_t from = sent.size();
  back().startPlan(preview->rows, "from old.img");
  ASSERT_TRUE(runIdle());
  EXPECT_EQ(textsFrom(from), (std::vector<std::string>{e8(0x09, backup[kPowCbAdr]), e8(0x08, backup[kSqlAdr]),
                                                        e8(0x05, backup[kRefAdr])}));
  EXPECT_EQ(back().planSent(), 3);
  EXPECT_TRUE(holds(reportOfSession(), "(from old.img)"));

  const std::string shortPath = dataDir.filePath("short.img").toStdString();
  std::ofstream(shortPath, std::ios::binary).write(reinterpret_cast<const char*>(backup.data()), 1000);
  EXPECT_FALSE(back().previewBackup(shortPath, error));
  EXPECT_TRUE(holds(error, "1000 bytes"));
}

}  // namespace
