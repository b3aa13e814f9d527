// What the Jet writer refuses: values and tables it cannot store faithfully
// and folders it cannot write. Each refusal is a WriteError with a message
// naming the place, and leaves no file (and no temporary file) behind; an
// existing file of the same name stays as it was.
#include "jet/JetWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using jet::ColumnType;
using jet::Row;

namespace {

class JetRefusal : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

  // Writes `database` expecting a WriteError; returns its message.
  QString refusal(const jet::Database& database, const QString& path = {}) {
    try {
      database.write(path.isEmpty() ? m_dir.filePath("out.mdb") : path);
    } catch (const jet::WriteError& error) {
      return QString::fromStdString(error.what());
    }
    ADD_FAILURE() << "write was not refused";
    return {};
  }

  QStringList filesLeft() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

  static jet::Database oneValue(ColumnType type, const QVariant& value, int textLength = 255) {
    jet::Database database;
    database.addTable("Werte", {{"Spalte", type, textLength}}).rows.append(Row{value});
    return database;
  }

  QTemporaryDir m_dir;
};

}  // namespace

TEST_F(JetRefusal, TextOverItsColumnLength_IsRefused) {
  const QString message = refusal(oneValue(ColumnType::Text, QString(11, 'x'), 10));
  EXPECT_TRUE(message.contains("Werte") && message.contains("Spalte") && message.contains("row 1")) << message.toStdString();
  EXPECT_TRUE(filesLeft().isEmpty());
}

TEST_F(JetRefusal, TextColumnOver255Chars_IsRefused) {
  const QString message = refusal(oneValue(ColumnType::Text, QString("kurz"), 256));
  EXPECT_TRUE(message.contains("255")) << message.toStdString();
  EXPECT_TRUE(filesLeft().isEmpty());
}

TEST_F(JetRefusal, TextOf256CharsInAFullLengthColumn_IsRefused) {
  EXPECT_TRUE(refusal(oneValue(ColumnType::Text, QString(256, 'x'), 255)).contains("at most 255"));
}

TEST_F(JetRefusal, TextOfExactly255Chars_IsAccepted) {
  EXPECT_NO_THROW(oneValue(ColumnType::Text, QString(255, u'ä'), 255).write(m_dir.filePath("ok.mdb")));
}

TEST_F(JetRefusal, UnknownColumnType_IsRefused) {
  const QString message = refusal(oneValue(static_cast<ColumnType>(42), QVariant()));
  EXPECT_TRUE(message.contains("unknown column type")) << message.toStdString();
  EXPECT_TRUE(filesLeft().isEmpty());
}

TEST_F(JetRefusal, TextInLongColumn_IsRefused) {
  EXPECT_TRUE(refusal(oneValue(ColumnType::Long, QString("12"))).contains("cannot be stored"));
}

TEST_F(JetRefusal, NumberInTextColumn_IsRefused) {
  EXPECT_TRUE(refusal(oneValue(ColumnType::Text, 12)).contains("cannot be stored"));
}

TEST_F(JetRefusal, NumberInBooleanColumn_IsRefused) {
  EXPECT_TRUE(refusal(oneValue(ColumnType::Boolean, 1)).contains("cannot be stored"));
}

TEST_F(JetRefusal, TextInDateTimeColumn_IsRefused) {
  EXPECT_TRUE(refusal(oneValue(ColumnType::DateTime, QString("01.01.2007"))).contains("cannot be stored"));
}

TEST_F(JetRefusal, IntegerOutOfRange_IsRefused) {
  EXPECT_TRUE(refusal(oneValue(ColumnType::Integer, 40000)).contains("outside the range"));
  EXPECT_TRUE(refusal(oneValue(ColumnType::Byte, -1)).contains("outside the range"));
  EXPECT_TRUE(refusal(oneValue(ColumnType::Long, qint64(1) << 31)).contains("outside the range"));
}

TEST_F(JetRefusal, RowWithTooFewValues_IsRefused) {
  jet::Database database;
  database.addTable("T", {{"A", ColumnType::Long}, {"B", ColumnType::Long}}).rows.append(Row{1});
  EXPECT_TRUE(refusal(database).contains("1 values for 2 columns"));
}

TEST_F(JetRefusal, RowLargerThanAPage_IsRefused) {
  jet::Database database;
  QVector<jet::Column> columns;
  Row row;
  for (int i = 0; i < 9; ++i) {
    columns.append({QString("T%1").arg(i), ColumnType::Text, 255});
    row.append(QString(255, QChar(u'Ж')));  // not compressible: 510 bytes each
  }
  database.addTable("Breit", columns).rows.append(row);
  const QString message = refusal(database);
  EXPECT_TRUE(message.contains("data page holds at most")) << message.toStdString();
  EXPECT_TRUE(filesLeft().isEmpty());
}

TEST_F(JetRefusal, ColumnsBeyondOneDefinitionPage_AreRefused) {
  jet::Database database;
  QVector<jet::Column> columns;
  for (int c = 0; c < 120; ++c) columns.append({QString("Spalte%1").arg(c), ColumnType::Long});
  database.addTable("Riesig", columns);
  const QString message = refusal(database);
  EXPECT_TRUE(message.contains("more than one page")) << message.toStdString();
  EXPECT_TRUE(filesLeft().isEmpty());
}

TEST_F(JetRefusal, DuplicatePrimaryKey_IsRefused) {
  jet::Database database;
  jet::Table& table = database.addTable("K", {{"ID", ColumnType::Long, 255, true}});
  table.rows = {Row{1}, Row{2}, Row{1}};
  EXPECT_TRUE(refusal(database).contains("occurs twice"));
}

TEST_F(JetRefusal, NullPrimaryKey_IsRefused) {
  jet::Database database;
  database.addTable("K", {{"ID", ColumnType::Long, 255, true}}).rows.append(Row{QVariant()});
  EXPECT_TRUE(refusal(database).contains("cannot be NULL"));
}

TEST_F(JetRefusal, PrimaryKeyOnTextColumn_IsRefused) {
  jet::Database database;
  database.addTable("K", {{"ID", ColumnType::Text, 10, true}});
  EXPECT_TRUE(refusal(database).contains("only a Long Integer column"));
}

TEST_F(JetRefusal, DuplicateTableName_IsRefused) {
  jet::Database database;
  database.addTable("Plan", {{"A", ColumnType::Long}});
  database.addTable("plan", {{"A", ColumnType::Long}});
  EXPECT_TRUE(refusal(database).contains("used twice"));
}

TEST_F(JetRefusal, DuplicateColumnName_IsRefused) {
  jet::Database database;
  database.addTable("T", {{"Datum", ColumnType::DateTime}, {"DATUM", ColumnType::Long}});
  EXPECT_TRUE(refusal(database).contains("used twice"));
}

TEST_F(JetRefusal, MissingFolder_IsRefused) {
  const QString path = m_dir.filePath("fehlt/out.mdb");
  const QString message = refusal(oneValue(ColumnType::Long, 1), path);
  EXPECT_TRUE(message.contains("does not exist")) << message.toStdString();
  EXPECT_FALSE(QDir(m_dir.filePath("fehlt")).exists());
}

TEST_F(JetRefusal, FolderThatIsAFile_IsRefused) {
  QFile blocker(m_dir.filePath("datei"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_TRUE(refusal(oneValue(ColumnType::Long, 1), m_dir.filePath("datei/out.mdb")).contains("does not exist"));
}

TEST_F(JetRefusal, ReadOnlyFolder_IsRefused) {
  const QString folder = m_dir.filePath("nurlesen");
  ASSERT_TRUE(QDir().mkdir(folder));
  ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
  if (access(folder.toLocal8Bit().constData(), W_OK) == 0) {
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    GTEST_SKIP() << "running as root: permissions do not stop writing";
  }
  const QString message = refusal(oneValue(ColumnType::Long, 1), folder + "/out.mdb");
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_TRUE(message.contains("read-only")) << message.toStdString();
  EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST_F(JetRefusal, FolderNobodyCanWriteInto_IsRefused) {
  // /proc refuses new files even for root.
  const QString message = refusal(oneValue(ColumnType::Long, 1), "/proc/self/zova-test.mdb");
  EXPECT_TRUE(message.contains("/proc/self/zova-test.mdb")) << message.toStdString();
}

TEST_F(JetRefusal, RefusedWrite_KeepsTheExistingFile) {
  const QString path = m_dir.filePath("plan.mdb");
  oneValue(ColumnType::Long, 1).write(path);
  QFile before(path);
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray original = before.readAll();
  before.close();
  refusal(oneValue(ColumnType::Long, QString("kein Wert")), path);
  QFile after(path);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), original);
  EXPECT_EQ(filesLeft(), QStringList{"plan.mdb"});
}
