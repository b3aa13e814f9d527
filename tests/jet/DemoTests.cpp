// The demo tool: its files are real Jet files with every table and column the
// monitor reads, its plan days follow the (fixed) clock and skip weekends, an
// update re-exports only today's days, and bad data folders fail cleanly.
#include "DemoFiles.h"
#include "DemoPlan.h"
#include "JetReaders.h"
#include "tests/support/MissingTool.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace jettest;

namespace {

// Wednesday, 9 December 2026, 08:00.
const QDate kWednesday(2026, 12, 9);
TDateTime wednesdayMorning() { return zdt::fromDate(kWednesday) + zdt::encodeTime(8, 0); }

const jet::Table* findTable(const jet::Database& database, const QString& name) {
  for (const jet::Table& table : database.tables())
    if (table.name == name) return &table;
  return nullptr;
}

int columnIndex(const jet::Table& table, const QString& name) {
  for (int i = 0; i < table.columns.size(); ++i)
    if (table.columns[i].name == name) return i;
  return -1;
}

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    zdt::setFixedNow(wednesdayMorning());
  }
  void TearDown() override { zdt::setClock({}); }

  QString dataDir() const { return m_dir.filePath("data"); }
  QString planFile() const { return QDir(dataDir()).filePath(demo::kPlanFileName); }

  // The npm reader's view of a demo file; fails the test when unreadable.
  QJsonObject readFile(const QString& path) {
    QString error;
    const auto database = readWithNpm(path, &error);
    EXPECT_TRUE(database.has_value()) << error.toStdString();
    return database.value_or(QJsonObject());
  }

  QTemporaryDir m_dir;
};

// Column name -> column of a table as read back.
std::map<QString, int> columnsByName(const QJsonObject& table) {
  std::map<QString, int> columns;
  const QJsonArray list = table["columns"].toArray();
  for (int i = 0; i < list.size(); ++i) columns[list[i]["name"].toString()] = i;
  return columns;
}

// Druckdatum per plan day (keyed by the stored Datum bits) of a stat table.
std::map<QString, QString> printTexts(const QJsonObject& table) {
  const auto columns = columnsByName(table);
  std::map<QString, QString> texts;
  for (const QJsonValue row : table["rows"].toArray())
    texts[row[columns.at("Datum")].toString()] = row[columns.at("Druckdatum")].toString();
  return texts;
}

}  // namespace

TEST(DemoDays, OnAWednesday_AreTodayAndTheNextThreeSchoolDays) {
  EXPECT_EQ(demo::planDays(kWednesday),
            (QVector<QDate>{kWednesday, QDate(2026, 12, 10), QDate(2026, 12, 11), QDate(2026, 12, 14)}));
}

TEST(DemoDays, OnAFriday_SkipTheWeekend) {
  EXPECT_EQ(demo::planDays(QDate(2026, 12, 11)),
            (QVector<QDate>{QDate(2026, 12, 11), QDate(2026, 12, 14), QDate(2026, 12, 15), QDate(2026, 12, 16)}));
}

TEST(DemoDays, OnASaturdayOrSunday_StartAtMonday) {
  const QVector<QDate> fromMonday{QDate(2026, 12, 14), QDate(2026, 12, 15), QDate(2026, 12, 16), QDate(2026, 12, 17)};
  EXPECT_EQ(demo::planDays(QDate(2026, 12, 12)), fromMonday);
  EXPECT_EQ(demo::planDays(QDate(2026, 12, 13)), fromMonday);
}

TEST(DemoDays, LongDate_IsGerman) {
  EXPECT_EQ(demo::longGermanDate(kWednesday), "Mittwoch, 9. Dezember 2026");
  EXPECT_EQ(demo::longGermanDate(QDate(2027, 3, 1)), "Montag, 1. März 2027");
}

TEST_F(Demo, Files_HaveEveryTableAndColumnTheMonitorReads) {
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  demo::writeDemo(dataDir(), {}, false, zdt::now());
  QStringList statColumns = {"Datum", "DruckZeit", "Datumlang", "Version", "Druckdatum", "Ueberschrift", "Schulname",
                             "Aushangort", "Gezeichnet", "H1", "H2", "H3", "H4", "H5", "H6", "H7", "AbwKlassen",
                             "AbwLehrer", "AbwKurse", QString::fromUtf8("FehlRäume"), "BetrLehrer", "BetrKlassen",
                             "BitteBeachten", "BitteRTF"};
  const QStringList dynColumns = {"ID", "Datum", "F1", "F2", "F3", "F4", "F5", "F6", "F7"};
  const QStringList noteColumns = {"ID", "Status", "Valid", "SetTime", "RueckTime", "Datum", "Stunde",
                                   "Lehrer", "Klasse", "Fach", "Bemerkung", "Telefon", "Kopie", "TAN"};
  const QJsonObject plan = readFile(planFile());
  const std::map<QString, QStringList> expected = {{"TStatTextAula", statColumns}, {"TStatTextLehrer", statColumns},
                                                   {"TDynTextAula", dynColumns},   {"TDynTextLehrer", dynColumns}};
  for (const auto& [name, columns] : expected) {
    const QJsonObject table = npmTable(plan, name);
    ASSERT_FALSE(table.isEmpty()) << name.toStdString();
    QStringList found;
    for (const QJsonValue column : table["columns"].toArray()) found << column["name"].toString();
    EXPECT_EQ(found, columns) << name.toStdString();
    EXPECT_FALSE(table["rows"].toArray().isEmpty()) << name.toStdString();
  }
  const QJsonObject notes = npmTable(readFile(QDir(dataDir()).filePath(demo::kNotificationFileName)),
                                     "BenachrichtigungsTabelle");
  QStringList found;
  for (const QJsonValue column : notes["columns"].toArray()) found << column["name"].toString();
  EXPECT_EQ(found, noteColumns);
  EXPECT_TRUE(mdbSchema(QDir(dataDir()).filePath(demo::kNotificationFileName)).contains("BenachrichtigungsTabelle"));
}

TEST_F(Demo, PlanFile_HoldsTodayAndTheNextSchoolDaysAtMidnight) {
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  demo::writeDemo(dataDir(), {}, false, zdt::now());
  const QJsonObject plan = readFile(planFile());
  for (const char* name : {"TStatTextAula", "TStatTextLehrer"}) {
    const auto texts = printTexts(npmTable(plan, name));
    ASSERT_EQ(texts.size(), 4u) << name;
    for (const QDate& day : demo::planDays(kWednesday))
      EXPECT_EQ(texts.count(doubleHex(zdt::fromDate(day))), 1u) << name << " " << day.toString().toStdString();
  }
}

TEST_F(Demo, DayHeaders_CarryDateVersionAndAnHourOldPrintTime) {
  const jet::Database plan = demo::planDatabase(zdt::now(), false);
  const jet::Table* stat = findTable(plan, "TStatTextAula");
  ASSERT_NE(stat, nullptr);
  const jet::Row& today = stat->rows.first();
  EXPECT_EQ(today[columnIndex(*stat, "Datum")].toDouble(), zdt::fromDate(kWednesday));
  EXPECT_EQ(today[columnIndex(*stat, "Datumlang")].toString(), "Mittwoch, 9. Dezember 2026");
  EXPECT_EQ(today[columnIndex(*stat, "Version")].toString(), "Version 2026-12-09a");
  EXPECT_EQ(today[columnIndex(*stat, "Druckdatum")].toString(), "09.12.2026 07:00");
  EXPECT_DOUBLE_EQ(today[columnIndex(*stat, "DruckZeit")].toDouble(), zdt::now() - 1.0 / 24.0);
  EXPECT_EQ(today[columnIndex(*stat, "H1")].toString(), "Klasse");
  const jet::Table* teachers = findTable(plan, "TStatTextLehrer");
  ASSERT_NE(teachers, nullptr);
  EXPECT_EQ(teachers->rows.first()[columnIndex(*teachers, "H1")].toString(), "Lehrer");
}

TEST_F(Demo, Notice_IsRichTextAsAnEditControlWritesIt) {
  const jet::Database plan = demo::planDatabase(zdt::now(), false);
  const jet::Table* stat = findTable(plan, "TStatTextAula");
  ASSERT_NE(stat, nullptr);
  const QString rtf = stat->rows.first()[columnIndex(*stat, "BitteRTF")].toString();
  EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}"));
  for (const char* control : {"\\b ", "\\b0", "\\cf1", "\\cf0", "\\tab", "\\'e4", "\\par"})
    EXPECT_TRUE(rtf.contains(control)) << control;
  const QString plain = stat->rows.first()[columnIndex(*stat, "BitteBeachten")].toString();
  EXPECT_TRUE(plain.contains(QString::fromUtf8("Räume")) && plain.contains('\t'));
}

TEST_F(Demo, SubstitutionRows_AreGroupedOrderedAndOneDayPages) {
  const jet::Database plan = demo::planDatabase(zdt::now(), false);
  for (const char* name : {"TDynTextAula", "TDynTextLehrer"}) {
    const jet::Table* dyn = findTable(plan, name);
    ASSERT_NE(dyn, nullptr);
    std::map<double, int> perDay;
    int previousId = 0, repeats = 0, dots = 0;
    for (int r = 0; r < dyn->rows.size(); ++r) {
      const jet::Row& row = dyn->rows[r];
      EXPECT_GT(row[0].toInt(), previousId) << name;
      previousId = row[0].toInt();
      ++perDay[row[1].toDouble()];
      if (r > 0 && row[2] == dyn->rows[r - 1][2] && row[1] == dyn->rows[r - 1][1]) ++repeats;
      for (int f = 2; f < row.size(); ++f) dots += row[f].toString() == ".";
    }
    EXPECT_EQ(perDay.size(), 4u) << name;
    int longest = 0;
    for (const auto& [day, count] : perDay) {
      EXPECT_GE(count, 5) << name;
      EXPECT_LE(count, 60) << name;
      longest = std::max(longest, count);
    }
    EXPECT_GE(longest, 35) << name;
    EXPECT_GT(repeats, 0) << name;
    if (QString(name) == "TDynTextAula") {
      EXPECT_GT(dots, 0);
    }
  }
}

TEST_F(Demo, Notifications_CoverTheCasesTheMonitorHandles) {
  const jet::Database notes = demo::notificationDatabase(zdt::now());
  const jet::Table* table = findTable(notes, "BenachrichtigungsTabelle");
  ASSERT_NE(table, nullptr);
  QSet<int> statuses;
  int invalid = 0, inGrace = 0, withoutPhone = 0, withPhone = 0, quoted = 0, tomorrow = 0;
  for (const jet::Row& row : table->rows) {
    statuses.insert(row[columnIndex(*table, "Status")].toInt());
    invalid += !row[columnIndex(*table, "Valid")].toBool();
    const double age = zdt::now() - row[columnIndex(*table, "SetTime")].toDouble();
    inGrace += age > 0 && age <= 1.0 / 1440.0 + 1e-9;
    const QString phone = row[columnIndex(*table, "Telefon")].toString();
    phone.isEmpty() ? ++withoutPhone : ++withPhone;
    quoted += row[columnIndex(*table, "Bemerkung")].toString().contains("'A1'");
    tomorrow += row[columnIndex(*table, "Datum")].toDouble() == zdt::today() + 1;
  }
  EXPECT_TRUE(statuses.contains(2) && statuses.contains(3) && statuses.contains(4));
  EXPECT_EQ(invalid, 1);
  EXPECT_EQ(inGrace, 1);
  EXPECT_GT(withoutPhone, 0);
  EXPECT_GT(withPhone, 0);
  EXPECT_EQ(quoted, 1);
  EXPECT_GT(tomorrow, 0);
}

TEST_F(Demo, Update_ChangesTodaysPrintTimeAndNotTheOtherDays) {
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  demo::writeDemo(dataDir(), {}, false, zdt::now());
  const QJsonObject before = readFile(planFile());
  zdt::setFixedNow(wednesdayMorning() + zdt::encodeTime(0, 25));
  demo::writeDemo(dataDir(), {}, true, zdt::now());
  const QJsonObject after = readFile(planFile());
  const QString today = doubleHex(zdt::fromDate(kWednesday));
  for (const char* name : {"TStatTextAula", "TStatTextLehrer"}) {
    const auto old = printTexts(npmTable(before, name));
    const auto fresh = printTexts(npmTable(after, name));
    ASSERT_EQ(fresh.size(), old.size());
    for (const auto& [day, text] : old) {
      if (day == today) {
        EXPECT_EQ(fresh.at(day), "09.12.2026 08:25") << name;
      } else {
        EXPECT_EQ(fresh.at(day), text) << name;
      }
    }
  }
  // Today's rows changed somewhere, the other days' rows not at all.
  const QJsonArray oldRows = npmTable(before, "TDynTextAula")["rows"].toArray();
  const QJsonArray newRows = npmTable(after, "TDynTextAula")["rows"].toArray();
  ASSERT_EQ(oldRows.size(), newRows.size());
  int changedToday = 0, changedOther = 0;
  for (int r = 0; r < oldRows.size(); ++r)
    if (oldRows[r] != newRows[r]) (oldRows[r][1].toString() == today ? changedToday : changedOther)++;
  EXPECT_GT(changedToday, 0);
  EXPECT_EQ(changedOther, 0);
}

TEST_F(Demo, Update_LeavesTheNotificationFileAlone) {
  demo::writeDemo(dataDir(), {}, false, zdt::now());
  QFile notes(QDir(dataDir()).filePath(demo::kNotificationFileName));
  ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
  const QByteArray before = notes.readAll();
  notes.close();
  zdt::setFixedNow(wednesdayMorning() + 0.01);
  demo::writeDemo(dataDir(), {}, true, zdt::now());
  ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
  EXPECT_EQ(notes.readAll(), before);
}

TEST_F(Demo, SettingsFile_PointsAtTheDataFolderAndSurvivesAReRun) {
  const QString configHome = m_dir.filePath("config");
  demo::writeDemo(dataDir(), configHome, false, zdt::now());
  QFile ini(demo::settingsFilePath(configHome));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(ini.readAll());
  ini.close();
  const QString folder = QDir(dataDir()).absolutePath() + "/";
  EXPECT_TRUE(text.contains("[Pfade]\nDatenpfad=" + folder + "\nPfadBenachrichtigungen=" + folder + "\n"));
  EXPECT_TRUE(text.contains("[Settings]\nLeft=20\nTop=20\nWidth=1200\nHeight=760\n"));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ini.write("[Settings]\nFontsize=14\n");
  ini.close();
  demo::writeDemo(dataDir(), configHome, false, zdt::now());
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_EQ(ini.readAll(), QByteArray("[Settings]\nFontsize=14\n"));
}

TEST_F(Demo, Tool_WithAnUncreatableDataFolder_FailsWithOneLine) {
  QFile blocker(m_dir.filePath("datei"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const ProgramResult result = runProgram(ZOVA_DEMO_EXE, {m_dir.filePath("datei/data")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.err.startsWith("zova-demo: ")) << result.err.toStdString();
  EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
  EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"datei"});
}

TEST_F(Demo, Tool_WithAReadOnlyDataFolder_FailsWithOneLine) {
  // /proc/self exists and takes no new files, even from root.
  const ProgramResult result = runProgram(ZOVA_DEMO_EXE, {"/proc/self"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.err.startsWith("zova-demo: ")) << result.err.toStdString();
  EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
  EXPECT_FALSE(QFile::exists(QString("/proc/self/") + demo::kPlanFileName));
}

TEST_F(Demo, Tool_WithoutDataFolder_ShowsUsage) {
  const ProgramResult result = runProgram(ZOVA_DEMO_EXE, {});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_TRUE(result.err.contains("usage: zova-demo"));
}

TEST_F(Demo, Tool_WritesBothFiles) {
  const ProgramResult result = runProgram(ZOVA_DEMO_EXE, {"--config-home", m_dir.filePath("cfg"), dataDir()});
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_EQ(mdbTables(planFile()), (QStringList{"TStatTextAula", "TStatTextLehrer", "TDynTextAula", "TDynTextLehrer"}));
  EXPECT_EQ(mdbTables(QDir(dataDir()).filePath(demo::kNotificationFileName)), QStringList{"BenachrichtigungsTabelle"});
  EXPECT_TRUE(QFile::exists(demo::settingsFilePath(m_dir.filePath("cfg"))));
}
