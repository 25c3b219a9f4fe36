#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "AppFixture.h"
#include "Globals.h"
#include "ProfileFile.h"
#include "TestFiles.h"
#include "WithoutCapabilities.h"
#include "clsCmcProfileIO.h"
#include "frmMain.h"
#include "start.h"

namespace {

void setEnv(const char* name, const std::optional<QByteArray>& v) { v ? qputenv(name, *v) : qunsetenv(name); }

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A text in the file and what it reads as; no value: the load fails, the variable stays.
template <typename T>
struct Read { std::string text; std::optional<T> want; };

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
      saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }
    config_ = tmp_.path() + "/config";
    setEnv("XDG_CONFIG_HOME", QFile::encodeName(config_));
    prof_.setFullPath(path());
    prof_.setSection("S");
  }
  void TearDown() override { for (const auto& [name, value] : saved_) setEnv(name, value); }

  QString qpath(const QString& name = "p.ini") const { return tmp_.path() + "/" + name; }
  std::string path(const QString& name = "p.ini") const { return local(qpath(name)); }
  std::string read(const std::string& section, const std::string& key) const {
    return ProfileFile::ReadString(path(), section, key, "DEF");
  }
  bool write(const std::string& section, const std::string& key, const std::string& value) const {
    return ProfileFile::WriteString(path(), section, key, value);
  }

  // Saves value, checks that it reads back the same, and gives the text in the file.
  template <typename T>
  std::string stored(const T& value) {
    EXPECT_TRUE(prof_.saveData("V", value));
    ProfileKindOf<T> back{};
    EXPECT_TRUE(prof_.loadData("V", back));
    EXPECT_TRUE(back == ProfileKindOf<T>(value)) << clsCmcProfileIO::ToText(back);
    return ProfileFile::ReadString(path(), "S", "V", "<none>");
  }

  template <typename T>
  void expectReads(const T& start, std::initializer_list<Read<T>> reads) {
    for (const Read<T>& r : reads) {
      SCOPED_TRACE(r.text);
      ASSERT_TRUE(ProfileFile::WriteString(path(), "S", "V", r.text));
      T v = start;
      EXPECT_EQ(prof_.loadData("V", v), r.want.has_value());
      EXPECT_TRUE(v == r.want.value_or(start)) << clsCmcProfileIO::ToText(v);
    }
  }

  QTemporaryDir tmp_;
  std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
  QString config_;
  clsCmcProfileIO prof_;
};

TEST_F(ProfileTest, DirectoriesAndFileNames) {
  const std::string utility = clsCmcProfileIO::UtilityDirectory();
  const struct { std::string path, file, dir; } names[] = {
      {"C:\\dir\\file.ini", "file.ini", "C:\\dir"}, {"C:\\file.ini", "file.ini", "C:"}, {"C:\\", "", "C:"},
      {"dir/sub/file.ini", "file.ini", "dir\\sub"}, {"\\\\srv\\share\\f.ini", "f.ini", "\\\\srv\\share"},
      {"abc\\", "", "abc"}, {"\\", "", ""}, {"", "", utility},
      // Without a separator the directory is the utility's own.
      {"file.ini", "file.ini", utility}, {"C:file.ini", "file.ini", utility}};
  for (const auto& n : names) {
    EXPECT_EQ(clsCmcProfileIO::GetFileName(n.path), n.file) << n.path;
    EXPECT_EQ(clsCmcProfileIO::GetPathName(n.path), n.dir) << n.path;
  }
  const struct { std::string full, path, name; } full[] = {
      {"/home/tech/TB4410K.rs", "/home/tech/", "TB4410K.rs"}, {"//TB4410K.rs", "/", "TB4410K.rs"},
      {"TB4410K.rs", utility + "/", "TB4410K.rs"},            {"C:\\dir\\file.ini", "C:/dir/", "file.ini"}};
  for (const auto& f : full) {
    clsCmcProfileIO p;
    p.setFullPath(f.full);
    EXPECT_EQ(p.Path() + "|" + p.Name(), f.path + "|" + f.name) << f.full;
  }
  // The utility's directory is the per-user configuration directory.
  const std::string viaXdg = local(config_) + "/ravlen-adj";
  const std::string viaHome = local(tmp_.path()) + "/home/.config/ravlen-adj";
  setEnv("HOME", QFile::encodeName(tmp_.path() + "/home"));
  const struct { std::optional<QByteArray> xdg; std::string dir; } cases[] = {
      {QFile::encodeName(config_), viaXdg}, {QFile::encodeName(config_) + "//", viaXdg}, {std::nullopt, viaHome},
      {QByteArray(""), viaHome},            {QByteArray("relative/config"), viaHome}};
  for (const auto& c : cases) {
    setEnv("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(clsCmcProfileIO::UtilityDirectory(), c.dir) << c.xdg.value_or("(unset)").toStdString();
  }
}

TEST_F(ProfileTest, EveryKindIsSavedAsItsTextAndReadsBack) {
  EXPECT_EQ(stored(int16_t{-32768}), "-32768");
  EXPECT_EQ(stored(std::numeric_limits<int32_t>::min()), "-2147483648");
  EXPECT_EQ(stored(uint8_t{255}), "255");
  EXPECT_EQ(stored(2.5f), "2.5");
  EXPECT_EQ(stored(0.1), "0.1");
  EXPECT_EQ(stored(ProfileCurrency{125000}), "12.5");
  EXPECT_EQ(stored(ProfileCurrency{-1}), "-0.0001");
  EXPECT_EQ(stored(ProfileCurrency{30000}), "3");
  EXPECT_EQ(stored(ProfileCurrency{std::numeric_limits<int64_t>::min()}), "-922337203685477.5808");
  EXPECT_EQ(stored(ProfileDateTime{2024, 2, 29, 23, 9, 7}), "2024.02.29-23:09:07");
  EXPECT_EQ(stored(std::string("port \xE9 = \"x\" ; no comment")), "port \xE9 = \"x\" ; no comment");
  EXPECT_EQ(stored("literal"), "literal");
  EXPECT_EQ(stored(true), "1");
  EXPECT_EQ(stored(false), "0");
  // The ends of each range come back exactly.
  for (float f : {-3.4028235e38f, 1.17549435e-38f, 1e-45f, 3.14159274f, 0.0f}) stored(f);
  for (double d : {-1.7976931348623157e308, 5e-324, 1e21, 123456789.125, HUGE_VAL}) stored(d);
  stored(ProfileCurrency{std::numeric_limits<int64_t>::max()});
}

TEST_F(ProfileTest, ReadTextsConvertOrLeaveTheVariableAlone) {
  expectReads<int16_t>(11, {{"+7", 7}, {"70000", {}}, {"-32769", {}}, {"x", {}}, {"4x", {}}, {"1.5", {}}});
  expectReads<int32_t>(6, {{"-32769", -32769}, {"", {}}});
  expectReads<uint8_t>(1, {{"0", 0}, {"256", {}}, {"-1", {}}});
  expectReads<float>(1.0f, {{".5", 0.5f}, {"1e39", {}}, {"abc", {}}, {"1e3", 1000.0f}});
  expectReads<double>(0, {{"1e39", 1e39}, {"2.5e-3", 2.5e-3}});
  // Past the fourth decimal, half rounds to even.
  expectReads<ProfileCurrency>({77}, {{"12.34565", ProfileCurrency{123456}}, {"12.34575", ProfileCurrency{123458}},
                                      {"0.000051", ProfileCurrency{1}}, {"922337203685477.5808", {}}, {"1.2.3", {}},
                                      {"922337203685477.5807", ProfileCurrency{std::numeric_limits<int64_t>::max()}},
                                      {".", {}}, {"abc", {}}});
  expectReads<bool>(false, {{"yes", true}, {"00", true}});
  expectReads<bool>(true, {{"0", false}, {"\"0  \"", false}, {"", {}}});
  // Trailing blanks inside quotes go, leading ones stay; at most 254 characters come back.
  expectReads<std::string>("old",
                           {{"\"  padded  \"", "  padded"}, {"", {}}, {std::string(300, 'a'), std::string(254, 'a')}});
  // Only a 19-character text is read, by position.
  const ProfileDateTime start{2000, 1, 1, 0, 0, 0};
  expectReads<ProfileDateTime>(start, {{"2023/11/05 08:09:10", ProfileDateTime{2023, 11, 5, 8, 9, 10}},
                                       {"2024.1.2-3:4:5", start}, {"2024.01.02-03:04:05.000", start},
                                       {"2023.13.05-08:09:10", {}}, {"2023.02.29-00:00:00", {}},
                                       {"abcd.ef.gh-ij:kl:mn", {}}});
}

TEST_F(ProfileTest, MissingFileSectionKeyOrValueGivesTheDefault) {
  int32_t v = 0;
  EXPECT_TRUE(prof_.loadData("ComPort", v, int32_t{1}));  // no file
  EXPECT_EQ(v, 1);
  putFile(qpath(), "[Other]\nComPort=5\n[S]\nX=1\n");
  prof_.setSection("OPTION");
  EXPECT_TRUE(prof_.loadData("ComPort", v, int32_t{7}));  // no section
  EXPECT_EQ(v, 7);
  prof_.setSection("S");
  EXPECT_TRUE(prof_.loadData("ComPort", v, int32_t{-12}));  // no key
  EXPECT_EQ(v, -12);
  v = 42;  // without a default the variable's own value is the default
  EXPECT_TRUE(prof_.loadData("ComPort", v));
  EXPECT_EQ(v, 42);
  // An empty value or one that does not convert fails the load and gives the default.
  putFile(qpath(), "[Other]\nComPort=5\n[S]\nX=1\nEmpty=\nWord=x\n");
  EXPECT_FALSE(prof_.loadData("Empty", v, int32_t{1}));
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(prof_.loadData("Word", v, int32_t{0}));
  EXPECT_EQ(v, 0);
  std::string word = "old";
  EXPECT_FALSE(prof_.loadData("Empty", word, "new"));
  EXPECT_EQ(word, "new");
  putFile(qpath(), "[Other]\nComPort=5\n[S]\nX=1\n");
  std::string text;
  // Defaults pass through the same 254-character buffer and stop at a NUL.
  EXPECT_TRUE(prof_.loadData("K", text, std::string(400, 'b')));
  EXPECT_EQ(text, std::string(254, 'b'));
  EXPECT_TRUE(prof_.loadData("K", text, std::string("ab\0cd", 5)));
  EXPECT_EQ(text, "ab");

  // Other kinds, and defaults of another kind, are refused.
  int64_t big = 9;
  int16_t port = 9;
  EXPECT_FALSE(prof_.loadData("X", big));
  EXPECT_FALSE(prof_.loadData("X", port, 1));  // an int is not a 16-bit integer
  EXPECT_FALSE(prof_.loadData("K", text, static_cast<const char*>(nullptr)));
  EXPECT_EQ(std::tie(big, port, text), std::tuple(9, 9, "ab"));
  EXPECT_FALSE(prof_.loadData("K", text, std::string()));  // no text comes back: a failed load
  EXPECT_EQ(text, "");
  EXPECT_TRUE(prof_.loadData("X", port, int16_t{3}));
  EXPECT_EQ(port, 1);
  EXPECT_FALSE(prof_.saveData("X", int64_t{5}));
  EXPECT_FALSE(prof_.saveData("X", static_cast<const char*>(nullptr)));
  EXPECT_EQ(fileBytes(qpath()), "[Other]\nComPort=5\n[S]\nX=1\n");
}

TEST_F(ProfileTest, AnUnwritableProfileFailsTheSaveAndLosesNothing) {
  const QString locked = tmp_.path() + "/locked";
  const QByteArray before = "; keep\n[OPTION]\nComPort=4\nComAutoRelease=1\n";
  QString kept = locked + "/TB4410K.rs", target = kept;
  putFile(kept, before);
  ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
  if (QFile probe(locked + "/probe"); probe.open(QIODevice::WriteOnly)) {
    // The super-user writes anywhere; no one turns a regular file into a directory.
    probe.remove();
    putFile(kept = tmp_.path() + "/plain", before);
    target = kept + "/TB4410K.rs";
  }
  clsCmcProfileIO p;
  p.setFullPath(local(target));
  p.setSection("OPTION");
  EXPECT_FALSE(p.saveData("ComPort", int16_t{7}));
  EXPECT_EQ(fileBytes(kept), before);
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

ino_t inodeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(ProfileTest, ReadsTheNamedKeyOrTheDefault) {
  EXPECT_EQ(read("OPTION", "ComPort"), "DEF");  // no file
  putFile(qpath(),
          "ComPort=8\r\n; [OPTION]\r\n[OPTION] ; the utility's own\r\n;ComPort=9\r\n   ; ComAutoRelease=4\r\n"
          "comPORT=2\r\nComPort=7\r\nComAutoRelease =   \r\n"
          "[Q]\r\n  plain  =  a b \t\r\nquoted=\" x \"\r\ninner=\"a\"b\"\r\nopen=\"abc\r\nlone=\"\r\nempty=\"\"\r\n"
          "single='q'\r\nodd='q\"\r\n[OPEN \r\nk=seen\r\nno equals sign here\r\n" +
              QByteArray(300000, 'z') + "\r\n[\xC9t\xE9]\r\nk=latin\r\n[q]\r\nlater=5\r\n");
  const struct { const char *section, *key, *want; } cases[] = {
      {"OPTION", "ComPort", "2"},        // comments skipped, the first match wins
      {"option", "COMAUTORELEASE", ""},  // present but empty is not the default
      {"", "ComPort", "DEF"},            // lines before any section
      {"NOSUCH", "ComPort", "DEF"}, {"OPTION", "", "DEF"}, {"OPTION", "no equals sign here", "DEF"},
      {"Q", "plain", "a b"}, {"Q", " plain ", "a b"}, {"Q", "quoted", " x "}, {"Q", "inner", "a\"b"},
      {"Q", "open", "\"abc"}, {"Q", "lone", "\""}, {"Q", "empty", ""}, {"Q", "single", "q"},
      {"Q", "odd", "'q\""},
      {"Q", "later", "DEF"},  // a later copy of a section is not searched
      {"OPEN", "k", "seen"}, {"Q", "k", "DEF"},  // a header without ']' names the rest of its line
      {"\xC9t\xE9", "K", "latin"}, {"\xE9t\xE9", "k", "DEF"},  // only ASCII letters fold
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.section, c.key), c.want) << c.section << "/" << c.key;
}

TEST_F(ProfileTest, AWriteChangesOrAddsOnlyItsKeyLine) {
  const QByteArray kept = "; settings\n\n[General]\nComPort=9\n\n[OPTION]\n  ; port of the cable\n";
  const struct { QByteArray before; const char *section, *key, *value; QByteArray after; } cases[] = {
      // In place: the file's spelling of the key stays, its spacing goes.
      {kept + "   comport  =  \"1\"   \nComAutoRelease=0\njunk\n[Last]\nx=y", "OPTION", "ComPort", "3",
       kept + "comport=3\nComAutoRelease=0\njunk\n[Last]\nx=y"},
      {kept + "[Last]\nx=y", "last", "X", "", kept + "[Last]\nx="},
      {"\xEF\xBB\xBF[OPTION]\r\nComPort=3\r\nComAutoRelease=2\r\n", "option", "COMPORT", "4",
       "\xEF\xBB\xBF[OPTION]\r\nComPort=4\r\nComAutoRelease=2\r\n"},
      {"[OPTION\r\nComPort=1\r\n", "OPTION", "ComPort", "2", "[OPTION\r\nComPort=2\r\n"},
      {"[A]\rk=1\rm=2\r\r[B]\rm=v", "A", "m", "3", "[A]\rk=1\rm=3\r\r[B]\rm=v"},
      // A new key follows the last non-blank line of the first such section.
      {"[A]\nk=1\n\n; rest\n\n[B]\nk=v\n[A]\nm=1\n", "A", "m", "2",
       "[A]\nk=1\n\n; rest\nm=2\n\n[B]\nk=v\n[A]\nm=1\n"},
      {"[A]\rk=1\r\r[B]\r", "A", "n", "2", "[A]\rk=1\rn=2\r\r[B]\r"},
      {"[A\nk=1\n", "A", "n", "3", "[A\nk=1\nn=3\n"},
      {"[B]\nk=v\n[A]", "A", "k", "3", "[B]\nk=v\n[A]\nk=3\n"},
      {"[A]\r\nk=1", "A", "n", "0", "[A]\r\nk=1\r\nn=0\r\n"},
      // A new section goes at the end, in the file's line ending.
      {"[B]\r\nk=v\r\n", "A", "k", "3", "[B]\r\nk=v\r\n[A]\r\nk=3\r\n"},
      {"[B]\nk=v", "A", "k", "3", "[B]\nk=v\n[A]\nk=3\n"},
      {"", " OPTION ", " ComPort ", "3", "[OPTION]\nComPort=3\n"},
      {"", "Z\xFC rich", "Gr\xFC\xDF", "\xE9t\xE9 \xB0", "[Z\xFC rich]\nGr\xFC\xDF=\xE9t\xE9 \xB0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before.toStdString());
    putFile(qpath(), c.before);
    EXPECT_TRUE(write(c.section, c.key, c.value));
    EXPECT_EQ(fileBytes(qpath()), c.after);
    EXPECT_EQ(read(c.section, c.key), c.value);
  }
}

TEST_F(ProfileTest, NamesAndValuesThatWouldNotReadBackAreRefused) {
  putFile(qpath(), "[S]\nk=v\n");
  const struct { std::string section, key, value; } cases[] = {
      {"S", "k", "two\nlines"}, {"S", "k", "cr\r"}, {"S", "k", std::string("nul\0", 4)}, {"S", "", "v"},
      {"S", "  ", "v"},         {"S", "a=b", "v"},  {"S", "[k", "v"},  {"S", ";k", "v"},  {"S]", "k", "v"},
      {"S\n", "k", "v"}};
  for (const auto& c : cases) EXPECT_FALSE(write(c.section, c.key, c.value)) << c.section << "/" << c.key;
  EXPECT_EQ(fileBytes(qpath()), "[S]\nk=v\n");
  EXPECT_FALSE(ProfileFile::WriteString(path("new.ini"), "S", "k", "a\nb"));
  EXPECT_FALSE(QFile::exists(qpath("new.ini")));
}

TEST_F(ProfileTest, FilesThatAreNotProfilesAreNeverWrittenAndSayWhy) {
  const QByteArray head("[S]\nk=5\n");
  const QByteArray largest = head + "; " + QByteArray(ProfileFile::MaxFileSize - head.size() - 3, 'x') + "\n";
  ASSERT_EQ(largest.size(), ProfileFile::MaxFileSize);
  putFile(qpath(), largest);
  EXPECT_EQ(read("S", "k"), "5");
  std::string why;
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "k", "55", &why));  // one byte too many afterwards
  EXPECT_EQ(why, "would grow over the size limit of 1048576 bytes");
  EXPECT_EQ(fileBytes(qpath()), largest);
  EXPECT_TRUE(ProfileFile::WriteString(path(), "S", "k", "6", &why));
  EXPECT_EQ(why, "");

  // A reader that opened the pipe would wait for a writer forever.
  ASSERT_TRUE(QDir().mkpath(qpath("adir")));
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  putFile(qpath("large"), largest + "\n");
  putFile(qpath("nul"), QByteArray("[S]\nk=5\n\0", 9));
  putFile(qpath("utf16"), QByteArray("\xFF\xFE[\0S\0]\0", 8));
  const struct { std::string path, why; } cases[] = {
      {path("adir"), "is not a regular file"}, {path("pipe"), "is not a regular file"},
      {path("large"), "is over the size limit of 1048576 bytes"}, {path("nul"), "holds NUL bytes"},
      {path("utf16"), "is UTF-16 text"}, {std::string(), "has no name"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileFile::ReadString(c.path, "S", "k", "d"), "d") << c.path;
    EXPECT_FALSE(ProfileFile::WriteString(c.path, "S", "k", "v", &why)) << c.path;
    EXPECT_EQ(why, c.why) << c.path;
  }
  EXPECT_TRUE(QFileInfo(qpath("adir")).isDir());
  EXPECT_EQ(fileBytes(qpath("large")), largest + "\n");
  EXPECT_EQ(fileBytes(qpath("nul")), QByteArray("[S]\nk=5\n\0", 9));
  EXPECT_EQ(fileBytes(qpath("utf16")), QByteArray("\xFF\xFE[\0S\0]\0", 8));
}

TEST_F(ProfileTest, AChangeReplacesTheFileAndLeavesNoTemporaryFiles) {
  putFile(qpath(), "[S]\nk=v\n");
  ASSERT_TRUE(QFile::setPermissions(qpath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
  const ino_t first = inodeOf(qpath());

  EXPECT_TRUE(write("S", "k", "v"));
  EXPECT_EQ(inodeOf(qpath()), first);  // nothing to change, nothing written

  EXPECT_TRUE(write("S", "k", "w"));
  EXPECT_EQ(fileBytes(qpath()), "[S]\nk=w\n");
  EXPECT_NE(inodeOf(qpath()), first);  // a new file took the old one's place
  EXPECT_EQ(QFile::permissions(qpath()) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::WriteGroup | QFile::ReadOther),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
  EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"p.ini"});
}

// The super-user obeys file modes without these.
const auto kFileOverrides = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

// Every line of before (split as the profile reader splits it: at CR LF, LF or a lone
// CR), other than the settings the utility writes, is still there and in the same order.
bool keepsEverythingElse(const QByteArray& before, const QByteArray& after) {
  static const QRegularExpression lineEnd("\r\n|\r|\n");
  const QStringList now = QString::fromLatin1(after).split(lineEnd);
  qsizetype at = 0;
  for (const QString& line : QString::fromLatin1(before).split(lineEnd)) {
    if (line.startsWith("ComPort=") || line.startsWith("ComAutoRelease=")) continue;
    at = now.indexOf(line, at);
    if (at < 0) return false;
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
// either leaves the file and its folder alone or keeps everything else in the file.
// Modes are obeyed as by anyone: where set, the super-user's overrides are lowered.
TEST_F(ProfileRobustnessTest, StartUpAndSaveSurviveHostileProfiles) {
  using P = QFileDevice::Permission;
  const QFileDevice::Permissions all = P::ReadOwner | P::WriteOwner | P::ExeOwner, rw = P::ReadOwner | P::WriteOwner;
  const QByteArray rich =
      "; kept comment\r\n[PORTS]\r\nCOM2=/dev/ttyS1\r\n\r\n[OPTION]\r\n; port\r\nComPort=3\r\n"
      "Extra=keep\r\nComAutoRelease=1\r\n[Zeta]\r\nz=1";
  const QByteArray huge = "[OPTION]\nComPort=3\n" + QByteArray(10 * 1024 * 1024, ';');
  const QString elsewhere = configDir.path() + "/elsewhere/kept.rs";
  const auto linkTo = [&](const QString& target) {  // the profile as a link to target
    ASSERT_TRUE(QDir().mkpath(configFolder()));
    ASSERT_TRUE(QFile::link(target, profile()));
  };
  const auto plain = [&] { writeProfile("; note\n[OPTION]\nComPort=3\nComAutoRelease=1\n"); };
  const struct {
    const char* what;
    std::function<void()> setUp;
    int16_t port;
    bool written;
    std::string why;  // printed when the save is refused
    std::optional<std::pair<QFileDevice::Permissions, QFileDevice::Permissions>> modes{};  // file, folder
  } cases[] = {
      {"other sections, keys and comments", [&] { putFile(profile(), rich); }, 3, true, ""},
      {"a link to a profile kept elsewhere", [&] { putFile(elsewhere, rich); linkTo(elsewhere); }, 3, true, ""},
      {"garbage text", [&] { putFile(profile(), "=\n]]\n[\nkey only\n==x=\n;;\n\t\x7f\xff"); }, 1, true, ""},
      {"10 MB", [&] { putFile(profile(), huge); }, 1, false, "is over the size limit of 1048576 bytes"},
      {"a directory", [&] { ASSERT_TRUE(QDir().mkpath(profile())); }, 1, false, "is not a regular file"},
      // Every read of it fails, the super-user's too.
      {"a file that cannot be read", [&] { linkTo("/proc/self/mem"); }, 1, false, "cannot be read"},
      {"a configuration folder that is a file", [&] { putFile(configFolder(), rich); }, 1, false,
       "cannot be written: its folder cannot be made"},
      {"unreadable profile", plain, 1, false, "cannot be read", std::pair{QFileDevice::Permissions{}, all}},
      {"read-only configuration folder", plain, 3, false, "cannot be written: ",
       std::pair{rw, P::ReadOwner | P::ExeOwner}},
      {"configuration folder without permissions", plain, 1, false, "cannot be", std::pair{rw, QFileDevice::Permissions{}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(configFolder()).removeRecursively();
    QFile::remove(configFolder());
    c.setUp();
    const QByteArray before = identityOf(profile());
    const QByteArray folderBefore = identityOf(configFolder());
    if (c.modes) {
      ASSERT_TRUE(QFile::setPermissions(profile(), c.modes->first));
      ASSERT_TRUE(QFile::setPermissions(configFolder(), c.modes->second));
    }
    std::string said;
    {
      const WithoutCapabilities asAnyone(c.modes ? kFileOverrides : std::initializer_list<int>{});
      ASSERT_TRUE(asAnyone.ok());
      testing::internal::CaptureStderr();
      EXPECT_EQ(startChooseAndClose(), c.port);
      said = testing::internal::GetCapturedStderr();
    }
    if (c.modes) {
      QFile::setPermissions(configFolder(), all);
      QFile::setPermissions(profile(), rw);
    }
    EXPECT_EQ(said.find("ravlen-adj: settings not saved: " + profilePath() + " " + c.why) != std::string::npos,
              !c.why.empty()) << said;
    EXPECT_EQ(QString::fromStdString(said).count("settings not saved"), c.why.empty() ? 0 : 1) << said;  // once
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

}  // namespace
