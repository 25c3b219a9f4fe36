#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "ProfileFile.h"

namespace {

std::string bytes(const QByteArray& a) { return std::string(a.constData(), static_cast<size_t>(a.size())); }

void putFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(data), data.size());
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll();
}

ino_t inodeOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
  return st.st_ino;
}

// True when files can be created in dir (permissions do not hold back the super-user).
bool canCreateIn(const QString& dir) {
  QFile probe(dir + "/probe.tmp");
  if (!probe.open(QIODevice::WriteOnly)) return false;
  probe.close();
  probe.remove();
  return true;
}

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }

  QString qpath(const QString& name = "p.ini") const { return tmp_.path() + "/" + name; }
  std::string path(const QString& name = "p.ini") const { return QFile::encodeName(qpath(name)).toStdString(); }

  std::string read(const std::string& section, const std::string& key, const std::string& def = "DEF") const {
    return ProfileFile::ReadString(path(), section, key, def);
  }

  // Writes key=value and returns the whole file afterwards.
  QByteArray writeAndLoad(const std::string& section, const std::string& key, const std::string& value) {
    EXPECT_TRUE(ProfileFile::WriteString(path(), section, key, value));
    return fileBytes(qpath());
  }

  QTemporaryDir tmp_;
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "1");
  putFile(qpath(), "[OTHER]\nComPort=5\n[OPTION]\nComAutoRelease=3\n");
  EXPECT_EQ(read("NOSUCH", "ComPort", "1"), "1");
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "1");
  EXPECT_EQ(read("OPTION", "ComAutoRelease", "0"), "3");
  EXPECT_EQ(read("OTHER", "ComPort", "1"), "5");
  EXPECT_EQ(read("OPTION", "", "d"), "d");
}

TEST_F(ProfileFileTest, NamesMatchWithoutAsciiCase) {
  putFile(qpath(), "[option]\ncomPORT=5\n[\xC9t\xE9]\nk=latin\n");
  EXPECT_EQ(read("OPTION", "ComPort"), "5");
  EXPECT_EQ(read("Option", "COMPORT"), "5");
  EXPECT_EQ(read("\xC9t\xE9", "K"), "latin");
  // Only ASCII letters fold: E-acute and e-acute are different names.
  EXPECT_EQ(read("\xE9t\xE9", "k"), "DEF");
}

TEST_F(ProfileFileTest, ValuesLoseBlanksAndOnePairOfQuotes) {
  putFile(qpath(),
          "[S]\n"
          "  plain  =  a b \t\n"
          "quoted=\" x \"\n"
          "inner=\"a\"b\"\n"
          "open=\"abc\n"
          "lone=\"\n"
          "empty=\"\"\n"
          "single='q'\n"
          "twice=\"\"z\"\"\n");
  EXPECT_EQ(read("S", "plain"), "a b");
  EXPECT_EQ(read("S", " plain "), "a b");
  EXPECT_EQ(read("S", "quoted"), " x ");
  EXPECT_EQ(read("S", "inner"), "a\"b");
  EXPECT_EQ(read("S", "open"), "\"abc");
  EXPECT_EQ(read("S", "lone"), "\"");
  EXPECT_EQ(read("S", "empty"), "");
  EXPECT_EQ(read("S", "single"), "'q'");
  EXPECT_EQ(read("S", "twice"), "\"z\"");
}

TEST_F(ProfileFileTest, AnEmptyValueIsNotTheDefault) {
  putFile(qpath(), "[OPTION]\nComPort=\nComAutoRelease =   \n");
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "");
  EXPECT_EQ(read("OPTION", "ComAutoRelease", "0"), "");
}

TEST_F(ProfileFileTest, CommentsAndLinesOutsideSectionsAreSkipped) {
  putFile(qpath(),
          "ComPort=8\n"
          "; [OPTION]\n"
          "[OPTION] ; the utility's own\n"
          ";ComPort=9\n"
          "   ; ComAutoRelease=4\n"
          "ComPort=2\n");
  EXPECT_EQ(read("OPTION", "ComPort"), "2");
  EXPECT_EQ(read("OPTION", "ComAutoRelease"), "DEF");
  EXPECT_EQ(read("", "ComPort"), "DEF");
}

TEST_F(ProfileFileTest, FirstKeyWinsAndRepeatedSectionsAreSearched) {
  putFile(qpath(), "[A]\nk=1\nk=2\n[B]\nm=3\n[a]\nk=4\nn=5\n");
  EXPECT_EQ(read("A", "k"), "1");
  EXPECT_EQ(read("A", "n"), "5");
  EXPECT_EQ(read("B", "n"), "DEF");
}

TEST_F(ProfileFileTest, BrokenLinesGiveDefaultsAndDoNotHideTheRest) {
  const QByteArray longLine(300000, 'z');
  putFile(qpath(), "[OPTION\nComPort=5\nno equals sign here\n=7\n[\n" + longLine + "\n[OK]\n" + longLine +
                       "=long\nk=v\n[OPTION]\nComAutoRelease=1\n");
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "1");
  EXPECT_EQ(read("OPTION", "ComAutoRelease", "0"), "1");
  EXPECT_EQ(read("OK", "k"), "v");
  EXPECT_EQ(read("OK", bytes(longLine)), "long");
  EXPECT_EQ(read("OPTION", "no equals sign here"), "DEF");
}

TEST_F(ProfileFileTest, CrLfAndByteOrderMarkAreNotPartOfTheText) {
  putFile(qpath(), "\xEF\xBB\xBF[OPTION]\r\nComPort=3\r\nComAutoRelease=2\r\n");
  EXPECT_EQ(read("OPTION", "ComPort"), "3");
  EXPECT_EQ(read("OPTION", "ComAutoRelease"), "2");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "4"), "\xEF\xBB\xBF[OPTION]\r\nComPort=4\r\nComAutoRelease=2\r\n");
}

TEST_F(ProfileFileTest, EightBitTextsPassThroughUnchanged) {
  EXPECT_EQ(writeAndLoad("Z\xFC rich", "Gr\xFC\xDF", "\xE9t\xE9 \xB0"), "[Z\xFC rich]\nGr\xFC\xDF=\xE9t\xE9 \xB0\n");
  EXPECT_EQ(read("Z\xFC rich", "Gr\xFC\xDF"), "\xE9t\xE9 \xB0");
}

TEST_F(ProfileFileTest, AFileThatIsNotTextIsNeitherReadNorWritten) {
  QByteArray data("[OPTION]\nComPort=5\n");
  data.append('\0');
  data.append("\x01\xFF\xFE garbage\n");
  putFile(qpath(), data);
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "1");
  EXPECT_FALSE(ProfileFile::WriteString(path(), "OPTION", "ComPort", "3"));
  EXPECT_EQ(fileBytes(qpath()), data);
}

TEST_F(ProfileFileTest, AnOversizedFileIsNeitherReadNorWritten) {
  const QByteArray head("[OPTION]\nComPort=5\n");
  QByteArray data = head + "; " + QByteArray(ProfileFile::MaxFileSize - head.size() - 3, 'x') + "\n";
  ASSERT_EQ(data.size(), ProfileFile::MaxFileSize);
  putFile(qpath(), data);
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "5");  // the largest accepted size

  data.append('\n');
  putFile(qpath(), data);
  EXPECT_EQ(read("OPTION", "ComPort", "1"), "1");
  EXPECT_FALSE(ProfileFile::WriteString(path(), "OPTION", "ComPort", "3"));
  EXPECT_EQ(fileBytes(qpath()), data);
}

TEST_F(ProfileFileTest, AWriteThatWouldOutgrowTheLimitIsRefused) {
  const QByteArray data = "[S]\n; " + QByteArray(ProfileFile::MaxFileSize - 17, 'x') + "\n";
  ASSERT_EQ(data.size(), ProfileFile::MaxFileSize - 10);
  putFile(qpath(), data);
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "k", std::string(20, 'v')));
  EXPECT_EQ(fileBytes(qpath()), data);
  EXPECT_TRUE(ProfileFile::WriteString(path(), "S", "k", "v"));
}

TEST_F(ProfileFileTest, DirectoriesAndPipesAreNotProfiles) {
  ASSERT_TRUE(QDir().mkpath(qpath("adir")));
  EXPECT_EQ(ProfileFile::ReadString(path("adir"), "S", "k", "d"), "d");
  EXPECT_FALSE(ProfileFile::WriteString(path("adir"), "S", "k", "v"));
  EXPECT_TRUE(QFileInfo(qpath("adir")).isDir());

  // A reader that opened the pipe would wait for a writer forever.
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ProfileFile::ReadString(path("pipe"), "S", "k", "d"), "d");
  EXPECT_FALSE(ProfileFile::WriteString(path("pipe"), "S", "k", "v"));

  EXPECT_EQ(ProfileFile::ReadString("", "S", "k", "d"), "d");
  EXPECT_FALSE(ProfileFile::WriteString("", "S", "k", "v"));
}

TEST_F(ProfileFileTest, TheFirstWriteCreatesDirectoryAndFile) {
  const QString deep = tmp_.path() + "/a/b/c/p.ini";
  ASSERT_TRUE(ProfileFile::WriteString(QFile::encodeName(deep).toStdString(), "OPTION", "ComPort", "3"));
  EXPECT_EQ(fileBytes(deep), "[OPTION]\nComPort=3\n");
}

TEST_F(ProfileFileTest, AWriteChangesOnlyItsKeyLine) {
  const QByteArray before =
      "; settings\n"
      "\n"
      "[General]\n"
      "Colour = blue\n"
      "ComPort=9\n"
      "\n"
      "[OPTION]\n"
      "  ; port of the cable\n"
      "   comport  =  \"1\"   \n"
      "ComAutoRelease=0\n"
      "junk without equals\n"
      "[Last]\n"
      "x=y";
  putFile(qpath(), before);
  QByteArray expected = before;
  expected.replace("   comport  =  \"1\"   \n", "comport=3\n");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "3"), expected);
  expected.replace("ComAutoRelease=0\n", "ComAutoRelease=2\n");
  EXPECT_EQ(writeAndLoad("option", "COMAUTORELEASE", "2"), expected);
  expected.replace("x=y", "x=");
  EXPECT_EQ(writeAndLoad("Last", "x", ""), expected);
  EXPECT_EQ(read("Last", "x"), "");
}

TEST_F(ProfileFileTest, ANewKeyFollowsTheLastKeyLineOfItsSection) {
  putFile(qpath(), "[OPTION]\nComPort=3\n\n; next comes the rest\n[Other]\nk=v\n[OPTION]\nLater=1\n");
  EXPECT_EQ(writeAndLoad("OPTION", "ComAutoRelease", "2"),
            "[OPTION]\nComPort=3\nComAutoRelease=2\n\n; next comes the rest\n[Other]\nk=v\n[OPTION]\nLater=1\n");
  // A key already in the repeated section is rewritten there.
  EXPECT_EQ(writeAndLoad("OPTION", "later", "5"),
            "[OPTION]\nComPort=3\nComAutoRelease=2\n\n; next comes the rest\n[Other]\nk=v\n[OPTION]\nLater=5\n");
}

TEST_F(ProfileFileTest, ANewKeyInASectionWithoutKeysFollowsItsHeader) {
  putFile(qpath(), "[OPTION]\n; nothing yet\n[Other]\nk=v\n");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "3"), "[OPTION]\nComPort=3\n; nothing yet\n[Other]\nk=v\n");

  putFile(qpath(), "[Other]\nk=v\n[OPTION]");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "3"), "[Other]\nk=v\n[OPTION]\nComPort=3\n");

  putFile(qpath(), "[OPTION]\r\nComPort=1");
  EXPECT_EQ(writeAndLoad("OPTION", "ComAutoRelease", "0"), "[OPTION]\r\nComPort=1\r\nComAutoRelease=0\r\n");
}

TEST_F(ProfileFileTest, ANewSectionGoesAtTheEndInTheFilesLineEnding) {
  putFile(qpath(), "[Other]\r\nk=v\r\n");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "3"), "[Other]\r\nk=v\r\n[OPTION]\r\nComPort=3\r\n");

  putFile(qpath(), "[Other]\nk=v");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "3"), "[Other]\nk=v\n[OPTION]\nComPort=3\n");

  putFile(qpath(), "");
  EXPECT_EQ(writeAndLoad(" OPTION ", " ComPort ", "3"), "[OPTION]\nComPort=3\n");

  // Keys under a header without ']' are not in the section.
  putFile(qpath(), "[OPTION\nComPort=1\n");
  EXPECT_EQ(writeAndLoad("OPTION", "ComPort", "3"), "[OPTION\nComPort=1\n[OPTION]\nComPort=3\n");
}

TEST_F(ProfileFileTest, NamesAndValuesThatWouldNotReadBackAreRefused) {
  putFile(qpath(), "[S]\nk=v\n");
  const QByteArray before = fileBytes(qpath());
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "k", "two\nlines"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "k", "cr\r"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "k", std::string("nul\0", 4)));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "", "v"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "  ", "v"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "a=b", "v"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", "[k", "v"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S", ";k", "v"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S]", "k", "v"));
  EXPECT_FALSE(ProfileFile::WriteString(path(), "S\n", "k", "v"));
  EXPECT_EQ(fileBytes(qpath()), before);
  EXPECT_FALSE(ProfileFile::WriteString(path("new.ini"), "S", "k", "a\nb"));
  EXPECT_FALSE(QFile::exists(qpath("new.ini")));
}

TEST_F(ProfileFileTest, AChangeReplacesTheFileAndLeavesNoTemporaryFiles) {
  putFile(qpath(), "[S]\nk=v\n");
  ASSERT_TRUE(QFile::setPermissions(qpath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
  const ino_t first = inodeOf(qpath());
  ASSERT_NE(first, 0u);

  EXPECT_EQ(writeAndLoad("S", "k", "v"), "[S]\nk=v\n");
  EXPECT_EQ(inodeOf(qpath()), first);  // nothing to change, nothing written

  EXPECT_EQ(writeAndLoad("S", "k", "w"), "[S]\nk=w\n");
  EXPECT_NE(inodeOf(qpath()), first);  // a new file took the old one's place
  EXPECT_EQ(QFile::permissions(qpath()) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::WriteGroup | QFile::ReadOther),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
  EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"p.ini"});
}

TEST_F(ProfileFileTest, AFailedWriteKeepsTheOldFile) {
  const QString locked = tmp_.path() + "/locked";
  ASSERT_TRUE(QDir().mkpath(locked));
  const QByteArray before = "; keep me\n[OPTION]\nComPort=4\n";
  putFile(locked + "/p.ini", before);
  ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
  const bool permissionsHold = !canCreateIn(locked);

  std::string target = QFile::encodeName(locked + "/p.ini").toStdString();
  QString checked = locked + "/p.ini";
  if (!permissionsHold) {
    // Running as the super-user: a file cannot become a directory, whoever asks.
    putFile(qpath("plain"), before);
    target = path("plain") + "/p.ini";
    checked = qpath("plain");
  }
  EXPECT_FALSE(ProfileFile::WriteString(target, "OPTION", "ComPort", "7"));
  EXPECT_EQ(fileBytes(checked), before);
  EXPECT_EQ(ProfileFile::ReadString(target, "OPTION", "ComPort", "1"), permissionsHold ? "4" : "1");
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace
