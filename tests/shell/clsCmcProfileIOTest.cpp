#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "ProfileFile.h"
#include "clsCmcProfileIO.h"

namespace {

// Sets or clears an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
    set(value);
  }
  ~ScopedEnv() { set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const std::optional<QByteArray>& value) {
    if (value) {
      qputenv(name_, *value);
    } else {
      qunsetenv(name_);
    }
  }
  const char* name_;
  std::optional<QByteArray> old_;
};

void putFile(const QString& path, const QByteArray& data) {
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(data), data.size());
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll();
}

bool canCreateIn(const QString& dir) {
  QFile probe(dir + "/probe.tmp");
  if (!probe.open(QIODevice::WriteOnly)) return false;
  probe.close();
  probe.remove();
  return true;
}

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

class ProfileIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    config_ = tmp_.path() + "/config";
    xdg_.emplace("XDG_CONFIG_HOME", QFile::encodeName(config_));
    prof_.setFullPath(local(tmp_.path() + "/p.ini"));
    prof_.setSection("S");
  }
  void TearDown() override { xdg_.reset(); }

  // The utility's own profile, set up the way the serial port form does it.
  static void configureAsUtility(clsCmcProfileIO& p) {
    p.SetCurrentPath();
    p.setName("TB4410K.rs");
    p.setSection("Ravlen ADJ Rev.1.0");
  }

  // The main window's save and load of its two settings.
  static void saveSettings(clsCmcProfileIO& p, int16_t comPortNo, int16_t comAutoRelease) {
    p.setSection("OPTION");
    p.saveData("ComPort", comPortNo);
    p.saveData("ComAutoRelease", comAutoRelease);
  }
  struct Settings {
    int32_t comPortNo;
    int32_t comAutoRelease;
  };
  static Settings loadSettings(clsCmcProfileIO& p) {
    p.setSection("OPTION");
    Settings s{};
    int32_t v = 0;
    p.loadData("ComPort", v, 1);
    s.comPortNo = v;
    p.loadData("ComAutoRelease", v, 0);
    s.comAutoRelease = v;
    return s;
  }

  QString utilityProfile() const { return config_ + "/ravlen-adj/TB4410K.rs"; }
  QString file() const { return tmp_.path() + "/p.ini"; }

  template <typename T>
  T roundTrip(const T& value) {
    EXPECT_TRUE(prof_.saveData("Value", value));
    T back{};
    EXPECT_TRUE(prof_.loadData("Value", back));
    return back;
  }

  QTemporaryDir tmp_;
  QString config_;
  std::optional<ScopedEnv> xdg_;
  clsCmcProfileIO prof_;
};

TEST_F(ProfileIOTest, StartsWithTheDefaultNameAndNoDirectoryOrSection) {
  clsCmcProfileIO p;
  EXPECT_EQ(p.Name(), "Profile.INI");
  EXPECT_EQ(p.Path(), "");
  EXPECT_EQ(p.Section(), "");
  EXPECT_EQ(p.GetMyProfile(), "Profile.INI");
  p.setPath("/x/");
  p.setName("y.ini");
  EXPECT_EQ(p.GetMyProfile(), "/x/y.ini");
  EXPECT_EQ(p.FullPath(), "/x/y.ini");
}

TEST_F(ProfileIOTest, TheUtilityDirectoryIsThePerUserConfigurationDirectory) {
  EXPECT_EQ(clsCmcProfileIO::UtilityDirectory(), local(config_) + "/ravlen-adj");
  {
    ScopedEnv trailing("XDG_CONFIG_HOME", QFile::encodeName(config_) + "//");
    EXPECT_EQ(clsCmcProfileIO::UtilityDirectory(), local(config_) + "/ravlen-adj");
  }
  ScopedEnv home("HOME", QFile::encodeName(tmp_.path() + "/home"));
  {
    ScopedEnv unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(clsCmcProfileIO::UtilityDirectory(), local(tmp_.path()) + "/home/.config/ravlen-adj");
  }
  {
    ScopedEnv empty("XDG_CONFIG_HOME", QByteArray(""));
    EXPECT_EQ(clsCmcProfileIO::UtilityDirectory(), local(tmp_.path()) + "/home/.config/ravlen-adj");
  }
  {
    ScopedEnv relative("XDG_CONFIG_HOME", QByteArray("relative/config"));
    EXPECT_EQ(clsCmcProfileIO::UtilityDirectory(), local(tmp_.path()) + "/home/.config/ravlen-adj");
  }
}

TEST_F(ProfileIOTest, SetCurrentPathPointsIntoTheUtilityDirectory) {
  clsCmcProfileIO p;
  configureAsUtility(p);
  EXPECT_EQ(p.Path(), local(config_) + "/ravlen-adj/");
  EXPECT_EQ(p.GetMyProfile(), local(utilityProfile()));
  EXPECT_EQ(p.FullPath(), p.GetMyProfile());
  EXPECT_EQ(p.Section(), "Ravlen ADJ Rev.1.0");
}

TEST_F(ProfileIOTest, FileAndPathNamesFollowTheBackslashRules) {
  EXPECT_EQ(clsCmcProfileIO::GetFileName("C:\\dir\\file.ini"), "file.ini");
  EXPECT_EQ(clsCmcProfileIO::GetPathName("C:\\dir\\file.ini"), "C:\\dir");
  EXPECT_EQ(clsCmcProfileIO::GetPathName("C:\\file.ini"), "C:");
  EXPECT_EQ(clsCmcProfileIO::GetFileName("C:\\file.ini"), "file.ini");
  EXPECT_EQ(clsCmcProfileIO::GetFileName("C:file.ini"), "file.ini");
  EXPECT_EQ(clsCmcProfileIO::GetFileName("C:\\dir\\"), "");
  EXPECT_EQ(clsCmcProfileIO::GetFileName("file.ini"), "file.ini");
  EXPECT_EQ(clsCmcProfileIO::GetFileName("/home/tech/TB4410K.rs"), "TB4410K.rs");

  EXPECT_EQ(clsCmcProfileIO::GetPathName("C:\\"), "C:");
  EXPECT_EQ(clsCmcProfileIO::GetPathName("dir/sub/file.ini"), "dir\\sub");
  EXPECT_EQ(clsCmcProfileIO::GetPathName("\\\\server\\share\\f.ini"), "\\\\server\\share");
  EXPECT_EQ(clsCmcProfileIO::GetPathName("abc\\"), "abc");
  EXPECT_EQ(clsCmcProfileIO::GetPathName("\\"), "");
  // Without any separator the directory is the utility's own.
  EXPECT_EQ(clsCmcProfileIO::GetPathName("file.ini"), clsCmcProfileIO::UtilityDirectory());
  EXPECT_EQ(clsCmcProfileIO::GetPathName(""), clsCmcProfileIO::UtilityDirectory());
  EXPECT_EQ(clsCmcProfileIO::GetPathName("C:file.ini"), clsCmcProfileIO::UtilityDirectory());
}

TEST_F(ProfileIOTest, SetFullPathStoresTheDirectoryWithASlash) {
  clsCmcProfileIO p;
  p.setFullPath("/home/tech/TB4410K.rs");
  EXPECT_EQ(p.Path(), "/home/tech/");
  EXPECT_EQ(p.Name(), "TB4410K.rs");
  EXPECT_EQ(p.FullPath(), "/home/tech/TB4410K.rs");

  p.setFullPath("/TB4410K.rs");
  EXPECT_EQ(p.Path(), "/");
  EXPECT_EQ(p.FullPath(), "/TB4410K.rs");
  p.setFullPath("//TB4410K.rs");
  EXPECT_EQ(p.Path(), "/");
  EXPECT_EQ(p.Name(), "TB4410K.rs");

  p.setFullPath("TB4410K.rs");
  EXPECT_EQ(p.Path(), clsCmcProfileIO::UtilityDirectory() + "/");
  EXPECT_EQ(p.Name(), "TB4410K.rs");

  p.setFullPath("C:\\dir\\file.ini");
  EXPECT_EQ(p.Path(), "C:/dir/");
  EXPECT_EQ(p.Name(), "file.ini");
}

TEST_F(ProfileIOTest, StripTerminatorAndUCase16) {
  EXPECT_EQ(clsCmcProfileIO::StripTerminator(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(clsCmcProfileIO::StripTerminator(std::string("\0x", 2)), "");
  EXPECT_EQ(clsCmcProfileIO::StripTerminator("abc"), "abc");
  EXPECT_EQ(clsCmcProfileIO::UCase16("Mixed case \xE9"), "Mixed case \xE9");
}

TEST_F(ProfileIOTest, EveryKindRoundTrips) {
  EXPECT_EQ(roundTrip<int16_t>(-32768), -32768);
  EXPECT_EQ(roundTrip<int16_t>(32767), 32767);
  EXPECT_EQ(roundTrip<int32_t>(std::numeric_limits<int32_t>::min()), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(roundTrip<int32_t>(2147483647), 2147483647);
  EXPECT_EQ(roundTrip<uint8_t>(255), 255);
  EXPECT_EQ(roundTrip<uint8_t>(0), 0);
  for (float f : {0.1f, -3.4028235e38f, 1.17549435e-38f, 1e-45f, 3.14159274f, 0.0f}) {
    EXPECT_EQ(roundTrip(f), f);
  }
  for (double d : {0.1, -1.7976931348623157e308, 5e-324, 2.5, 1e21, 123456789.125}) {
    EXPECT_EQ(roundTrip(d), d);
  }
  EXPECT_TRUE(std::isinf(roundTrip(std::numeric_limits<double>::infinity())));
  for (int64_t c : {int64_t{0}, int64_t{125000}, int64_t{-1}, int64_t{-5000}, int64_t{123456789},
                    std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()}) {
    EXPECT_EQ(roundTrip(ProfileCurrency{c}).TenThousandths, c);
  }
  const ProfileDateTime when{2024, 2, 29, 23, 59, 7};
  EXPECT_EQ(roundTrip(when), when);
  EXPECT_EQ(roundTrip(std::string("COM port \xE9 = \"x\" ; not a comment")), "COM port \xE9 = \"x\" ; not a comment");
  EXPECT_EQ(roundTrip(true), true);
  EXPECT_EQ(roundTrip(false), false);
}

TEST_F(ProfileIOTest, ValuesAreWrittenAsTheirStandardTexts) {
  prof_.setSection("K");
  EXPECT_TRUE(prof_.saveData("I16", int16_t{-32768}));
  EXPECT_TRUE(prof_.saveData("I32", int32_t{70000}));
  EXPECT_TRUE(prof_.saveData("F", 2.5f));
  EXPECT_TRUE(prof_.saveData("D", 0.1));
  EXPECT_TRUE(prof_.saveData("C1", ProfileCurrency{125000}));
  EXPECT_TRUE(prof_.saveData("C2", ProfileCurrency{-1}));
  EXPECT_TRUE(prof_.saveData("C3", ProfileCurrency{30000}));
  EXPECT_TRUE(prof_.saveData("B", uint8_t{200}));
  EXPECT_TRUE(prof_.saveData("T", ProfileDateTime{2024, 2, 9, 3, 4, 5}));
  EXPECT_TRUE(prof_.saveData("S", std::string("text")));
  EXPECT_TRUE(prof_.saveData("L", "literal"));
  EXPECT_TRUE(prof_.saveData("Y", true));
  EXPECT_TRUE(prof_.saveData("N", false));
  EXPECT_EQ(fileBytes(file()),
            "[K]\nI16=-32768\nI32=70000\nF=2.5\nD=0.1\nC1=12.5\nC2=-0.0001\nC3=3\nB=200\n"
            "T=2024.02.09-03:04:05\nS=text\nL=literal\nY=1\nN=0\n");
}

TEST_F(ProfileIOTest, OtherKindsAreNeitherWrittenNorRead) {
  EXPECT_FALSE(prof_.saveData("Big", int64_t{5}));
  EXPECT_FALSE(prof_.saveData("Char", 'c'));
  EXPECT_FALSE(prof_.saveData("List", std::vector<int>{1, 2}));
  EXPECT_FALSE(prof_.saveData("Null", static_cast<const char*>(nullptr)));
  EXPECT_FALSE(QFile::exists(file()));

  putFile(file(), "[S]\nBig=5\nChar=c\n");
  int64_t big = 9;
  EXPECT_FALSE(prof_.loadData("Big", big));
  EXPECT_FALSE(prof_.loadData("Big", big, int64_t{1}));
  EXPECT_EQ(big, 9);
  char c = 'z';
  EXPECT_FALSE(prof_.loadData("Char", c));
  EXPECT_EQ(c, 'z');
  int32_t same = 0;  // the key itself is readable as a supported kind
  EXPECT_TRUE(prof_.loadData("Big", same));
  EXPECT_EQ(same, 5);
}

TEST_F(ProfileIOTest, ADefaultOfAnotherKindFailsTheLoad) {
  putFile(file(), "[S]\nPort=5\n");
  int16_t port = 9;
  EXPECT_FALSE(prof_.loadData("Port", port, 1));  // an int is not a 16-bit integer
  EXPECT_EQ(port, 9);
  EXPECT_FALSE(prof_.loadData("Port", port, 1.0));
  EXPECT_EQ(port, 9);
  EXPECT_TRUE(prof_.loadData("Port", port, int16_t{1}));
  EXPECT_EQ(port, 5);

  std::string text = "old";
  EXPECT_FALSE(prof_.loadData("Port", text, 1));
  EXPECT_EQ(text, "old");
  EXPECT_TRUE(prof_.loadData("Missing", text, "from literal"));
  EXPECT_EQ(text, "from literal");
  EXPECT_FALSE(prof_.loadData("Missing", text, static_cast<const char*>(nullptr)));
  EXPECT_EQ(text, "from literal");
}

TEST_F(ProfileIOTest, MissingFileSectionOrKeyGivesTheDefault) {
  int32_t v = 0;
  EXPECT_TRUE(prof_.loadData("ComPort", v, 1));
  EXPECT_EQ(v, 1);

  putFile(file(), "[Other]\nComPort=5\n[S]\nX=1\n");
  prof_.setSection("OPTION");
  EXPECT_TRUE(prof_.loadData("ComPort", v, 7));
  EXPECT_EQ(v, 7);
  prof_.setSection("S");
  EXPECT_TRUE(prof_.loadData("ComPort", v, 8));
  EXPECT_EQ(v, 8);

  // Without a default the variable keeps its value.
  v = 42;
  EXPECT_TRUE(prof_.loadData("ComPort", v));
  EXPECT_EQ(v, 42);
  ProfileDateTime when{2001, 2, 3, 4, 5, 6};
  EXPECT_TRUE(prof_.loadData("When", when));
  EXPECT_EQ(when, (ProfileDateTime{2001, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(prof_.loadData("When", when, ProfileDateTime{2010, 11, 12, 13, 14, 15}));
  EXPECT_EQ(when, (ProfileDateTime{2010, 11, 12, 13, 14, 15}));
  bool flag = true;
  EXPECT_TRUE(prof_.loadData("Flag", flag, false));
  EXPECT_FALSE(flag);
  ProfileCurrency money{1};
  EXPECT_TRUE(prof_.loadData("Money", money, ProfileCurrency{-25000}));
  EXPECT_EQ(money.TenThousandths, -25000);
}

TEST_F(ProfileIOTest, AMissingProfileLoadsPortOneAndReleaseOff) {
  clsCmcProfileIO p;
  configureAsUtility(p);
  const Settings s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, 1);
  EXPECT_EQ(s.comAutoRelease, 0);
  EXPECT_FALSE(QFile::exists(utilityProfile()));
}

TEST_F(ProfileIOTest, SavingWritesBothLinesUnderOption) {
  clsCmcProfileIO p;
  configureAsUtility(p);
  saveSettings(p, 3, 2);
  EXPECT_EQ(fileBytes(utilityProfile()), "[OPTION]\nComPort=3\nComAutoRelease=2\n");

  clsCmcProfileIO again;
  configureAsUtility(again);
  const Settings s = loadSettings(again);
  EXPECT_EQ(s.comPortNo, 3);
  EXPECT_EQ(s.comAutoRelease, 2);
}

TEST_F(ProfileIOTest, EmptyValuesLoadPortZeroAndReleaseZero) {
  putFile(utilityProfile(), "[OPTION]\nComPort=\nComAutoRelease=\n");
  clsCmcProfileIO p;
  configureAsUtility(p);
  const Settings s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, 0);
  EXPECT_EQ(s.comAutoRelease, 0);

  // The same variable with another start value shows that nothing was read.
  p.setSection("OPTION");
  int32_t v = 6;
  EXPECT_FALSE(p.loadData("ComPort", v, 1));
  EXPECT_EQ(v, 6);
}

TEST_F(ProfileIOTest, AReleaseThatIsNotANumberKeepsThePortNumber) {
  putFile(utilityProfile(), "[OPTION]\r\nComPort=2\r\nComAutoRelease=x\r\n");
  clsCmcProfileIO p;
  configureAsUtility(p);
  const Settings s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, 2);
  EXPECT_EQ(s.comAutoRelease, 2);
}

TEST_F(ProfileIOTest, SavingKeepsCommentsOtherSectionsAndOrder) {
  const QByteArray before =
      "; Ravlen ADJ settings\r\n"
      "[Window]\r\n"
      "Left=10\r\n"
      "\r\n"
      "[OPTION]\r\n"
      "; chosen by the technician\r\n"
      "ComAutoRelease=5\r\n"
      "ComPort=1\r\n"
      "\r\n"
      "[PORTS]\r\n"
      "COM1=/dev/ttyUSB0\r\n";
  putFile(utilityProfile(), before);
  clsCmcProfileIO p;
  configureAsUtility(p);
  saveSettings(p, 3, 2);
  QByteArray expected = before;
  expected.replace("ComAutoRelease=5", "ComAutoRelease=2").replace("ComPort=1", "ComPort=3");
  EXPECT_EQ(fileBytes(utilityProfile()), expected);
  EXPECT_EQ(p.Section(), "OPTION");
  // Other sections of the same file stay readable through the file service.
  EXPECT_EQ(ProfileFile::ReadString(p.GetMyProfile(), "PORTS", "COM1", ""), "/dev/ttyUSB0");
  EXPECT_EQ(ProfileFile::ReadString(p.GetMyProfile(), "ports", "COM2", "none"), "none");
}

TEST_F(ProfileIOTest, NamesMatchWithoutCaseAndQuotesAreRemoved) {
  putFile(file(), "[s]\ncomport = \"4\"\nNAME=\"  padded  \"\n");
  int32_t port = 0;
  EXPECT_TRUE(prof_.loadData("ComPort", port, 1));
  EXPECT_EQ(port, 4);
  std::string name;
  EXPECT_TRUE(prof_.loadData("Name", name));
  EXPECT_EQ(name, "  padded");  // trailing blanks go, leading ones stay
}

TEST_F(ProfileIOTest, IntegersMustConvertWhollyAndFit) {
  putFile(file(), "[S]\nBig=70000\nX=x\nPart=4x\nSigned=+7\nNeg=-32769\nFrac=1.5\nExp=1e3\nByteHi=256\nByteNeg=-1\n");
  int16_t small = 11;
  EXPECT_FALSE(prof_.loadData("Big", small));
  EXPECT_FALSE(prof_.loadData("X", small));
  EXPECT_FALSE(prof_.loadData("Part", small));
  EXPECT_FALSE(prof_.loadData("Neg", small));
  EXPECT_FALSE(prof_.loadData("Frac", small));
  EXPECT_FALSE(prof_.loadData("Exp", small));
  EXPECT_EQ(small, 11);
  EXPECT_TRUE(prof_.loadData("Signed", small));
  EXPECT_EQ(small, 7);

  int32_t wide = 0;
  EXPECT_TRUE(prof_.loadData("Big", wide));
  EXPECT_EQ(wide, 70000);
  EXPECT_TRUE(prof_.loadData("Neg", wide));
  EXPECT_EQ(wide, -32769);

  uint8_t byte = 1;
  EXPECT_FALSE(prof_.loadData("ByteHi", byte));
  EXPECT_FALSE(prof_.loadData("ByteNeg", byte));
  EXPECT_EQ(byte, 1);

  // A default is converted like a read text.
  EXPECT_TRUE(prof_.loadData("Missing", wide, int32_t{-12}));
  EXPECT_EQ(wide, -12);
}

TEST_F(ProfileIOTest, FloatsAndCurrencyConvertOrFail) {
  putFile(file(),
          "[S]\nHuge=1e39\nWord=abc\nHalf=.5\nSci=2.5e-3\n"
          "C1=12.34565\nC2=12.34575\nC3=0.000051\nCMax=922337203685477.5807\nCOver=922337203685477.5808\n"
          "CMin=-922337203685477.5808\nCBad=1.2.3\nCDot=.\n");
  float f = 1.0f;
  EXPECT_FALSE(prof_.loadData("Huge", f));
  EXPECT_FALSE(prof_.loadData("Word", f));
  EXPECT_EQ(f, 1.0f);
  EXPECT_TRUE(prof_.loadData("Half", f));
  EXPECT_EQ(f, 0.5f);
  double d = 0;
  EXPECT_TRUE(prof_.loadData("Huge", d));
  EXPECT_EQ(d, 1e39);
  EXPECT_TRUE(prof_.loadData("Sci", d));
  EXPECT_EQ(d, 2.5e-3);

  ProfileCurrency c{77};
  EXPECT_TRUE(prof_.loadData("C1", c));
  EXPECT_EQ(c.TenThousandths, 123456);  // half to even: stays
  EXPECT_TRUE(prof_.loadData("C2", c));
  EXPECT_EQ(c.TenThousandths, 123458);  // half to even: up
  EXPECT_TRUE(prof_.loadData("C3", c));
  EXPECT_EQ(c.TenThousandths, 1);
  EXPECT_TRUE(prof_.loadData("CMax", c));
  EXPECT_EQ(c.TenThousandths, std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(prof_.loadData("CMin", c));
  EXPECT_EQ(c.TenThousandths, std::numeric_limits<int64_t>::min());
  c = ProfileCurrency{77};
  EXPECT_FALSE(prof_.loadData("COver", c));
  EXPECT_FALSE(prof_.loadData("CBad", c));
  EXPECT_FALSE(prof_.loadData("CDot", c));
  EXPECT_FALSE(prof_.loadData("Word", c));
  EXPECT_EQ(c.TenThousandths, 77);
}

TEST_F(ProfileIOTest, BooleansAreFalseOnlyForZero) {
  putFile(file(), "[S]\nYes=yes\nZero=0\nZeroBlank=0  \nDouble=00\nEmpty=\n");
  bool b = false;
  EXPECT_TRUE(prof_.loadData("Yes", b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(prof_.loadData("Zero", b));
  EXPECT_FALSE(b);
  b = true;
  EXPECT_TRUE(prof_.loadData("ZeroBlank", b));
  EXPECT_FALSE(b);
  EXPECT_TRUE(prof_.loadData("Double", b));
  EXPECT_TRUE(b);
  EXPECT_FALSE(prof_.loadData("Empty", b));
  EXPECT_TRUE(b);
}

TEST_F(ProfileIOTest, DateTimesAreReadFromNineteenCharactersByPosition) {
  putFile(file(),
          "[S]\nShort=2024.1.2-3:4:5\nOtherMarks=2023/11/05 08:09:10\nMonth13=2023.13.05-08:09:10\n"
          "Feb29=2023.02.29-00:00:00\nLetters=abcd.ef.gh-ij:kl:mn\nLong=2024.01.02-03:04:05.000\n");
  EXPECT_TRUE(ProfileDateTime{}.IsValid());
  EXPECT_EQ(ProfileDateTime{}.ToString(), "0001-01-01 00:00:00");
  const ProfileDateTime start{2000, 1, 1, 0, 0, 0};
  ProfileDateTime t = start;
  EXPECT_TRUE(prof_.loadData("Short", t));
  EXPECT_EQ(t, start);
  EXPECT_TRUE(prof_.loadData("Long", t));
  EXPECT_EQ(t, start);
  EXPECT_FALSE(prof_.loadData("Month13", t));
  EXPECT_FALSE(prof_.loadData("Feb29", t));
  EXPECT_FALSE(prof_.loadData("Letters", t));
  EXPECT_EQ(t, start);
  EXPECT_TRUE(prof_.loadData("OtherMarks", t));
  EXPECT_EQ(t, (ProfileDateTime{2023, 11, 5, 8, 9, 10}));
}

TEST_F(ProfileIOTest, AtMostTwoHundredFiftyFourCharactersComeBack) {
  const std::string longText(300, 'a');
  EXPECT_TRUE(prof_.saveData("Long", longText));
  std::string back;
  EXPECT_TRUE(prof_.loadData("Long", back));
  EXPECT_EQ(back, std::string(254, 'a'));

  // Defaults pass through the same buffer and stop at a NUL.
  EXPECT_TRUE(prof_.loadData("Missing", back, std::string(400, 'b')));
  EXPECT_EQ(back, std::string(254, 'b'));
  EXPECT_TRUE(prof_.loadData("Missing", back, std::string("ab\0cd", 5)));
  EXPECT_EQ(back, "ab");
  back = "keep";
  EXPECT_FALSE(prof_.loadData("Missing", back, std::string()));
  EXPECT_EQ(back, "keep");
}

TEST_F(ProfileIOTest, AnUnwritableProfileFailsTheSaveAndLosesNothing) {
  const QString locked = tmp_.path() + "/locked";
  const QByteArray before = "; keep\n[OPTION]\nComPort=4\nComAutoRelease=1\n";
  putFile(locked + "/TB4410K.rs", before);
  ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
  const bool permissionsHold = !canCreateIn(locked);

  clsCmcProfileIO p;
  QString kept = locked + "/TB4410K.rs";
  if (permissionsHold) {
    p.setFullPath(local(kept));
  } else {
    // The super-user writes anywhere; no one turns a regular file into a directory.
    kept = tmp_.path() + "/plain";
    putFile(kept, before);
    p.setFullPath(local(kept + "/TB4410K.rs"));
  }
  p.setSection("OPTION");
  EXPECT_FALSE(p.saveData("ComPort", int16_t{7}));
  EXPECT_EQ(fileBytes(kept), before);
  const Settings s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, permissionsHold ? 4 : 1);
  EXPECT_EQ(s.comAutoRelease, permissionsHold ? 1 : 0);
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(ProfileIOTest, AProfilePathThatIsADirectoryFailsTheSave) {
  ASSERT_TRUE(QDir().mkpath(tmp_.path() + "/TB4410K.rs"));
  clsCmcProfileIO p;
  p.setFullPath(local(tmp_.path() + "/TB4410K.rs"));
  p.setSection("OPTION");
  EXPECT_FALSE(p.saveData("ComPort", int16_t{3}));
  EXPECT_TRUE(QFileInfo(tmp_.path() + "/TB4410K.rs").isDir());
  EXPECT_EQ(loadSettings(p).comPortNo, 1);
}

TEST_F(ProfileIOTest, GarbageAndOversizedProfilesLoadDefaultsAndAreNotSaved) {
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 7919 + 13) % 256));
  garbage.prepend("[OPTION]\nComPort=4\n");
  putFile(utilityProfile(), garbage);
  clsCmcProfileIO p;
  configureAsUtility(p);
  Settings s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, 1);
  EXPECT_EQ(s.comAutoRelease, 0);
  EXPECT_FALSE(p.saveData("ComPort", int16_t{3}));
  EXPECT_EQ(fileBytes(utilityProfile()), garbage);

  const QByteArray huge = "[OPTION]\nComPort=4\n" + QByteArray(2 * 1024 * 1024, 'x') + "\n";
  putFile(utilityProfile(), huge);
  s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, 1);
  EXPECT_EQ(s.comAutoRelease, 0);
  EXPECT_FALSE(p.saveData("ComPort", int16_t{3}));
  EXPECT_EQ(fileBytes(utilityProfile()), huge);
}

TEST_F(ProfileIOTest, BrokenLinesGiveDefaultsForWhatCannotBeRead) {
  const QByteArray broken =
      "[OPTION\nComPort=4\n" + QByteArray(100000, '[') + "\nno equals\n[OPTION]\nComAutoRelease=3\n";
  putFile(utilityProfile(), broken);
  clsCmcProfileIO p;
  configureAsUtility(p);
  const Settings s = loadSettings(p);
  EXPECT_EQ(s.comPortNo, 1);
  EXPECT_EQ(s.comAutoRelease, 3);
  EXPECT_TRUE(p.saveData("ComPort", int16_t{5}));
  EXPECT_EQ(fileBytes(utilityProfile()), broken + "ComPort=5\n");
}

}  // namespace
