// Reading writer-made Jet files through the layer the monitor uses: the
// plan and notification statements, sorting, exact values, NULLs, memos,
// and the errors for missing tables and columns.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

#include "DbFixtures.h"
#include "db/Database.h"
#include "db/worker/WorkerClient.h"
#include "jet/JetWriter.h"

using namespace dbtest;

namespace {

class DbRead : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Files count as settled at once, so that a query on a file seen before
    // reads only the pages its WHERE can meet (a worker started afresh
    // takes the setting).
    qputenv("ZOVA_TEST_SETTLED_MS", "0");
    db::worker::setWorkerForTesting(QString());
    s_dir = new QTemporaryDir;
    writePlanFile(planPath());
    writeNotificationFile(notificationPath());
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
    qunsetenv("ZOVA_TEST_SETTLED_MS");
    db::worker::setWorkerForTesting(QString());
  }
  static QString planPath() { return s_dir->filePath("Zova-Internet.mdb"); }
  static QString notificationPath() { return s_dir->filePath("Benachrichtigungen.mdb"); }

  void SetUp() override {
    m_plan.setConnectionString(planConnection(planPath()));
    m_plan.open();
  }

  // Runs the query on the plan file and returns the column's texts in row order.
  QStringList texts(db::Dataset& dataset, const QString& column) {
    QStringList values;
    for (dataset.first(); !dataset.eof(); dataset.next()) values.append(dataset.asText(column));
    return values;
  }

  db::Connection m_plan;
  static QTemporaryDir* s_dir;
};

QTemporaryDir* DbRead::s_dir = nullptr;

}  // namespace

TEST_F(DbRead, DayRecordQuery_SortedByDatum_GivesDaysInOrder) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM TStatTextAula"));
  dataset.open();
  ASSERT_EQ(dataset.rowCount(), 3);
  dataset.sort(QStringLiteral("Datum ASC"));
  QVector<TDateTime> days;
  for (dataset.first(); !dataset.eof(); dataset.next()) days.append(dataset.asDateTime("Datum"));
  EXPECT_EQ(days, QVector<TDateTime>({kPlanDay, kPlanDay + 1, kPlanDay + 2}));
}

TEST_F(DbRead, DayRecordColumns_ReadAsTextWithUmlautInName) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM TStatTextAula"));
  dataset.open();
  dataset.sort(QStringLiteral("Datum"));
  EXPECT_EQ(dataset.asText("FehlRäume"), QStringLiteral("FehlRäume 39083"));
  EXPECT_EQ(dataset.asText("BitteBeachten"), QStringLiteral("Bitte beachten: Raum 'A1' für 39083"));
  EXPECT_EQ(dataset.asDateTime("DruckZeit"), kPlanDay - 0.25);
}

TEST_F(DbRead, WholeDayNumber_MatchesRowsStoredAtMidnightOnly) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("Select * from TDynTextAula where Datum = 39083;"));
  dataset.open();
  dataset.sort(QStringLiteral("ID"));
  EXPECT_EQ(texts(dataset, "F1"), QStringList({"5b first", "7a third", "6c second"}));
}

namespace {

// Rows (ID, Datum) over many pages: a block of kPlanDay, a block of the next
// day, a NULL, a time on kPlanDay, and kPlanDay again at the end, each row
// with a text long enough to fill pages quickly.
QVector<QPair<int, QVariant>> dayRows(int shift) {
  QVector<QPair<int, QVariant>> rows;
  int id = 0;
  for (int i = 0; i < 300; ++i) rows.append({++id, kPlanDay + shift});
  for (int i = 0; i < 300; ++i) rows.append({++id, kPlanDay + 1});
  rows.append({++id, QVariant()});
  rows.append({++id, kPlanDay + 0.5});
  for (int i = 0; i < 200; ++i) rows.append({++id, kPlanDay});
  return rows;
}

void writeDays(const QString& path, const QVector<QPair<int, QVariant>>& rows) {
  jet::Database database;
  jet::Table& table = database.addTable("TDynTextAula", {{"ID", jet::ColumnType::Long},
                                                         {"Datum", jet::ColumnType::DateTime},
                                                         {"F1", jet::ColumnType::Text}});
  for (const auto& [id, datum] : rows) table.rows.append({id, datum, QStringLiteral("Vertretung Raum %1").arg(id)});
  database.write(path);
}

}  // namespace

TEST_F(DbRead, QueriesOnAFileSeenBefore_GiveTheRowsEveryPageGives) {
  QTemporaryDir dir;
  const QString path = dir.filePath("days.mdb");
  auto rows = dayRows(0);
  writeDays(path, rows);
  // Read in place, as the notification file is: a changed file is read afresh.
  db::Connection connection;
  connection.setConnectionString(notificationConnection(path));
  connection.open();
  const auto check = [&](const QString& where, const std::function<bool(int, double)>& holds) {
    QStringList expected;
    for (const auto& [id, datum] : rows)
      if (!datum.isNull() && holds(id, datum.toDouble())) expected.append(QString::number(id));
    db::Dataset dataset(connection);
    dataset.setSql(QStringLiteral("SELECT * FROM TDynTextAula WHERE ") + where);
    dataset.open();
    EXPECT_EQ(texts(dataset, "ID"), expected) << where.toStdString();
  };
  // The first query reads every page; the others go by what it left.
  for (int round = 0; round < 2; ++round) {
    check("Datum = 39083", [](int, double d) { return d == kPlanDay; });
    check("Datum = 39084", [](int, double d) { return d == kPlanDay + 1; });
    check("Datum > 39083", [](int, double d) { return d > kPlanDay; });
    check("Datum < 39084", [](int, double d) { return d < kPlanDay + 1; });
    check("Datum <> 39083", [](int, double d) { return d != kPlanDay; });
    check("39084 <= Datum", [](int, double d) { return d >= kPlanDay + 1; });
    check("Datum >= 39084 AND ID > 500", [](int id, double d) { return d >= kPlanDay + 1 && id > 500; });
    check("ID < 400 AND Datum <= 39083.5", [](int id, double d) { return id < 400 && d <= kPlanDay + 0.5; });
    check("Datum = #01/02/2007#", [](int, double d) { return d == kPlanDay + 1; });
    check("Datum = 40000", [](int, double) { return false; });
  }
  // The same file written anew with the first block on another day.
  rows = dayRows(2);
  writeDays(path, rows);
  check("Datum = 39083", [](int, double d) { return d == kPlanDay; });
  check("Datum = 39085", [](int, double d) { return d == kPlanDay + 2; });
}

TEST_F(DbRead, NotificationQuery_GivesValidRowsFromTheDayInOrder) {
  db::Connection connection;
  connection.setConnectionString(notificationConnection(notificationPath()));
  connection.open();
  db::Dataset dataset(connection);
  dataset.setSql(QStringLiteral("SELECT * FROM BenachrichtigungsTabelle Where Datum>= #12/08/2026#And Valid=True "
                                "order by Datum,Lehrer,SetTime,RueckTime;"));
  dataset.open();
  EXPECT_EQ(texts(dataset, "ID"), QStringList({"20", "17", "22", "16", "19", "21"}));
}

TEST_F(DbRead, NotificationRow_ReadsEveryKind) {
  db::Connection connection;
  connection.setConnectionString(notificationConnection(notificationPath()));
  db::Dataset dataset(connection);
  dataset.setSql(QStringLiteral("SELECT * FROM BenachrichtigungsTabelle WHERE ID=17"));
  dataset.open();  // connects on demand
  ASSERT_EQ(dataset.rowCount(), 1);
  EXPECT_EQ(dataset.asInteger("status"), 2);
  EXPECT_TRUE(dataset.asBoolean("VALID"));
  EXPECT_EQ(dataset.asDateTime("SetTime"), zdt::encode(2026, 12, 8, 7, 15, 30));
  EXPECT_EQ(dataset.asInteger("Stunde"), 4);
  EXPECT_EQ(dataset.asText("Lehrer"), QStringLiteral("Mus"));
}

TEST_F(DbRead, NullValues_ReadAsZeroFalseAndEmpty) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM Kinds WHERE ID = 3"));
  dataset.open();
  ASSERT_EQ(dataset.rowCount(), 1);
  EXPECT_EQ(dataset.field("T").type, db::Field::Type::Null);
  EXPECT_EQ(dataset.asDateTime("T"), 0.0);
  EXPECT_EQ(dataset.asInteger("L"), 0);
  EXPECT_FALSE(dataset.asBoolean("B"));
  EXPECT_EQ(dataset.asText("Name"), QString());
  EXPECT_EQ(dataset.asText("Notice"), QString());
}

TEST_F(DbRead, IntegerKinds_ReadTheirWholeRange) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM Kinds WHERE ID <= 2 ORDER BY ID"));
  dataset.open();
  EXPECT_EQ(dataset.asInteger("B"), 255);
  EXPECT_EQ(dataset.asInteger("I"), -32768);
  EXPECT_EQ(dataset.asInteger("L"), 2147483647);
  EXPECT_TRUE(dataset.asBoolean("Flag"));
  dataset.next();
  EXPECT_EQ(dataset.asInteger("I"), 32767);
  EXPECT_EQ(dataset.asInteger("L"), -2147483647 - 1);
  EXPECT_EQ(dataset.field("D").value.toDouble(), -1e300);
  EXPECT_FALSE(dataset.asBoolean("Flag"));
}

TEST_F(DbRead, DatesOutsideLibmdbsTextRange_AreExact) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM Kinds ORDER BY ID"));
  dataset.open();
  EXPECT_EQ(dataset.asDateTime("T"), zdt::encode(9999, 12, 31, 23, 59, 59));
  dataset.next();
  EXPECT_EQ(dataset.asDateTime("T"), zdt::encode(1800, 1, 1, 6, 0, 0));
  dataset.next();
  dataset.next();
  EXPECT_EQ(dataset.asDateTime("T"), -1.25);
}

TEST_F(DbRead, LongMemos_ArriveWhole) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM Kinds ORDER BY ID"));
  dataset.open();
  const QString notice = dataset.asText("Notice");
  ASSERT_EQ(notice.size(), 60000);
  EXPECT_TRUE(notice.startsWith(QStringLiteral("Zeile 0: Änderung für Raum € 12 — Zeile 1")));
  dataset.next();
  EXPECT_EQ(dataset.asText("Notice"), QString(70000, u'x'));
  dataset.next();
  dataset.next();
  EXPECT_EQ(dataset.asText("Notice"), QStringLiteral("kurz"));
}

TEST_F(DbRead, MissingTable_FailsNamingIt) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM TStatTextLehrerX"));
  try {
    dataset.open();
    FAIL();
  } catch (const db::Error& error) {
    EXPECT_TRUE(error.message().contains(QLatin1String("TStatTextLehrerX"))) << error.what();
    EXPECT_TRUE(error.message().contains(planPath())) << error.what();
  }
  EXPECT_FALSE(dataset.isOpen());
}

TEST_F(DbRead, MissingColumn_FailsOnRead) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM TDynTextAula"));
  dataset.open();
  EXPECT_THROW(dataset.asText("F8"), db::Error);
  EXPECT_THROW(dataset.sort(QStringLiteral("F8")), db::Error);
}

TEST_F(DbRead, ValueThatDoesNotConvert_Fails) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM TDynTextAula"));
  dataset.open();
  EXPECT_THROW(dataset.asInteger("F1"), db::Error);
  EXPECT_THROW(dataset.asDateTime("F1"), db::Error);
  EXPECT_THROW(dataset.asBoolean("F1"), db::Error);
}

TEST_F(DbRead, ReadingPastTheLastRow_Fails) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("Select * from TDynTextAula where Datum = 1;"));
  dataset.open();
  EXPECT_TRUE(dataset.eof());
  EXPECT_THROW(dataset.asText("F1"), db::Error);
}

TEST_F(DbRead, EmptyTable_IsEofAtOnce) {
  db::Dataset dataset(m_plan);
  dataset.setSql(QStringLiteral("SELECT * FROM TDynTextLehrer"));
  dataset.open();
  EXPECT_TRUE(dataset.isOpen());
  EXPECT_TRUE(dataset.eof());
  EXPECT_EQ(dataset.columnNames().size(), 9);
}

TEST_F(DbRead, TableNames_ListUserTablesOnly) {
  EXPECT_EQ(m_plan.tableNames(),
            QStringList({"TStatTextAula", "TStatTextLehrer", "TDynTextAula", "TDynTextLehrer", "Kinds"}));
}

TEST_F(DbRead, UpdateOnReadOnlyConnection_IsRefused) {
  db::Command command(m_plan);
  command.setText(QStringLiteral("UPDATE TDynTextAula SET F1='x' WHERE ID=1"));
  EXPECT_THROW(command.execute(), db::Error);
}

TEST_F(DbRead, ReadModeReadsTheSnapshotTakenAtOpen) {
  QTemporaryDir dir;
  const QString path = dir.filePath("plan.mdb");
  writePlanFile(path);
  db::Connection connection;
  connection.setConnectionString(planConnection(path));
  connection.open();
  writeNotificationFile(path);  // the plan program replaces the file
  db::Dataset dataset(connection);
  dataset.setSql(QStringLiteral("SELECT * FROM TStatTextAula"));
  EXPECT_NO_THROW(dataset.open());
  EXPECT_EQ(dataset.rowCount(), 3);
}
