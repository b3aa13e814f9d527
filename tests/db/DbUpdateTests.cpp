// Updates of a writer-made notification file through the layer: the new
// values arrive, everything else stays byte for byte, refusals and failures
// leave the file exactly as it was, and independent readers agree. A guarded
// update writes nothing when the row changed since it was read; a tick-off
// that names its changed columns writes only those, on the row as the file
// holds it. An update killed or failing between its page writes leaves the
// file as it was or as it should be, and the next operation finds it as it
// was, unless another writer has changed that page since. Failures carry
// their kind. Writers in processes with settings of their own, writing the
// same page at the same moment, lose nothing (DbSharedWriters; 100 rounds,
// ZOVA_SHARED_WRITER_ROUNDS=500 for a longer run by hand).
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DbFixtures.h"
#include "db/Database.h"
#include "db/engine/MdbTable.h"
#include "db/journal/PageJournal.h"
#include "db/sql/ResultTable.h"
#include "db/worker/WorkerClient.h"
#include "tests/support/MissingTool.h"

using namespace dbtest;

namespace {

const QString kTable = QStringLiteral("BenachrichtigungsTabelle");

// The monitor's statement for marking notification 17 done.
QString markDone(const QString& bemerkung, const QString& extra = QString()) {
  return QStringLiteral(
             "UPDATE BenachrichtigungsTabelle SET Status='3', Valid=True, SetTime=#12/08/2026 07.15.30#, "
             "RueckTime=#12/30/1899 00.00.00#, Datum=#12/08/2026#, Stunde='4', Lehrer='Mus', Klasse='7a', "
             "Fach='M', Bemerkung='%1', Telefon=''%2, Kopie='0', TAN='0' WHERE ID=17")
      .arg(bemerkung, extra);
}

QVector<db::engine::ScannedRow> scan(const QString& path) {
  db::engine::MdbDatabase database(path, false);
  db::engine::MdbTable table(database, kTable);
  QVector<db::engine::ScannedRow> rows;
  db::engine::ScannedRow row;
  while (table.next(&row)) rows.append(row);
  return rows;
}

int rowOf(const QVector<db::engine::ScannedRow>& rows, int id) {
  for (int i = 0; i < rows.size(); ++i)
    if (rows[i].values[0].value.toInt() == id) return i;
  return -1;
}

// Pages (4096 bytes) in which two file images differ.
QVector<int> changedPages(const QByteArray& a, const QByteArray& b) {
  QVector<int> pages;
  for (qsizetype offset = 0; offset < qMax(a.size(), b.size()); offset += 4096)
    if (a.mid(offset, 4096) != b.mid(offset, 4096)) pages.append(int(offset / 4096));
  return pages;
}

// CSV lines of mdb-export that differ between two exports.
QList<QByteArray> differingLines(const QByteArray& a, const QByteArray& b) {
  const QList<QByteArray> left = a.split('\n'), right = b.split('\n');
  QList<QByteArray> differ;
  for (int i = 0; i < qMax(left.size(), right.size()); ++i)
    if (left.value(i) != right.value(i)) differ.append(right.value(i));
  return differ;
}

class DbUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir.filePath("Benachrichtigungen.mdb");
    writeNotificationFile(m_path);
    m_original = fileBytes(m_path);
  }

  void execute(const QString& statement) {
    db::Connection connection;
    connection.setConnectionString(notificationConnection(m_path));
    connection.open();
    db::Command command(connection);
    command.setText(statement);
    command.execute();
    connection.close();
  }

  // Expects the statement to fail and the file to be unchanged, byte for byte.
  QString expectRefused(const QString& statement) {
    QString message;
    try {
      execute(statement);
      ADD_FAILURE() << "accepted: " << statement.toStdString();
    } catch (const db::Error& error) {
      message = error.message();
    }
    EXPECT_EQ(fileBytes(m_path), m_original) << message.toStdString();
    return message;
  }

  db::Dataset* row(int id) {
    m_connection.setConnectionString(notificationConnection(m_path));
    m_dataset = std::make_unique<db::Dataset>(m_connection);
    m_dataset->setSql(QStringLiteral("SELECT * FROM BenachrichtigungsTabelle WHERE ID=%1").arg(id));
    m_dataset->open();
    EXPECT_EQ(m_dataset->rowCount(), 1);
    return m_dataset.get();
  }

  QTemporaryDir m_dir;
  QString m_path;
  QByteArray m_original;
  db::Connection m_connection;
  std::unique_ptr<db::Dataset> m_dataset;
};

}  // namespace

TEST_F(DbUpdate, MarkingDone_StoresStatusAndRemarkWithQuotes) {
  execute(markDone(QStringLiteral("Raum ''A1'' tauschen")));
  db::Dataset* dataset = row(17);
  EXPECT_EQ(dataset->asInteger("Status"), 3);
  EXPECT_EQ(dataset->asText("Bemerkung"), QStringLiteral("Raum 'A1' tauschen"));
  EXPECT_EQ(dataset->asDateTime("SetTime"), zdt::encode(2026, 12, 8, 7, 15, 30));
  EXPECT_EQ(dataset->asText("Lehrer"), QStringLiteral("Mus"));
}

TEST_F(DbUpdate, StatusOnlyChange_LeavesEveryOtherColumnAndRowBitIdentical) {
  const auto before = scan(m_path);
  execute(markDone(QString()));
  const auto after = scan(m_path);
  ASSERT_EQ(before.size(), after.size());
  const int target = rowOf(before, 17);
  for (int r = 0; r < before.size(); ++r) {
    if (r == target) continue;
    EXPECT_EQ(before[r].bytes, after[r].bytes) << "row " << r;
  }
  for (int c = 0; c < before[target].fieldBytes.size(); ++c) {
    if (c == 1) continue;  // Status
    EXPECT_EQ(before[target].fieldBytes[c], after[target].fieldBytes[c]) << "column " << c;
  }
  EXPECT_EQ(after[target].values[1].value.toInt(), 3);
  EXPECT_EQ(changedPages(m_original, fileBytes(m_path)).size(), 1);
}

TEST_F(DbUpdate, MdbExport_SeesTheNewValueAndNothingElseChanged) {
  const QByteArray before = mdbExport(m_path, kTable);
  ASSERT_FALSE(before.isNull()) << "mdb-export is not available";
  execute(markDone(QStringLiteral("Raum ''A1'' tauschen")));
  const QByteArray after = mdbExport(m_path, kTable);
  const QList<QByteArray> differ = differingLines(before, after);
  ASSERT_EQ(differ.size(), 1);
  EXPECT_TRUE(differ[0].startsWith("17,3,1,")) << differ[0].toStdString();
  EXPECT_TRUE(differ[0].contains("\"Raum 'A1' tauschen\"")) << differ[0].toStdString();
}

TEST_F(DbUpdate, MdbReader_SeesTheNewValueAndNothingElseChanged) {
  const QByteArray before = mdbReaderJson(m_path);
  if (before.isNull()) ZOVA_MISSING_TOOL("node with the npm reader (tools/testtools)");
  execute(markDone(QStringLiteral("Raum ''A1'' tauschen")));
  const QJsonArray rowsBefore = QJsonDocument::fromJson(before)["tables"][0]["rows"].toArray();
  const QJsonArray rowsAfter = QJsonDocument::fromJson(mdbReaderJson(m_path))["tables"][0]["rows"].toArray();
  ASSERT_EQ(rowsBefore.size(), rowsAfter.size());
  for (int r = 0; r < rowsBefore.size(); ++r) {
    const QJsonArray a = rowsBefore[r].toArray(), b = rowsAfter[r].toArray();
    for (int c = 0; c < a.size(); ++c) {
      if (a[0].toInt() == 17 && c == 1) {
        EXPECT_EQ(b[c].toInt(), 3);
      } else if (a[0].toInt() == 17 && c == 10) {
        EXPECT_EQ(b[c].toString(), QStringLiteral("Raum 'A1' tauschen"));
      } else {
        EXPECT_EQ(a[c], b[c]) << "row " << r << " column " << c;
      }
    }
  }
}

TEST_F(DbUpdate, SeveralColumns_AllArriveExactly) {
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status='5', SetTime=#01/02/2027 23.59.58#, "
                         "Datum=#01/02/2027#, Stunde='-7', Lehrer='Müller-Lüdenscheidt', Fach='' WHERE ID=16"));
  db::Dataset* dataset = row(16);
  EXPECT_EQ(dataset->asInteger("Status"), 5);
  EXPECT_EQ(dataset->asDateTime("SetTime"), zdt::encode(2027, 1, 2, 23, 59, 58));
  EXPECT_EQ(dataset->asDateTime("Datum"), zdt::encode(2027, 1, 2));
  EXPECT_EQ(dataset->asInteger("Stunde"), -7);
  EXPECT_EQ(dataset->asText("Lehrer"), QStringLiteral("Müller-Lüdenscheidt"));
  EXPECT_EQ(dataset->asText("Fach"), QString());
  EXPECT_EQ(dataset->field("Fach").type, db::Field::Type::Text);
}

TEST_F(DbUpdate, SameValues_WriteNothing) {
  execute(markDone(QString()).replace(QLatin1String("Status='3'"), QLatin1String("Status='2'")));
  EXPECT_EQ(fileBytes(m_path), m_original);
}

TEST_F(DbUpdate, NullColumnAssignedWhatItReadsAs_StaysNull) {
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET RueckTime=#12/30/1899 00.00.00#, Telefon='' WHERE ID=19"));
  db::Dataset* dataset = row(19);
  EXPECT_EQ(dataset->field("RueckTime").type, db::Field::Type::Null);
  EXPECT_EQ(dataset->field("Telefon").type, db::Field::Type::Null);
}

TEST_F(DbUpdate, NoRowWithTheId_FailsAndLeavesTheFile) {
  const QString message = expectRefused(markDone(QString()).replace(QLatin1String("ID=17"), QLatin1String("ID=99")));
  EXPECT_TRUE(message.contains(QLatin1String("no row with ID=99"))) << message.toStdString();
}

TEST_F(DbUpdate, PrimaryKeyChange_IsRefused) {
  const QString message = expectRefused(QStringLiteral("UPDATE BenachrichtigungsTabelle SET ID='99' WHERE ID=17"));
  EXPECT_TRUE(message.contains(QLatin1String("index"))) << message.toStdString();
}

TEST_F(DbUpdate, BooleanChange_IsRefused) {
  expectRefused(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Valid=False WHERE ID=17"));
}

TEST_F(DbUpdate, ValueIntoNullColumn_IsRefused) {
  expectRefused(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Telefon='0815' WHERE ID=19"));
}

TEST_F(DbUpdate, TextLongerThanItsColumn_IsRefused) {
  expectRefused(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Klasse='%1' WHERE ID=17").arg(QString(21, u'k')));
}

TEST_F(DbUpdate, MissingColumn_IsRefused) {
  const QString message = expectRefused(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Raum='A1' WHERE ID=17"));
  EXPECT_TRUE(message.contains(QLatin1String("Raum"))) << message.toStdString();
}

TEST_F(DbUpdate, RowThatNoLongerFitsItsPage_FailsAndIsUndone) {
  writeNotificationFile(m_path, 60);
  m_original = fileBytes(m_path);
  // 255 characters outside Latin-1 take 510 bytes: more than a full page has left.
  const QString message = expectRefused(
      QStringLiteral("UPDATE BenachrichtigungsTabelle SET Bemerkung='%1' WHERE ID=100").arg(QString(255, u'€')));
  EXPECT_TRUE(message.contains(QLatin1String("undone"))) << message.toStdString();
}

TEST_F(DbUpdate, DeletedRowOnThePage_StaysDeleted) {
  // Mark row 18 deleted in its page's row offset table, as Jet does.
  const auto rows = scan(m_path);
  const auto& deleted = rows[rowOf(rows, 18)];
  QByteArray image = m_original;
  const qsizetype entry = qsizetype(deleted.page) * 4096 + 14 + deleted.index * 2;
  image[entry + 1] = static_cast<char>(image[entry + 1] | 0x40);
  {
    QFile file(m_path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image);
  }
  const QByteArray exportBefore = mdbExport(m_path, kTable);
  ASSERT_FALSE(exportBefore.contains("\n18,"));
  execute(markDone(QStringLiteral("Raum ''A1'' tauschen")));
  const QByteArray exportAfter = mdbExport(m_path, kTable);
  EXPECT_FALSE(exportAfter.contains("\n18,"));
  EXPECT_EQ(differingLines(exportBefore, exportAfter).size(), 1);
  EXPECT_EQ(row(17)->asText("Bemerkung"), QStringLiteral("Raum 'A1' tauschen"));
}

TEST_F(DbUpdate, CommandOnClosedConnection_ConnectsFirst) {
  db::Connection connection;
  connection.setConnectionString(notificationConnection(m_path));
  db::Command command(connection);
  command.setText(markDone(QString()));
  command.execute();
  EXPECT_EQ(row(17)->asInteger("Status"), 3);
}

// ------------------------------------------------------------------ guard

namespace {

// Row 17 of the fixture file as the notification store reads it.
db::ExpectedValues row17AsRead() {
  return {{"ID", db::integerField(17)},
          {"Status", db::integerField(2)},
          {"Valid", db::booleanField(true)},
          {"SetTime", db::dateTimeField(zdt::encode(2026, 12, 8, 7, 15, 30))},
          {"RueckTime", db::dateTimeField(0)},
          {"Datum", db::dateTimeField(zdt::encode(2026, 12, 8))},
          {"Stunde", db::integerField(4)},
          {"Lehrer", db::textField("Mus")},
          {"Klasse", db::textField("7a")},
          {"Fach", db::textField("M")},
          {"Bemerkung", db::textField("")},
          {"Telefon", db::textField("")},
          {"Kopie", db::integerField(0)},
          {"TAN", db::integerField(0)}};
}

class DbGuardedUpdate : public DbUpdate {
 protected:
  // With `changed`, only those columns are compared and written (a tick-off).
  void executeGuarded(const QString& statement, const db::ExpectedValues& expected,
                      const std::optional<QStringList>& changed = std::nullopt) {
    db::Connection connection;
    connection.setConnectionString(notificationConnection(m_path));
    db::Command command(connection);
    command.setText(statement);
    command.setExpectedValues(expected);
    if (changed) command.setChangedColumns(*changed);
    command.execute();
  }

  // Expects the guarded statement to be refused as a changed row, with the
  // file exactly as before; returns the refusal message.
  QString expectRowChanged(const QString& statement, const db::ExpectedValues& expected,
                           const std::optional<QStringList>& changed = std::nullopt) {
    const QByteArray before = fileBytes(m_path);
    QString message;
    try {
      executeGuarded(statement, expected, changed);
      ADD_FAILURE() << "written although the row changed";
    } catch (const db::RowChangedError& error) {
      message = error.message();
    } catch (const db::Error& error) {
      ADD_FAILURE() << "not a refusal of a changed row: " << error.what();
    }
    EXPECT_EQ(fileBytes(m_path), before);
    return message;
  }
};

}  // namespace

TEST_F(DbGuardedUpdate, RowAsRead_IsWritten) {
  executeGuarded(markDone(QString()), row17AsRead());
  EXPECT_EQ(row(17)->asInteger("Status"), 3);
}

TEST_F(DbGuardedUpdate, CancelledByTheIssuerSinceTheRead_WritesNothing) {
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status='4' WHERE ID=17"));
  const QString message = expectRowChanged(markDone(QString()), row17AsRead());
  EXPECT_TRUE(message.contains(QLatin1String("Status holds 4 instead of 2"))) << message.toStdString();
  EXPECT_EQ(row(17)->asInteger("Status"), 4);
}

TEST_F(DbGuardedUpdate, NewRemarkSinceTheRead_WritesNothing) {
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Bemerkung='Raum B2' WHERE ID=17"));
  const QString message = expectRowChanged(markDone(QString()), row17AsRead());
  EXPECT_TRUE(message.contains(QLatin1String("Bemerkung"))) << message.toStdString();
  EXPECT_EQ(row(17)->asText("Bemerkung"), QStringLiteral("Raum B2"));
}

TEST_F(DbGuardedUpdate, NewTimeSinceTheRead_WritesNothing) {
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET SetTime=#12/08/2026 07.15.31# WHERE ID=17"));
  expectRowChanged(markDone(QString()), row17AsRead());
}

TEST_F(DbGuardedUpdate, RowDeletedSinceTheRead_WritesNothing) {
  const QString message = expectRowChanged(markDone(QString()).replace("ID=17", "ID=99"),
                                           {{"ID", db::integerField(99)}, {"Status", db::integerField(2)}});
  EXPECT_TRUE(message.contains(QLatin1String("no row with ID=99"))) << message.toStdString();
}

TEST_F(DbGuardedUpdate, TickOffOfARowTheIssuerCancelledMeanwhile_IsRowChanged) {
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status='4' WHERE ID=17"));
  const QString message = expectRowChanged(markDone(QString()), row17AsRead(), QStringList{"Status"});
  EXPECT_TRUE(message.contains(QLatin1String("Status holds 4 instead of 2"))) << message.toStdString();
}

TEST_F(DbGuardedUpdate, TickOffAfterAnotherWriterChangedOtherColumns_WritesStatusAndKeepsTheirs) {
  // The issuing side changes the remark and another screen has already ticked off meanwhile.
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Bemerkung='Raum B2', SetTime=#12/08/2026 07.20.00# "
                         "WHERE ID=17"));
  executeGuarded(markDone(QString()), row17AsRead(), QStringList{"status"});
  db::Dataset* dataset = row(17);
  EXPECT_EQ(dataset->asInteger("Status"), 3);
  EXPECT_EQ(dataset->asText("Bemerkung"), QStringLiteral("Raum B2"));
  EXPECT_EQ(dataset->asDateTime("SetTime"), zdt::encode(2026, 12, 8, 7, 20, 0));
  m_connection.close();
  // Already ticked off: nothing left to write, and no refusal.
  const QByteArray ticked = fileBytes(m_path);
  executeGuarded(markDone(QString()), row17AsRead(), QStringList{"Status"});
  EXPECT_EQ(fileBytes(m_path), ticked);
}

TEST_F(DbGuardedUpdate, HundredTickOffs_LeaveEveryUntouchedValueAsStoredToTheSubSecond) {
  // Times with fractions of a second, as the issuing program stores them.
  const double setTime = 46364.745319710644, rueckTime = 46364.750006944444;
  execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET SetTime=%1, RueckTime=%2 WHERE ID=17")
              .arg(setTime, 0, 'g', 17)
              .arg(rueckTime, 0, 'g', 17));
  const auto stored = scan(m_path);
  const int target = rowOf(stored, 17);
  ASSERT_EQ(stored[target].values[3].value.toDouble(), setTime);
  ASSERT_EQ(stored[target].values[4].value.toDouble(), rueckTime);
  const QByteArray before = fileBytes(m_path);
  const QByteArray readBefore = mdbReaderJson(m_path);

  db::ExpectedValues asRead = row17AsRead();
  asRead[3].second = db::dateTimeField(setTime);
  asRead[4].second = db::dateTimeField(rueckTime);
  for (int i = 0; i < 100; ++i) {
    // The statement carries the times to the whole second, as the store writes them.
    const int status = asRead[1].second.value.toInt(), next = status == 2 ? 3 : 2;
    executeGuarded(markDone(QString()).replace("Status='3'", QStringLiteral("Status='%1'").arg(next)), asRead,
                   QStringList{"Status"});
    asRead[1].second = db::integerField(next);
    if (i == 0) {
      EXPECT_EQ(scan(m_path)[target].values[1].value.toInt(), 3);
    }
  }
  // Status is back at 2: the file is byte for byte as before the tick-offs.
  EXPECT_EQ(fileBytes(m_path), before);
  if (readBefore.isNull()) ZOVA_MISSING_TOOL("node with the npm reader (tools/testtools)");
  const QJsonArray rowsBefore = QJsonDocument::fromJson(readBefore)["tables"][0]["rows"].toArray();
  const QJsonArray rowsAfter = QJsonDocument::fromJson(mdbReaderJson(m_path))["tables"][0]["rows"].toArray();
  ASSERT_EQ(rowsBefore.size(), rowsAfter.size());
  for (int r = 0; r < rowsBefore.size(); ++r) EXPECT_EQ(rowsBefore[r], rowsAfter[r]) << "row " << r;
}

TEST_F(DbGuardedUpdate, FileWhosePageIsWriteLockedByAnotherProgram_FailsAsNoAnswerAndWritesNothing) {
  // Another program holds a Jet page write lock (page 1: 0x20000100) on the file.
  const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = 0x20000100;
  range.l_len = 0x101;
  ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &range), 0);
  try {
    executeGuarded(markDone(QString()), row17AsRead(), QStringList{"Status"});
    ADD_FAILURE() << "written although another program held the file";
  } catch (const db::Error& error) {
    EXPECT_EQ(error.kind(), db::Error::Kind::NoAnswer) << error.what();
    EXPECT_TRUE(error.message().contains(QLatin1String("held by another program"))) << error.what();
  }
  ::close(fd);
  EXPECT_EQ(fileBytes(m_path), m_original);
  executeGuarded(markDone(QString()), row17AsRead(), QStringList{"Status"});
  EXPECT_EQ(row(17)->asInteger("Status"), 3);
}

TEST_F(DbGuardedUpdate, NullColumnsReadAsZeroAndEmpty_MatchTheirValues) {
  // Row 19 holds NULL in RueckTime and Telefon; the store read them as 0 and "".
  executeGuarded(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status='3', RueckTime=#12/30/1899 00.00.00#, "
                                "Telefon='' WHERE ID=19"),
                 {{"ID", db::integerField(19)},
                  {"Status", db::integerField(2)},
                  {"RueckTime", db::dateTimeField(0)},
                  {"Telefon", db::textField("")}});
  EXPECT_EQ(row(19)->asInteger("Status"), 3);
  EXPECT_EQ(m_dataset->field("RueckTime").type, db::Field::Type::Null);
}

// ------------------------------------------------- interrupted and failed updates

namespace {

const char* const kFault = "ZOVA_DB_WORKER_FAULT";

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

// mdb-export's data lines by ID (the first field).
QMap<QByteArray, QByteArray> exportedRows(const QString& path) {
  QMap<QByteArray, QByteArray> rows;
  const QList<QByteArray> lines = mdbExport(path, kTable).split('\n');
  for (int i = 1; i < lines.size(); ++i)
    if (!lines[i].isEmpty()) rows.insert(lines[i].left(lines[i].indexOf(',')), lines[i]);
  return rows;
}

// mdb-reader's rows by ID; empty when the npm reader is not installed.
QMap<int, QJsonArray> readerRows(const QString& path) {
  QMap<int, QJsonArray> rows;
  const QByteArray json = mdbReaderJson(path);
  for (const QJsonValue row : QJsonDocument::fromJson(json)["tables"][0]["rows"].toArray())
    rows.insert(row[0].toInt(), row.toArray());
  return rows;
}

// A file's rows as both independent readers see them.
struct ReadRows {
  QMap<QByteArray, QByteArray> exported;
  QMap<int, QJsonArray> read;
};

ReadRows readRows(const QString& path) { return {exportedRows(path), readerRows(path)}; }

// Both readers see every row of the file exactly as in one of the two
// versions, and no row more or less.
void expectEveryRowBeforeOrAfter(const QString& path, const ReadRows& before, const ReadRows& after) {
  const ReadRows now = readRows(path);
  ASSERT_FALSE(before.exported.isEmpty()) << "mdb-export is not available";
  EXPECT_EQ(now.exported.keys(), before.exported.keys());
  for (auto it = now.exported.cbegin(); it != now.exported.cend(); ++it)
    EXPECT_TRUE(it.value() == before.exported.value(it.key()) || it.value() == after.exported.value(it.key()))
        << "mdb-export: " << it.value().toStdString();
  EXPECT_EQ(now.read.keys(), before.read.keys());
  for (auto it = now.read.cbegin(); it != now.read.cend(); ++it)
    EXPECT_TRUE(it.value() == before.read.value(it.key()) || it.value() == after.read.value(it.key()))
        << "mdb-reader: row " << it.key();
}

class DbInterruptedUpdate : public DbUpdate {
 protected:
  void SetUp() override {
    DbUpdate::SetUp();
    m_before = m_dir.filePath("before.mdb");
    m_after = m_dir.filePath("after.mdb");
  }

  // Keeps copies of both versions and how the readers see them.
  void keepVersions(const QByteArray& before, const QByteArray& after) {
    writeBytes(m_before, before);
    writeBytes(m_after, after);
    m_rowsBefore = readRows(m_before);
    m_rowsAfter = readRows(m_after);
    // Without the npm reader only mdb-export's half of the comparison runs;
    // where every test tool must be there, that is a failure.
    if (m_rowsBefore.read.isEmpty() && zovatest::missingToolsFail())
      ZOVA_MISSING_TOOL("node with the npm reader (tools/testtools)");
  }
  void TearDown() override { qunsetenv(kFault); }

  // Runs the statement with the fault; true when it finished. The worker
  // reads the fault from its environment, so one is started for it, and
  // another one without it afterwards.
  bool executeWithFault(const QString& statement, const QByteArray& fault, QString* message = nullptr,
                        db::Error::Kind* kind = nullptr) {
    qputenv(kFault, fault);
    db::worker::setWorkerForTesting(QString());
    bool finished = true;
    try {
      execute(statement);
    } catch (const db::Error& error) {
      finished = false;
      if (message) *message = error.message();
      if (kind) *kind = error.kind();
    }
    qunsetenv(kFault);
    db::worker::setWorkerForTesting(QString());
    return finished;
  }

  bool journalLeft() const {
    const QString journal = db::engine::journalFileFor(m_path);
    return QFileInfo::exists(journal) || QFileInfo::exists(journal + ".tmp");
  }

  QString m_before, m_after;  // copies of the file before and after the update
  ReadRows m_rowsBefore, m_rowsAfter;
};

}  // namespace

TEST_F(DbInterruptedUpdate, KilledAfterEachPageWrite_NextOperationFindsTheFileAsItWas) {
  const QString statement = markDone(QStringLiteral("Raum ''A1'' tauschen"));
  execute(statement);
  const QByteArray updated = fileBytes(m_path);
  keepVersions(m_original, updated);
  int killed = 0;
  for (int k = 0; k < 10; ++k) {
    writeBytes(m_path, m_original);
    if (executeWithFault(statement, "kill-after-page:" + QByteArray::number(k))) {
      EXPECT_EQ(fileBytes(m_path), updated);
      EXPECT_FALSE(journalLeft());
      break;
    }
    ++killed;
    ASSERT_TRUE(journalLeft()) << "killed after page " << k;
    expectEveryRowBeforeOrAfter(m_path, m_rowsBefore, m_rowsAfter);
    // The next operation on the file, a query, first undoes the interrupted update.
    EXPECT_EQ(row(17)->asInteger("Status"), 2) << "killed after page " << k;
    m_connection.close();
    EXPECT_EQ(fileBytes(m_path), m_original) << "killed after page " << k;
    EXPECT_FALSE(journalLeft());
  }
  EXPECT_GE(killed, 2);  // once before the first page write, once after the only one
}

TEST_F(DbInterruptedUpdate, PageTornByTheKill_IsWrittenBack) {
  const QString statement = markDone(QStringLiteral("Raum ''A1'' tauschen"));
  execute(statement);
  const QByteArray updated = fileBytes(m_path);
  const QVector<int> pages = changedPages(m_original, updated);
  ASSERT_EQ(pages.size(), 1);
  writeBytes(m_path, m_original);
  ASSERT_FALSE(executeWithFault(statement, "kill-after-page:1"));
  // As if the disk had taken only some sectors of the page: every other one as before.
  QByteArray torn = updated;
  const qsizetype page = qsizetype(pages[0]) * 4096;
  for (qsizetype at = page; at < page + 4096; at += 1024) torn.replace(at, 512, m_original.mid(at, 512));
  ASSERT_NE(torn, updated);
  ASSERT_NE(torn, m_original);
  writeBytes(m_path, torn);
  EXPECT_EQ(row(17)->asInteger("Status"), 2);
  m_connection.close();
  EXPECT_EQ(fileBytes(m_path), m_original);
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, FileUnreachableAfterTheKill_IsRestoredWhenItIsBack) {
  const QString statement = markDone(QString());
  ASSERT_FALSE(executeWithFault(statement, "kill-after-page:1"));
  const QString away = m_path + ".away";
  ASSERT_TRUE(QFile::rename(m_path, away));
  EXPECT_THROW(row(17), db::Error);
  EXPECT_TRUE(journalLeft());
  ASSERT_TRUE(QFile::rename(away, m_path));
  EXPECT_EQ(row(17)->asInteger("Status"), 2);
  EXPECT_EQ(fileBytes(m_path), m_original);
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, FileReplacedAfterTheKill_IsLeftAsTheOtherProgramWroteIt) {
  ASSERT_FALSE(executeWithFault(markDone(QString()), "kill-after-page:1"));
  writeNotificationFile(m_path, 20);  // the issuing program writes a new, longer file
  const QByteArray replaced = fileBytes(m_path);
  ASSERT_NE(replaced.size(), m_original.size());
  EXPECT_EQ(row(17)->asInteger("Status"), 2);
  EXPECT_EQ(fileBytes(m_path), replaced);
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, DiskFullAtThePageWrite_IsUndoneAtOnce) {
  QString message;
  db::Error::Kind kind = db::Error::Kind::Other;
  ASSERT_FALSE(executeWithFault(markDone(QString()), "fail-page:1", &message, &kind));
  EXPECT_TRUE(message.contains(QLatin1String("undone"))) << message.toStdString();
  EXPECT_EQ(kind, db::Error::Kind::NoSpace);
  EXPECT_EQ(fileBytes(m_path), m_original);
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, DiskFullAtTheJournal_LeavesTheFileUntouched) {
  QString message;
  db::Error::Kind kind = db::Error::Kind::Other;
  ASSERT_FALSE(executeWithFault(markDone(QString()), "fail-journal", &message, &kind));
  EXPECT_TRUE(message.contains(QLatin1String("journal"))) << message.toStdString();
  EXPECT_EQ(kind, db::Error::Kind::NoSpace);
  EXPECT_EQ(fileBytes(m_path), m_original);
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, FileOnAReadOnlyMount_FailsAsReadOnlyAndLeavesTheFileUntouched) {
  QString message;
  db::Error::Kind kind = db::Error::Kind::Other;
  ASSERT_FALSE(executeWithFault(markDone(QString()), "read-only-file", &message, &kind));
  EXPECT_EQ(kind, db::Error::Kind::ReadOnly) << message.toStdString();
  EXPECT_TRUE(message.contains(m_path)) << message.toStdString();
  EXPECT_EQ(fileBytes(m_path), m_original);
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, KilledAfterEachPageWhileAnotherScreenEditsTheSamePage_TheEditSurvives) {
  const QString statement = markDone(QStringLiteral("Raum ''A1'' tauschen"));
  const QString edit = QStringLiteral("UPDATE BenachrichtigungsTabelle SET Bemerkung='vom Sekretariat' WHERE ID=22");
  const auto rows = scan(m_path);
  ASSERT_EQ(rows[rowOf(rows, 17)].page, rows[rowOf(rows, 22)].page);
  const QByteArray ownSettings = qgetenv("XDG_CONFIG_HOME");
  const QByteArray otherSettings = QFile::encodeName(m_dir.filePath("other-screen"));
  int killed = 0;
  for (int k = 0; k < 10; ++k) {
    writeBytes(m_path, m_original);
    if (executeWithFault(statement, "kill-after-page:" + QByteArray::number(k))) break;
    ++killed;
    ASSERT_TRUE(journalLeft()) << "killed after page " << k;
    // Another screen, with settings and so a journal folder of its own,
    // changes row 22 before this one's next access.
    qputenv("XDG_CONFIG_HOME", otherSettings);
    db::worker::setWorkerForTesting(QString());
    execute(edit);
    qputenv("XDG_CONFIG_HOME", ownSettings);
    db::worker::setWorkerForTesting(QString());
    // The next access here finds the journal and must not take the edit back.
    EXPECT_EQ(row(22)->asText("Bemerkung"), QStringLiteral("vom Sekretariat")) << "killed after page " << k;
    m_connection.close();
    EXPECT_FALSE(journalLeft());
    const QMap<QByteArray, QByteArray> exported = exportedRows(m_path);
    EXPECT_EQ(exported.size(), 8) << "killed after page " << k;
    EXPECT_TRUE(exported.value("22").contains("\"vom Sekretariat\"")) << exported.value("22").toStdString();
  }
  EXPECT_GE(killed, 2);  // once before the first page write, once after the only one
}

TEST_F(DbInterruptedUpdate, FileShrinkingUnderTheUpdate_GetsNoPageOfIt) {
  QString message;
  ASSERT_FALSE(executeWithFault(markDone(QString()), "shrink-before-page:1", &message));
  EXPECT_TRUE(message.contains(QLatin1String("size"))) << message.toStdString();
  EXPECT_EQ(fileBytes(m_path), m_original.left(m_original.size() - 4096));
  EXPECT_FALSE(journalLeft());
}

TEST_F(DbInterruptedUpdate, SeveralPagesKilledAfterEachWrite_EveryRowBeforeOrAfterAndThenAsBefore) {
  writeNotificationFile(m_path, 60);
  const QByteArray original = fileBytes(m_path);
  for (int id : {17, 100, 130, 159})
    execute(QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status='3' WHERE ID=%1").arg(id));
  const QByteArray updated = fileBytes(m_path);
  const QVector<int> pages = changedPages(original, updated);
  ASSERT_GE(pages.size(), 3);
  keepVersions(original, updated);
  for (int k = 0; k <= pages.size(); ++k) {
    writeBytes(m_path, original);
    const pid_t child = ::fork();
    if (child == 0) {
      qputenv(kFault, "kill-after-page:" + QByteArray::number(k));
      try {
        db::engine::writePagesThroughJournal(m_path, original, updated, 4096);
      } catch (...) {
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "page " << k;
    ASSERT_TRUE(journalLeft());
    // Pages are written in file order: the first k hold the new bytes.
    const QByteArray interrupted = fileBytes(m_path);
    for (int i = 0; i < pages.size(); ++i) {
      const QByteArray& expected = i < k ? updated : original;
      EXPECT_EQ(interrupted.mid(pages[i] * 4096, 4096), expected.mid(pages[i] * 4096, 4096)) << k << "/" << i;
    }
    EXPECT_EQ(changedPages(interrupted, original).size(), k);
    expectEveryRowBeforeOrAfter(m_path, m_rowsBefore, m_rowsAfter);
    EXPECT_EQ(row(17)->asInteger("Status"), 2);
    m_connection.close();
    EXPECT_EQ(fileBytes(m_path), original) << "killed after page " << k;
    EXPECT_FALSE(journalLeft());
  }
}

// ------------------------------------------------- screens writing at once

namespace {

// Writers of the shared file in processes of their own, each with its own
// settings folder (and so journal folder), as screens and the issuing
// program are: zova-db-tickoff-writer. Every round they all get their go at
// the same moment and each answers with its outcome.
class DbSharedWriters : public DbUpdate {
 protected:
  void TearDown() override {
    for (QProcess* writer : m_writers) {
      writer->closeWriteChannel();
      if (!writer->waitForFinished(5000)) writer->kill();
      writer->waitForFinished(1000);
      delete writer;
    }
  }

  void startWriter(const char* mode, int id) {
    auto* writer = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("screen%1").arg(m_writers.size())));
    // A share's latency between reading the file and writing its pages.
    environment.insert(kFault, "slow-pages:3");
    writer->setProcessEnvironment(environment);
    writer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer->start(siblingProgram("zova-db-tickoff-writer"), {m_path, mode, QString::number(id)});
    ASSERT_TRUE(writer->waitForStarted(5000));
    m_writers.append(writer);
  }

  // Runs the rounds; every answer must be "ok".
  void runRounds(int rounds) {
    QElapsedTimer timer;
    timer.start();
    for (int round = 1; round <= rounds; ++round) {
      // QProcess sends only while it waits: every go is on its way before any answer is awaited.
      for (QProcess* writer : m_writers) writer->write("go\n");
      for (QProcess* writer : m_writers) ASSERT_TRUE(writer->waitForBytesWritten(5000));
      for (QProcess* writer : m_writers) {
        while (!writer->canReadLine()) ASSERT_TRUE(writer->waitForReadyRead(20000)) << "round " << round;
        const std::string answer = writer->readLine().trimmed().toStdString();
        ASSERT_EQ(answer, "ok") << "round " << round << ", writer " << m_writers.indexOf(writer);
      }
    }
    std::printf("%d rounds of %d writers: %lld ms\n", rounds, int(m_writers.size()), timer.elapsed());
  }

  // ZOVA_SHARED_WRITER_ROUNDS, else 100 (500 and more for a run by hand).
  static int rounds() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("ZOVA_SHARED_WRITER_ROUNDS", &ok);
    return ok && value > 0 ? value : 100;
  }

  int status(int id) const {
    const auto rows = scan(m_path);
    return rows[rowOf(rows, id)].values[1].value.toInt();
  }

  QVector<QProcess*> m_writers;
};

}  // namespace

TEST_F(DbSharedWriters, TwoScreensTickingOffOnTheSamePageAtOnce_LoseNoAcknowledgement) {
  startWriter("tick", 17);
  startWriter("tick", 22);
  const int n = rounds();
  runRounds(n);
  // A write reported done but lost would show here or refuse the next round.
  EXPECT_EQ(status(17), 2 + n);
  EXPECT_EQ(status(22), 2 + n);
  EXPECT_EQ(exportedRows(m_path).size(), 8);
}

TEST_F(DbSharedWriters, TwoScreensAndTheIssuerOnTheSamePageAtOnce_LoseNoWrite) {
  startWriter("tick", 17);
  startWriter("tick", 22);
  startWriter("remark", 20);
  const int n = rounds();
  runRounds(n);
  EXPECT_EQ(status(17), 2 + n);
  EXPECT_EQ(status(22), 2 + n);
  const auto rows = scan(m_path);
  EXPECT_EQ(rows[rowOf(rows, 20)].values[10].value.toString(), QStringLiteral("Runde %1").arg(n, 4, 10, QLatin1Char('0')));
  EXPECT_EQ(exportedRows(m_path).size(), 8);
}
