// Updates of a writer-made notification file through the layer: the new
// values arrive, everything else stays byte for byte, refusals and failures
// leave the file exactly as it was, and independent readers agree.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DbFixtures.h"
#include "db/Database.h"
#include "db/MdbTable.h"

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
  if (before.isNull()) GTEST_SKIP() << "node or tools/testtools/mdb-read.js with mdb-reader not available";
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
