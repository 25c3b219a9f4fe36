#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ProfileFile.h"
#include "TestFiles.h"
#include "clsCmcProfileIO.h"

namespace {

void setEnv(const char* name, const std::optional<QByteArray>& v) { v ? qputenv(name, *v) : qunsetenv(name); }

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A text in the file and what it reads as; no value: the load fails, the variable stays.
template <typename T>
struct Read { std::string text; std::optional<T> want; };

class ProfileIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
      saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }
    config_ = tmp_.path() + "/config";
    setEnv("XDG_CONFIG_HOME", QFile::encodeName(config_));
    prof_.setFullPath(local(file()));
    prof_.setSection("S");
  }
  void TearDown() override { for (const auto& [name, value] : saved_) setEnv(name, value); }

  QString file() const { return tmp_.path() + "/p.ini"; }

  // Saves value, checks that it reads back the same, and gives the text in the file.
  template <typename T>
  std::string stored(const T& value) {
    EXPECT_TRUE(prof_.saveData("V", value));
    ProfileKindOf<T> back{};
    EXPECT_TRUE(prof_.loadData("V", back));
    EXPECT_TRUE(back == ProfileKindOf<T>(value)) << clsCmcProfileIO::ToText(back);
    return ProfileFile::ReadString(local(file()), "S", "V", "<none>");
  }

  template <typename T>
  void expectReads(const T& start, std::initializer_list<Read<T>> reads) {
    for (const Read<T>& r : reads) {
      SCOPED_TRACE(r.text);
      ASSERT_TRUE(ProfileFile::WriteString(local(file()), "S", "V", r.text));
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

TEST_F(ProfileIOTest, DirectoriesAndFileNames) {
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

TEST_F(ProfileIOTest, EveryKindIsSavedAsItsTextAndReadsBack) {
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

TEST_F(ProfileIOTest, ReadTextsConvertOrLeaveTheVariableAlone) {
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

TEST_F(ProfileIOTest, MissingFileSectionKeyOrValueGivesTheDefault) {
  int32_t v = 0;
  EXPECT_TRUE(prof_.loadData("ComPort", v, int32_t{1}));  // no file
  EXPECT_EQ(v, 1);
  putFile(file(), "[Other]\nComPort=5\n[S]\nX=1\n");
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
  putFile(file(), "[Other]\nComPort=5\n[S]\nX=1\nEmpty=\nWord=x\n");
  EXPECT_FALSE(prof_.loadData("Empty", v, int32_t{1}));
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(prof_.loadData("Word", v, int32_t{0}));
  EXPECT_EQ(v, 0);
  std::string word = "old";
  EXPECT_FALSE(prof_.loadData("Empty", word, "new"));
  EXPECT_EQ(word, "new");
  putFile(file(), "[Other]\nComPort=5\n[S]\nX=1\n");
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
  EXPECT_EQ(fileBytes(file()), "[Other]\nComPort=5\n[S]\nX=1\n");
}

TEST_F(ProfileIOTest, AnUnwritableProfileFailsTheSaveAndLosesNothing) {
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

}  // namespace
