#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "ProfileFile.h"
#include "TestFiles.h"

namespace {

ino_t inodeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }

  QString qpath(const QString& name = "p.ini") const { return tmp_.path() + "/" + name; }
  std::string path(const QString& name = "p.ini") const { return QFile::encodeName(qpath(name)).toStdString(); }
  std::string read(const std::string& section, const std::string& key) const {
    return ProfileFile::ReadString(path(), section, key, "DEF");
  }
  bool write(const std::string& section, const std::string& key, const std::string& value) const {
    return ProfileFile::WriteString(path(), section, key, value);
  }

  QTemporaryDir tmp_;
};

TEST_F(ProfileFileTest, ReadsTheNamedKeyOrTheDefault) {
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

TEST_F(ProfileFileTest, AWriteChangesOrAddsOnlyItsKeyLine) {
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

TEST_F(ProfileFileTest, NamesAndValuesThatWouldNotReadBackAreRefused) {
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

TEST_F(ProfileFileTest, FilesThatAreNotProfilesAreNeverWrittenAndSayWhy) {
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

TEST_F(ProfileFileTest, AChangeReplacesTheFileAndLeavesNoTemporaryFiles) {
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

}  // namespace
