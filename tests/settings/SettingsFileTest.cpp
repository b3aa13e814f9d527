// Behaviour of ReadSettings, ReadDefaultDatenpfad and WriteSettings on
// "Zova-Monitor.ini": defaults, key names, the Zova.ini fallback, the two
// error messages and what a failed write leaves behind.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "tests/settings/FileFaults.h"

namespace {

// Each test gets its own application-data folder; the settings start zeroed
// with Haltbarkeit's default 18:00, as the main window sets it before reading.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    SetupSettingsFolders();
    Settings = SettingsValues{};
    Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  }
  QString iniPath() const { return Einstellungspfad + "Zova-Monitor.ini"; }
  void writeIni(const QByteArray& content) { writeBytes(iniPath(), content); }
  // Names of the keys in the settings file, in file order, sections as "[Name]".
  QStringList namesInFile() const {
    IniFile ini(iniPath());
    ini.load();
    QStringList names;
    for (const QString& line : ini.lines()) names << (line.startsWith('[') ? line : line.section('=', 0, 0));
    return names;
  }
  QTemporaryDir m_dir;
  msgbox::Recorder m_messages;
};

using SettingsRead = SettingsTest;
using SettingsWrite = SettingsTest;
using SettingsFallback = SettingsTest;
using SettingsFolders = SettingsTest;

const QStringList kWriteOrder = {
    "[Pfade]",     "Datenpfad",   "PfadBenachrichtigungen", "[Settings]",   "ShowStatusPanel",
    "ShowSteuerPanel", "Vollbild", "AutoScroll",            "InfoTyp",      "LastTyp",
    "RefreshInterval", "ScrollTime", "Fontsize",            "AnzeigeTage",  "Haltbarkeit",
    "Left",        "Top",         "Height",                 "Width",        "WindowMax",
    "ShowALehrer", "ShowAKlassen", "ShowAKurse",            "ShowARaeume",  "ShowBLehrer",
    "ShowBKlassen", "KarenzZeit"};

void expectDefaults() {
  const SettingsValues& s = Settings;
  EXPECT_EQ(s.Datenpfad, QString());
  EXPECT_EQ(s.PfadBenachrichtigungen, QString());
  EXPECT_TRUE(s.ShowStatusPanel && s.ShowSteuerPanel);
  EXPECT_FALSE(s.AutoScroll || s.Vollbild || s.WindowMax);
  EXPECT_EQ(s.InfoTyp, 0);
  EXPECT_EQ(s.LastTyp, 0);
  EXPECT_EQ(s.Refreshinterval, 1);
  EXPECT_EQ(s.ScrollTime, 8);
  EXPECT_EQ(s.Fontsize, 11);
  EXPECT_EQ(s.AnzeigeTage, 2);
  EXPECT_EQ(s.Haltbarkeit, zdt::encodeTime(18, 0));
  EXPECT_EQ(s.Left, 50);
  EXPECT_EQ(s.Top, 50);
  EXPECT_EQ(s.Height, 500);
  EXPECT_EQ(s.Width, 700);
  EXPECT_TRUE(s.ShowALehrer && s.ShowAKlassen && s.ShowAKurse && s.ShowARaeume && s.ShowBLehrer && s.ShowBKlassen);
  EXPECT_EQ(s.KarenzZeit, 5);
}

TEST_F(SettingsFolders, SettingsFolderIsCreated_PlanProducerFolderIsNot) {
  EXPECT_EQ(Einstellungspfad, m_dir.path() + "/Kelvaro/Zova-Monitor/");
  EXPECT_EQ(Pfad2007, m_dir.path() + "/Kelvaro/Zentrova2007/");
  EXPECT_TRUE(QFileInfo(Einstellungspfad).isDir());
  EXPECT_FALSE(QFileInfo::exists(Pfad2007));
}

TEST_F(SettingsRead, NoFile_GivesEveryDefaultWithoutMessage) {
  EXPECT_TRUE(ReadSettings());
  expectDefaults();
  EXPECT_TRUE(m_messages.texts.isEmpty());
}

TEST_F(SettingsRead, EmptyFile_GivesEveryDefault) {
  writeIni("");
  ReadSettings();
  expectDefaults();
}

TEST_F(SettingsRead, ValuesOfEveryForm_AreRead) {
  writeIni("[pfade]\ndatenpfad=/srv/plan/\n[SETTINGS]\nrefreshinterval=3\nFontsize=0x10\nAutoScroll=2\n"
           "Vollbild=True\nInfoTyp=257\nLastTyp=-1\nHaltbarkeit=18:30\nLeft=-20\nScrollTime=$10\nTop=0X10\n");
  ReadSettings();
  EXPECT_EQ(Settings.Datenpfad, QStringLiteral("/srv/plan/"));
  EXPECT_EQ(Settings.Refreshinterval, 3);
  EXPECT_EQ(Settings.Fontsize, 16);
  EXPECT_EQ(Settings.ScrollTime, 16);
  EXPECT_EQ(Settings.Top, 16);
  EXPECT_TRUE(Settings.AutoScroll);
  EXPECT_FALSE(Settings.Vollbild);
  EXPECT_EQ(Settings.InfoTyp, 1);
  EXPECT_EQ(Settings.LastTyp, 255);
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(18, 30));
  EXPECT_EQ(Settings.Left, -20);
}

TEST_F(SettingsRead, InvalidValues_GiveTheirDefaults) {
  writeIni("[Settings]\nFontsize=big\nKarenzZeit=\nHaltbarkeit=tomorrow\nWidth=1.5e3\nShowBLehrer=yes\n");
  ReadSettings();
  EXPECT_EQ(Settings.Fontsize, 11);
  EXPECT_EQ(Settings.KarenzZeit, 5);
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(18, 0));
  EXPECT_EQ(Settings.Width, 700);
  EXPECT_TRUE(Settings.ShowBLehrer);
}

TEST_F(SettingsRead, UnreadableFile_ShowsReadErrorAndStartsWithTheDefaults) {
  // A folder where the file should be: unreadable even for root.
  ASSERT_TRUE(QDir().mkpath(iniPath()));
  Settings = SettingsValues{};  // as before the first reading: all zero
  Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  EXPECT_FALSE(ReadSettings());
  EXPECT_EQ(m_messages.texts, QStringList("Fehler beim Lesen der Datei " + Einstellungspfad + "Zova-Monitor.INI"));
  // Never a poll interval of 0 or a window of 0 x 0 after a failed read.
  EXPECT_EQ(Settings.Refreshinterval, 1);
  EXPECT_EQ(Settings.Fontsize, 11);
  EXPECT_EQ(Settings.Width, 700);
  EXPECT_EQ(Settings.Height, 500);
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(18, 0));
}

TEST_F(SettingsWrite, FirstWrite_CreatesPfadeFirstAndAllKeysInWriteOrder) {
  ReadSettings();
  WriteSettings();
  EXPECT_EQ(namesInFile(), kWriteOrder);
  EXPECT_TRUE(m_messages.texts.isEmpty());
}

// Every field, for comparing whole sets of settings.
auto fieldsOf(const SettingsValues& s) {
  return std::make_tuple(s.Datenpfad.toStdString(), s.PfadBenachrichtigungen.toStdString(), s.ShowStatusPanel,
                         s.ShowSteuerPanel, s.AutoScroll, s.Vollbild, s.InfoTyp, s.LastTyp, s.Refreshinterval,
                         s.ScrollTime, s.Fontsize, s.AnzeigeTage, s.Haltbarkeit, s.Left, s.Top, s.Height, s.Width,
                         s.WindowMax, s.ShowALehrer, s.ShowAKlassen, s.ShowAKurse, s.ShowARaeume, s.ShowBLehrer,
                         s.ShowBKlassen, s.KarenzZeit);
}

TEST_F(SettingsWrite, WriteThenRead_RestoresEveryNonDefaultValue) {
  ReadSettings();
  // Every value differs from its default, so a key lost on the way shows.
  Settings = SettingsValues{"/p/", "/n/", false, false, true, true, 1, 1, 7, 9, 12, 3, zdt::encodeTime(23, 45),
                            -4, -5, 600, 800, true, false, false, false, false, false, false, 30};
  const SettingsValues written = Settings;
  WriteSettings();
  Settings = SettingsValues{};
  ReadSettings();
  EXPECT_EQ(fieldsOf(Settings), fieldsOf(written));
}

TEST_F(SettingsWrite, EachShowFlag_KeepsItsOwnValueAcrossARestart) {
  bool SettingsValues::*const flags[] = {&SettingsValues::ShowALehrer, &SettingsValues::ShowAKlassen,
                                         &SettingsValues::ShowAKurse,  &SettingsValues::ShowARaeume,
                                         &SettingsValues::ShowBLehrer, &SettingsValues::ShowBKlassen};
  for (const auto off : flags) {
    ReadSettings();
    for (const auto flag : flags) Settings.*flag = flag != off;
    WriteSettings();
    Settings = SettingsValues{};
    ReadSettings();
    for (const auto flag : flags) EXPECT_EQ(Settings.*flag, flag != off);
  }
}

TEST_F(SettingsWrite, KeyOfOtherCase_IsReplacedNotRepeated) {
  writeIni("[Settings]\nrefreshinterval=3\n");
  ReadSettings();
  Settings.Refreshinterval = 4;
  WriteSettings();
  EXPECT_EQ(namesInFile().filter("refreshinterval", Qt::CaseInsensitive), QStringList("RefreshInterval"));
  EXPECT_TRUE(readBytes(iniPath()).contains("RefreshInterval=4\n"));
}

TEST_F(SettingsWrite, UnknownLinesAndKeys_Survive) {
  writeIni("; kept comment\n[Pfade]\nArchiv=/old/\n[Extra]\nFarbe=rot\n");
  ReadSettings();
  WriteSettings();
  const QByteArray content = readBytes(iniPath());
  EXPECT_TRUE(content.startsWith("; kept comment\n[Pfade]\nArchiv=/old/\nDatenpfad="));
  EXPECT_TRUE(content.contains("[Extra]\nFarbe=rot\n"));
}

TEST_F(SettingsWrite, SettingsFolderIsAFile_ShowsWriteError) {
  // Root ignores permissions; a regular file in place of the folder cannot
  // hold a settings file for anyone.
  QDir(Einstellungspfad).removeRecursively();
  writeBytes(QDir::cleanPath(Einstellungspfad), "not a folder");
  ReadSettings();
  Settings.Fontsize = 14;
  WriteSettings();
  EXPECT_EQ(m_messages.texts,
            QStringList("Fehler beim Schreiben der Datei " + Einstellungspfad + "Zova-Monitor.ini"));
  EXPECT_EQ(Settings.Fontsize, 14);
}

TEST_F(SettingsWrite, DiskFull_ShowsWriteErrorAndOldFileStaysWhole) {
  const QByteArray old = "[Settings]\nFontsize=12\n";
  writeIni(old);
  ReadSettings();
  Settings.Fontsize = 14;
  {
    FullDisk disk(100);  // the old file fits, the new one does not
    WriteSettings();
  }
  EXPECT_EQ(m_messages.texts,
            QStringList("Fehler beim Schreiben der Datei " + Einstellungspfad + "Zova-Monitor.ini"));
  EXPECT_EQ(readBytes(iniPath()), old);
  EXPECT_EQ(QDir(Einstellungspfad).entryList(QDir::Files), QStringList("Zova-Monitor.ini"));
}

TEST_F(SettingsFallback, EmptyDatenpfad_TakesInternetpfadAndWritesItBack) {
  QDir().mkpath(Pfad2007);
  writeBytes(Pfad2007 + "Zova.ini", "[Settings]\r\nInternetpfad=\\\\srv\\Gymnasium M\xfcnchen\\Plan\\\r\n");
  writeIni("[Pfade]\nDatenpfad=\n");
  ReadSettings();
  EXPECT_EQ(Settings.Datenpfad, QStringLiteral("\\\\srv\\Gymnasium München\\Plan\\"));
  WriteSettings();
  EXPECT_TRUE(readBytes(iniPath()).contains("Datenpfad=\\\\srv\\Gymnasium M\xc3\xbcnchen\\Plan\\\n"));
}

TEST_F(SettingsFallback, OwnDatenpfad_IgnoresZovaIni) {
  QDir().mkpath(Pfad2007);
  writeBytes(Pfad2007 + "Zova.ini", "[Settings]\nInternetpfad=/other/\n");
  writeIni("[Pfade]\nDatenpfad=/own/\n");
  ReadSettings();
  EXPECT_EQ(Settings.Datenpfad, QStringLiteral("/own/"));
}

TEST_F(SettingsFallback, UnreadableZovaIni_LeavesDatenpfadEmptySilently) {
  ASSERT_TRUE(QDir().mkpath(Pfad2007 + "Zova.ini"));  // a folder: unreadable even for root
  ReadSettings();
  EXPECT_EQ(Settings.Datenpfad, QString());
  EXPECT_TRUE(m_messages.texts.isEmpty());
}

}  // namespace
