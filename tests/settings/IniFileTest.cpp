// Behaviour of the INI file layer: name matching, value forms, kept lines,
// decoding, and a save that never leaves a damaged file behind.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/IniFile.h"
#include "tests/settings/FileFaults.h"

namespace {

class IniTest : public ::testing::Test {
 protected:
  QString path() const { return m_dir.filePath(QStringLiteral("test.ini")); }
  // An IniFile loaded from the given file content.
  IniFile loaded(const QByteArray& content) {
    writeBytes(path(), content);
    IniFile ini(path());
    ini.load();
    return ini;
  }
  QTemporaryDir m_dir;
};

using IniNames = IniTest;
using IniNumbers = IniTest;
using IniTime = IniTest;
using IniLines = IniTest;
using IniEncoding = IniTest;
using IniSave = IniTest;

const QString S = QStringLiteral("Settings");

TEST_F(IniNames, WriteOfKeyInOtherCase_ReplacesTheEntryInPlace) {
  IniFile ini = loaded("[Settings]\nrefreshinterval=3\nScrollTime=8\n");
  ini.writeInteger(S, QStringLiteral("RefreshInterval"), 5);
  EXPECT_EQ(ini.lines(), QStringList({"[Settings]", "RefreshInterval=5", "ScrollTime=8"}));
}

TEST_F(IniNames, RepeatedKey_FirstOneCountsForReadAndWrite) {
  IniFile ini = loaded("[Settings]\nFontsize=12\nFontsize=20\n");
  EXPECT_EQ(ini.readInteger(S, QStringLiteral("Fontsize"), 11), 12);
  ini.writeInteger(S, QStringLiteral("Fontsize"), 14);
  EXPECT_EQ(ini.lines(), QStringList({"[Settings]", "Fontsize=14", "Fontsize=20"}));
}

TEST_F(IniNames, KeyOfAnotherSection_IsNotFound) {
  const IniFile ini = loaded("[Pfade]\nFontsize=12\n[Settings]\n");
  EXPECT_EQ(ini.readInteger(S, QStringLiteral("Fontsize"), 11), 11);
}

TEST_F(IniNumbers, HexWithAnyPrefix_ReadsAsHex) {
  const IniFile ini = loaded("[Settings]\na=0x10\nb=$10\nc=0X1f\nd=$FFFFFFFF\n");
  EXPECT_EQ(ini.readInteger(S, "a", 0), 16);
  EXPECT_EQ(ini.readInteger(S, "b", 0), 16);
  EXPECT_EQ(ini.readInteger(S, "c", 0), 31);
  EXPECT_EQ(ini.readInteger(S, "d", 0), -1);
}

TEST_F(IniNumbers, SignedDecimal_Reads) {
  const IniFile ini = loaded("[Settings]\na=-20\nb=+7\nc= 42 \n");
  EXPECT_EQ(ini.readInteger(S, "a", 0), -20);
  EXPECT_EQ(ini.readInteger(S, "b", 0), 7);
  EXPECT_EQ(ini.readInteger(S, "c", 0), 42);
}

TEST_F(IniNumbers, AnythingElse_GivesTheDefault) {
  for (const char* text : {"", "abc", "12abc", "1.5", "0x", "$", "-", "0x1G", "2147483648", "99999999999",
                           "$123456789", "- 1", "True"}) {
    const IniFile ini = loaded(QByteArray("[Settings]\nn=") + text + "\n");
    EXPECT_EQ(ini.readInteger(S, "n", 77), 77) << text;
  }
}

TEST_F(IniNumbers, ExtremesOf32Bits_Read) {
  const IniFile ini = loaded("[Settings]\na=2147483647\nb=-2147483648\n");
  EXPECT_EQ(ini.readInteger(S, "a", 0), 2147483647);
  EXPECT_EQ(ini.readInteger(S, "b", 0), -2147483647 - 1);
}

TEST_F(IniNumbers, FlagTrueText_GivesDefault_AndAnyNonZeroIsOn) {
  const IniFile ini = loaded("[Settings]\na=True\nb=2\nc=0\nd=-1\n");
  EXPECT_FALSE(ini.readBool(S, "a", false));
  EXPECT_TRUE(ini.readBool(S, "a", true));
  EXPECT_TRUE(ini.readBool(S, "b", false));
  EXPECT_FALSE(ini.readBool(S, "c", true));
  EXPECT_TRUE(ini.readBool(S, "d", false));
}

TEST_F(IniTime, GermanLocale_WritesLongFormAndReadsItBack) {
  const QLocale german(QLocale::German, QLocale::Germany);
  IniFile ini(path());
  ini.writeTime(S, "Haltbarkeit", QTime(18, 0), german);
  EXPECT_EQ(ini.lines().last(), QStringLiteral("Haltbarkeit=18:00:00"));
  EXPECT_EQ(ini.readTime(S, "Haltbarkeit", QTime(), german), QTime(18, 0));
}

TEST_F(IniTime, LocaleWithDotSeparator_WritesAndReadsDots) {
  const QLocale finnish(QLocale::Finnish, QLocale::Finland);
  IniFile ini(path());
  ini.writeTime(S, "t", QTime(7, 45, 30), finnish);
  EXPECT_EQ(ini.lines().last(), QStringLiteral("t=07.45.30"));
  EXPECT_EQ(ini.readTime(S, "t", QTime(), finnish), QTime(7, 45, 30));
}

TEST_F(IniTime, WithoutSecondsOrWithOneDigitHour_Reads) {
  const QLocale german(QLocale::German);
  const IniFile ini = loaded("[Settings]\na=18:30\nb=7:05\nc=7:05:09\n");
  EXPECT_EQ(ini.readTime(S, "a", QTime(), german), QTime(18, 30));
  EXPECT_EQ(ini.readTime(S, "b", QTime(), german), QTime(7, 5));
  EXPECT_EQ(ini.readTime(S, "c", QTime(), german), QTime(7, 5, 9));
}

TEST_F(IniTime, EmptyOrNoTime_GivesTheDefault) {
  const QTime fallback(18, 0);
  for (const char* text : {"", "abc", "18", "24:00", "18:60", "18:30:60", "18:30:00:00", "18::30", "-1:30",
                           "18:3x", "123:00"}) {
    const IniFile ini = loaded(QByteArray("[Settings]\nt=") + text + "\n");
    EXPECT_EQ(ini.readTime(S, "t", fallback, QLocale(QLocale::German)), fallback) << text;
  }
}

TEST_F(IniLines, CommentsBlankAndUnknownLines_SurviveARewrite) {
  const QByteArray content = "; written by hand\n[Settings]\n# note\nnot an entry\n\nFontsize=12\n[Other]\nx=1\n";
  IniFile ini = loaded(content);
  ini.writeInteger(S, "Fontsize", 14);
  ini.save();
  QByteArray expected = content;
  expected.replace("Fontsize=12", "Fontsize=14");
  EXPECT_EQ(readBytes(path()), expected);
}

TEST_F(IniLines, MissingKey_GoesAfterLastEntryOfItsSection) {
  IniFile ini = loaded("[Pfade]\nDatenpfad=/a/\n\n; about settings\n[Settings]\nx=1\n");
  ini.writeString("Pfade", "PfadBenachrichtigungen", "/b/");
  EXPECT_EQ(ini.lines(), QStringList({"[Pfade]", "Datenpfad=/a/", "PfadBenachrichtigungen=/b/", "",
                                      "; about settings", "[Settings]", "x=1"}));
}

TEST_F(IniLines, MissingSection_IsAppendedAtTheEnd) {
  IniFile ini = loaded("[Pfade]\nDatenpfad=/a/\n");
  ini.writeBool(S, "AutoScroll", true);
  EXPECT_EQ(ini.lines(), QStringList({"[Pfade]", "Datenpfad=/a/", "[Settings]", "AutoScroll=1"}));
}

TEST_F(IniLines, CrlfFile_ReadsCleanValuesAndKeepsCrlf) {
  IniFile ini = loaded("[Pfade]\r\nDatenpfad=C:\\Plan\\\r\n");
  EXPECT_EQ(ini.readString("Pfade", "Datenpfad", ""), QStringLiteral("C:\\Plan\\"));
  ini.writeString("Pfade", "PfadBenachrichtigungen", "x");
  ini.save();
  EXPECT_EQ(readBytes(path()), QByteArray("[Pfade]\r\nDatenpfad=C:\\Plan\\\r\nPfadBenachrichtigungen=x\r\n"));
}

TEST_F(IniLines, ValueWithLineBreak_StaysOneEntry) {
  IniFile ini(path());
  ini.writeString(S, "a", "one\ntwo");
  ini.writeString(S, "b", "x");
  ini.save();
  ini.load();
  EXPECT_EQ(ini.readString(S, "a", ""), QStringLiteral("one two"));
  EXPECT_EQ(ini.readString(S, "b", ""), QStringLiteral("x"));
}

TEST_F(IniLines, LongValue_IsCutAt2047Characters) {
  const QByteArray longPath(5000, 'p');
  const IniFile ini = loaded("[Pfade]\nDatenpfad=" + longPath + "\n");
  EXPECT_EQ(ini.readString("Pfade", "Datenpfad", ""), QString(2047, u'p'));
}

TEST_F(IniEncoding, Windows1252Bytes_ReadAsTheirCharacters) {
  const IniFile ini = loaded("[Pfade]\nDatenpfad=\\\\server\\Gymnasium M\xfcnchen\\\nx=\x80 \x9f\n");
  EXPECT_EQ(ini.readString("Pfade", "Datenpfad", ""), QStringLiteral("\\\\server\\Gymnasium München\\"));
  EXPECT_EQ(ini.readString("Pfade", "x", ""), QStringLiteral("€ Ÿ"));
}

TEST_F(IniEncoding, Utf8LinesBesideAnsiLines_BothRead) {
  const IniFile ini = loaded("\xEF\xBB\xBF[Pfade]\na=M\xc3\xbcnchen\nb=M\xfcnchen\n");
  EXPECT_EQ(ini.readString("Pfade", "a", ""), QStringLiteral("München"));
  EXPECT_EQ(ini.readString("Pfade", "b", ""), QStringLiteral("München"));
}

TEST_F(IniEncoding, Save_WritesUtf8) {
  IniFile ini = loaded("[Pfade]\na=M\xfcnchen\n");
  ini.save();
  EXPECT_EQ(readBytes(path()), QByteArray("[Pfade]\na=M\xc3\xbcnchen\n"));
}

TEST_F(IniSave, FolderInPlaceOfTheFile_LoadFailsNamingTheFile) {
  ASSERT_TRUE(QDir().mkpath(path()));
  IniFile ini(path());
  try {
    ini.load();
    FAIL() << "load of a folder succeeded";
  } catch (const IniFileError& error) {
    EXPECT_EQ(error.fileName(), path());
    EXPECT_TRUE(QString::fromStdString(error.what()).contains(path()));
  }
}

TEST_F(IniSave, DiskFull_ThrowsAndLeavesTheOldFileWhole) {
  const QByteArray old = "[Settings]\na=1\n";
  IniFile ini = loaded(old);
  ini.writeString(S, "b", QString(4000, u'x'));
  {
    FullDisk disk(1000);
    EXPECT_THROW(ini.save(), IniFileError);
  }
  EXPECT_EQ(readBytes(path()), old);
}

TEST_F(IniSave, ProcessKilledMidWrite_LeavesTheOldFileWhole) {
  const QByteArray old = "[Settings]\na=1\n";
  IniFile ini = loaded(old);
  ini.writeString(S, "b", QString(100000, u'x'));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The size limit's signal kills the child in the middle of its write.
    std::signal(SIGXFSZ, SIG_DFL);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit limit{5000, 5000};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      ini.save();
    } catch (...) {
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "child was not stopped mid-write";
  EXPECT_EQ(readBytes(path()), old);
}

}  // namespace
