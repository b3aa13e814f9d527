// zova-check names each state of the screen and its cause: the plan shown
// and why that day, the two state texts with the fault behind them, the day
// list of automatic mode, and a file that cannot be read in time or is being
// written.
#include <QDir>
#include <QJsonArray>

#include "CheckFixture.h"
#include "db/worker/WorkerClient.h"
#include "jet/JetWriter.h"
#include "platform/Folders.h"
#include "tests/notifications/NotificationFixture.h"

namespace {

const QString kNoConnection = QStringLiteral("Keine Verbindung zur Datenbank! Press F10");
const QString kNoData = QStringLiteral("Die Datenbank enthält keine geeigneten Daten! Press F10");

// A plan whose day tables lack one of the columns the monitor reads.
void writePlanLacking(const QString& folder, const QString& missing, TDateTime day) {
  QVector<jet::Column> statColumns = {{"Datum", jet::ColumnType::DateTime}, {"DruckZeit", jet::ColumnType::DateTime}};
  for (const QString name : {"Datumlang", "Version", "Druckdatum", "Ueberschrift", "Schulname", "Aushangort",
                              "Gezeichnet", "H1", "H2", "H3", "H4", "H5", "H6", "H7", "AbwKlassen", "AbwLehrer",
                              "AbwKurse", "FehlRäume", "BetrLehrer", "BetrKlassen", "BitteBeachten", "BitteRTF"})
    if (name != missing) statColumns.append({name, jet::ColumnType::Text});
  jet::Row statRow = {day, day - 1};
  while (statRow.size() < statColumns.size()) statRow.append(QStringLiteral("x"));
  QVector<jet::Column> dynColumns = {{"ID", jet::ColumnType::Long}, {"Datum", jet::ColumnType::DateTime}};
  for (int i = 1; i <= 7; ++i) dynColumns.append({QStringLiteral("F%1").arg(i), jet::ColumnType::Text});
  jet::Database db;
  for (const char* audience : {"Aula", "Lehrer"}) {
    db.addTable(QStringLiteral("TStatText") + audience, statColumns).rows.append(statRow);
    db.addTable(QStringLiteral("TDynText") + audience, dynColumns);
  }
  db.write(QDir(folder).filePath("Zova-Internet.mdb"));
}

// Runs the database layer's operations in the fake worker in one of its modes
// with a short deadline, for as long as it lives.
class FakeWorker {
 public:
  FakeWorker(const char* mode, int deadlineMs) {
    db::worker::setWorkerForTesting(folders::programFolder() + "zova-db-fake-worker", {mode});
    db::worker::setDeadlineForTesting(deadlineMs);
  }
  ~FakeWorker() {
    db::worker::setWorkerForTesting(QString());
    db::worker::setDeadlineForTesting(0);
  }
};

QJsonObject tableNamed(const QJsonObject& report, const QString& name) {
  for (const QJsonValue& table : report["planFile"]["tables"].toArray())
    if (table["name"].toString() == name) return table.toObject();
  return {};
}

}  // namespace

using CheckStates = CheckTest;

TEST_F(CheckStates, TodaysPlan_IsShownWithItsRowsAndExitStatusZero) {
  planOf({weekDay(1), weekDay(2), weekDay(3)}, 12).write(planFolder());
  writeSettings();
  const QJsonObject report = check();
  EXPECT_EQ(status, 0);
  const QJsonObject screen = report["screen"].toObject();
  EXPECT_EQ(screen["shows"].toString(), "plan");
  EXPECT_EQ(screen["date"].toString(), "2026-12-09");
  EXPECT_EQ(screen["choice"].toString(), "today");
  EXPECT_EQ(screen["rows"].toArray().size(), 12);
  EXPECT_TRUE(texts(screen["header"]).value(1).startsWith("Heute ")) << texts(screen["header"]).join('|').toStdString();
  const QJsonObject file = report["planFile"].toObject();
  EXPECT_EQ(file["file"].toString(), planFolder() + "Zova-Internet.mdb");
  EXPECT_EQ(file["copy"]["outcome"].toString(), "complete");
  EXPECT_TRUE(file["open"]["ok"].toBool());
  EXPECT_TRUE(file["jetVersion"].toString().startsWith("Jet 4")) << file["jetVersion"].toString().toStdString();
  for (const char* name : {"TStatTextAula", "TStatTextLehrer", "TDynTextAula", "TDynTextLehrer"}) {
    EXPECT_TRUE(tableNamed(report, name)["present"].toBool()) << name;
    EXPECT_TRUE(tableNamed(report, name)["missingColumns"].toArray().isEmpty()) << name;
  }
  const QJsonArray pupils = report["days"]["audiences"][0]["days"].toArray();
  ASSERT_EQ(pupils.size(), 3);
  EXPECT_EQ(pupils[1]["date"].toString(), "2026-12-09");
  EXPECT_EQ(pupils[1]["rows"].toInt(), 12);
}

TEST_F(CheckStates, MissingFolder_ShowsNoConnectionAndNamesTheFolder) {
  writeSettings({}, planFolder() + "export/");
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoConnection);
  EXPECT_FALSE(report["planFile"]["folderExists"].toBool());
  const QString why = report["screen"]["why"].toString();
  EXPECT_TRUE(why.contains("the folder " + planFolder() + "export does not exist")) << why.toStdString();
}

TEST_F(CheckStates, DatenpfadWithoutSeparator_IsNamedAsTheCause) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings({}, m_data.path());
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoConnection);
  const QJsonObject file = report["planFile"].toObject();
  EXPECT_EQ(file["file"].toString(), m_data.path() + "Zova-Internet.mdb");
  EXPECT_TRUE(file["missingSeparator"].toBool());
  EXPECT_TRUE(file["withSeparator"]["exists"].toBool());
  const QString why = report["screen"]["why"].toString();
  EXPECT_TRUE(why.contains("lacks its trailing \"/\"")) << why.toStdString();
  EXPECT_TRUE(why.contains(planFolder() + "Zova-Internet.mdb exists")) << why.toStdString();
}

TEST_F(CheckStates, MissingTeachersTable_ShowsNoDataForTeachersAndNamesTheTable) {
  PlanDatabase plan = planOf({weekDay(2)});
  plan.withLehrerTables = false;
  plan.write(planFolder());
  writeSettings({"LastTyp=1"});
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoData);
  EXPECT_FALSE(tableNamed(report, "TStatTextLehrer")["present"].toBool());
  EXPECT_TRUE(tableNamed(report, "TStatTextAula")["present"].toBool());
  const QString why = report["screen"]["why"].toString();
  EXPECT_TRUE(why.contains("TStatTextLehrer")) << why.toStdString();
}

TEST_F(CheckStates, MissingColumnFehlRaeume_ShowsNoDataAndNamesTheColumn) {
  writePlanLacking(planFolder(), QStringLiteral("FehlRäume"), weekDay(2));
  writeSettings();
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoData);
  EXPECT_EQ(texts(tableNamed(report, "TStatTextAula")["missingColumns"]), QStringList{QStringLiteral("FehlRäume")});
  const QString why = report["screen"]["why"].toString();
  EXPECT_TRUE(why.contains(QStringLiteral("FehlRäume")) && why.contains("TStatTextAula")) << why.toStdString();
}

TEST_F(CheckStates, EmptyDatabase_ShowsNoDataBecauseTheTableHoldsNoDay) {
  PlanDatabase().write(planFolder());
  writeSettings();
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoData);
  EXPECT_EQ(report["screen"]["why"].toString(), "TStatTextAula holds no plan day");
  // An empty table still names its columns: none is reported missing.
  EXPECT_EQ(tableNamed(report, "TStatTextAula")["rows"].toInt(), 0);
  EXPECT_TRUE(tableNamed(report, "TStatTextAula")["missingColumns"].toArray().isEmpty());
}

TEST_F(CheckStates, OnlyPastDays_ShowTheLatestDayWithAnEmptyDayList) {
  planOf({weekDay(-5), weekDay(-4), weekDay(-3)}).write(planFolder());
  writeSettings();
  const QJsonObject report = check();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(report["screen"]["date"].toString(), "2026-12-04");
  EXPECT_EQ(report["screen"]["choice"].toString(), "latest");
  EXPECT_TRUE(report["days"]["Tagesliste"]["days"].toArray().isEmpty());
}

TEST_F(CheckStates, Saturday_ShowsTheFirstLaterDay) {
  planOf({weekDay(0), weekDay(1), weekDay(2), weekDay(3), weekDay(4), weekDay(7), weekDay(8)}).write(planFolder());
  writeSettings();
  const QJsonObject report = check(weekDay(5) + zdt::encodeTime(10, 0));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(report["screen"]["date"].toString(), "2026-12-14");
  EXPECT_EQ(report["screen"]["choice"].toString(), "later");
  EXPECT_EQ(texts(report["days"]["Tagesliste"]["days"]), (QStringList{"2026-12-14", "2026-12-15"}));
  EXPECT_FALSE(report["days"]["Tagesliste"]["today"].toBool());
}

TEST_F(CheckStates, EveningAfterHaltbarkeit_TodayIsDroppedFromTheDayList) {
  PlanDatabase plan;
  plan.aula << makeDay(weekDay(2), "09.12.2026 08:00", weekDay(2) + zdt::encodeTime(8, 0))
            << makeDay(weekDay(3), "09.12.2026 08:00", weekDay(2) + zdt::encodeTime(8, 0));
  plan.write(planFolder());
  writeSettings({"AutoScroll=1", "AnzeigeTage=2", "Haltbarkeit=18:00"});
  const QJsonObject report = check(wednesdayAt(19));
  const QJsonObject list = report["days"]["Tagesliste"].toObject();
  EXPECT_TRUE(list["todayDropped"].toBool());
  EXPECT_EQ(texts(list["days"]), QStringList{"2026-12-10"});
  EXPECT_EQ(list["Haltbarkeit"].toString(), "18:00");
  EXPECT_EQ(list["DruckZeitPlusOneHour"].toString(), "09:00");
}

TEST_F(CheckStates, AfterHaltbarkeitWithinAnHourOfALateChange_TodayStays) {
  PlanDatabase plan;
  plan.aula << makeDay(weekDay(2), "09.12.2026 17:30", weekDay(2) + zdt::encodeTime(17, 30))
            << makeDay(weekDay(3), "09.12.2026 17:30", weekDay(2) + zdt::encodeTime(17, 30));
  plan.write(planFolder());
  writeSettings({"AutoScroll=1", "AnzeigeTage=2", "Haltbarkeit=18:00"});
  const QJsonObject report = check(wednesdayAt(18, 15));
  const QJsonObject list = report["days"]["Tagesliste"].toObject();
  EXPECT_FALSE(list["todayDropped"].toBool());
  EXPECT_EQ(texts(list["days"]), (QStringList{"2026-12-09", "2026-12-10"}));
  EXPECT_EQ(list["DruckZeitPlusOneHour"].toString(), "18:30");
}

TEST_F(CheckStates, FileThatDoesNotAnswerInTime_ShowsNoConnectionAndNamesTheDeadline) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings();
  const FakeWorker hanging("hang", 400);
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoConnection);
  const QJsonObject file = report["planFile"].toObject();
  EXPECT_EQ(file["copy"]["outcome"].toString(), "unreachable");
  EXPECT_TRUE(file["copy"]["deadlinePassed"].toBool());
  EXPECT_FALSE(file["lookedAt"].toBool());
  const QString why = report["screen"]["why"].toString();
  EXPECT_TRUE(why.contains("did not answer within")) << why.toStdString();
}

TEST_F(CheckStates, FileBeingWritten_ShowsNoConnectionAndSaysItIsBeingWritten) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings();
  const FakeWorker writing("incomplete", 5000);  // its first copy finds the file being written
  const QJsonObject report = check();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report["screen"]["stateText"].toString(), kNoConnection);
  EXPECT_TRUE(report["planFile"]["beingWritten"].toBool());
  EXPECT_EQ(report["planFile"]["copy"]["outcome"].toString(), "being written");
  const QString why = report["screen"]["why"].toString();
  EXPECT_TRUE(why.contains("being written right now")) << why.toStdString();
}

TEST_F(CheckStates, NotificationsOn_GiveTheDueCountAndTheNextCheck) {
  using namespace notiftest;
  planOf({today()}).write(planFolder());
  // Due: issued 30 and 60 minutes ago. Pending: issued 2 minutes ago, due in 3.
  // Not counted: done (3), not yet issued (1), yesterday's.
  writeNotes(planFolder() + "Benachrichtigungen.mdb",
             {note(1, 2, 30), note(2, 4, 60), note(3, 2, 2), note(4, 3, 30), note(5, 1, 30), note(6, 2, 30, -1)});
  writeSettings({"KarenzZeit=5"}, QString(), planFolder());
  const QJsonObject report = check(notiftest::now());
  const QJsonObject notifications = report["notifications"].toObject();
  EXPECT_EQ(notifications["state"].toString(), "on");
  EXPECT_TRUE(notifications["loaded"].toBool());
  EXPECT_EQ(notifications["notifications"].toInt(), 5);
  EXPECT_EQ(notifications["due"].toInt(), 2);
  EXPECT_EQ(notifications["nextCheckMs"].toInt(), 180000);
  EXPECT_EQ(notifications["picture"].toString(), "red");
  EXPECT_FALSE(notifications["clockWarning"].toBool());
  EXPECT_TRUE(report["messages"].toArray().isEmpty());
}

TEST_F(CheckStates, NotificationStampedAheadOfTheClock_ReportsTheClockWarningWithoutShowingIt) {
  using namespace notiftest;
  planOf({today()}).write(planFolder());
  writeNotes(planFolder() + "Benachrichtigungen.mdb", {note(1, 2, -10)});
  writeSettings({}, QString(), planFolder());
  const QJsonObject report = check(notiftest::now());
  EXPECT_TRUE(report["notifications"]["clockWarning"].toBool());
  EXPECT_EQ(report["notifications"]["due"].toInt(), 0);
  ASSERT_EQ(report["messages"].toArray().size(), 1);
  EXPECT_EQ(report["messages"][0]["text"].toString(), "Bitte die Uhrzeit mit dem Server der Datenbank synchronisieren");
}

TEST_F(CheckStates, NotificationDatabaseMissing_IsBrokenWithTheMonitorsMessage) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings({}, QString(), planFolder() + "notes/");
  const QJsonObject report = check();
  const QJsonObject notifications = report["notifications"].toObject();
  EXPECT_EQ(notifications["state"].toString(), "broken");
  EXPECT_EQ(notifications["message"].toString(),
            QStringLiteral("Datenbank Benachrichtigung.mdb kann nicht geöffnet werden\rPrüfen Sie Pfad und Berechtigungen!"));
  EXPECT_TRUE(notifications["why"].toString().contains(planFolder() + "notes/Benachrichtigungen.mdb"))
      << notifications["why"].toString().toStdString();
  EXPECT_EQ(status, 0);  // the plan is shown all the same
}

TEST_F(CheckStates, NotificationsWithoutFolder_AreOff) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings();
  const QJsonObject report = check();
  const QJsonObject notifications = report["notifications"].toObject();
  EXPECT_EQ(notifications["state"].toString(), "off");
  EXPECT_EQ(notifications["why"].toString(), "PfadBenachrichtigungen is empty");
}
