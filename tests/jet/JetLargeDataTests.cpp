// Tables larger than a page: rows spread over many data pages (found through
// the usage maps), long memos over many long-value pages, and a primary-key
// index over many leaf pages, walked with libmdb's own index code.
#include "JetReaders.h"
#include "jet/JetWriter.h"
#include "tests/support/MissingTool.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <mdbtools.h>

using jet::ColumnType;
using jet::Row;
using namespace jettest;

namespace {

constexpr int kManyRows = 20000;

// A row of the large table: its key is not in insertion order, so the index
// must sort; its text makes rows wide enough to need far more pages than an
// inline usage map can list.
Row wideRow(int i) {
  const int id = (i * 7919) % kManyRows + 1;
  return Row{id,
             QString("Zeile %1: Vertretung für Klasse %2, Raum A%3 – geändert; Aufgaben liegen im Lehrerzimmer bereit")
                 .arg(id).arg(i % 13).arg(i % 97),
             i % 2 == 0, 40000.0 + i / 100.0};
}

class JetLargeData : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

  QString writeManyRows(bool withKey) {
    jet::Database database;
    jet::Table& table = database.addTable("Viele", {{"ID", ColumnType::Long, 255, withKey},
                                                    {"Text", ColumnType::Text, 160},
                                                    {"Gerade", ColumnType::Boolean},
                                                    {"Wann", ColumnType::DateTime}});
    for (int i = 0; i < kManyRows; ++i) table.rows.append(wideRow(i));
    const QString path = m_dir.filePath("viele.mdb");
    database.write(path);
    return path;
  }

  QTemporaryDir m_dir;
};

// The primary-key values in index order, walked with libmdb: each index
// entry's row pointer is followed to its data row, whose ID is read there.
QVector<int32_t> keysInIndexOrder(const QString& path, const char* tableName) {
  QVector<int32_t> keys;
  MdbHandle* mdb = mdb_open(path.toLocal8Bit().constData(), MDB_NOFLAGS);
  if (!mdb) return keys;
  mdb_read_catalog(mdb, MDB_TABLE);
  MdbTableDef* table = mdb_read_table_by_name(mdb, const_cast<gchar*>(tableName), MDB_TABLE);
  if (table && mdb_read_columns(table)) {
    mdb_read_indices(table);
    if (table->num_idxs == 1) {
      MdbIndex* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, 0));
      MdbIndexChain chain{};
      guint32 page = 0;
      guint16 row = 0;
      while (mdb_index_find_next(mdb, index, &chain, &page, &row)) {
        void* buffer = nullptr;
        int offset = 0;
        size_t length = 0;
        if (mdb_find_pg_row(mdb, int((page << 8) | row), &buffer, &offset, &length) != 0) break;
        const auto* bytes = static_cast<const unsigned char*>(buffer) + offset + 2;  // after the column count
        keys.append(int32_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24));
      }
    }
  }
  if (table) mdb_free_tabledef(table);
  mdb_close(mdb);
  return keys;
}

}  // namespace

TEST_F(JetLargeData, TwentyThousandRows_ReadBackWholeWithTheNpmReader) {
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  const QString path = writeManyRows(false);
  QString error;
  const auto database = readWithNpm(path, &error);
  ASSERT_TRUE(database) << error.toStdString();
  const QJsonObject table = npmTable(*database, "Viele");
  EXPECT_EQ(table["rowCount"].toInt(), kManyRows);
  const QJsonArray rows = table["rows"].toArray();
  ASSERT_EQ(rows.size(), kManyRows);
  for (int i = 0; i < kManyRows; ++i) {
    const Row expected = wideRow(i);
    const QJsonArray row = rows[i].toArray();
    ASSERT_EQ(row[0].toInt(), expected[0].toInt()) << "row " << i;
    ASSERT_EQ(row[1].toString(), expected[1].toString()) << "row " << i;
    ASSERT_EQ(row[2].toBool(), expected[2].toBool()) << "row " << i;
    ASSERT_EQ(row[3].toString(), doubleHex(expected[3].toDouble())) << "row " << i;
  }
}

TEST_F(JetLargeData, TwentyThousandRows_ReadBackWholeWithMdbtools) {
  const QString path = writeManyRows(false);
  const QVector<QJsonObject> rows = mdbJsonRows(path, "Viele");
  ASSERT_EQ(rows.size(), kManyRows);
  for (int i = 0; i < kManyRows; ++i) {
    const Row expected = wideRow(i);
    ASSERT_EQ(rows[i]["ID"].toInt(), expected[0].toInt()) << "row " << i;
    ASSERT_EQ(rows[i]["Text"].toString(), expected[1].toString()) << "row " << i;
  }
}

TEST_F(JetLargeData, NarrowRowsOnSomePages_ReadBackWholeWithBothReaders) {
  // Few enough pages for an inline usage map.
  jet::Database database;
  jet::Table& table = database.addTable("Schmal", {{"Nr", ColumnType::Long}, {"Kurz", ColumnType::Text, 10}});
  for (int i = 0; i < 3000; ++i) table.rows.append(Row{i, QString::number(i % 1000)});
  const QString path = m_dir.filePath("schmal.mdb");
  database.write(path);
  const QVector<QJsonObject> mdb = mdbJsonRows(path, "Schmal");
  ASSERT_EQ(mdb.size(), 3000);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(mdb[i]["Nr"].toInt(), i);
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  QString error;
  const auto read = readWithNpm(path, &error);
  ASSERT_TRUE(read) << error.toStdString();
  const QJsonArray rows = npmTable(*read, "Schmal")["rows"].toArray();
  ASSERT_EQ(rows.size(), 3000);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(rows[i].toArray()[1].toString(), QString::number(i % 1000));
}

TEST_F(JetLargeData, PrimaryKeyIndexOverManyPages_ListsEveryKeyInOrder) {
  const QString path = writeManyRows(true);
  const QVector<int32_t> keys = keysInIndexOrder(path, "Viele");
  ASSERT_EQ(keys.size(), kManyRows);
  for (int i = 0; i < kManyRows; ++i) ASSERT_EQ(keys[i], i + 1) << "entry " << i;
}

TEST_F(JetLargeData, PrimaryKeyIndexOnOnePage_ListsEveryKeyInOrder) {
  jet::Database database;
  jet::Table& table = database.addTable("Klein", {{"Name", ColumnType::Text}, {"ID", ColumnType::Long, 255, true}});
  for (int id : {42, -7, 0, 2147483647, -2147483647 - 1, 5}) table.rows.append(Row{QString("n%1").arg(id), id});
  const QString path = m_dir.filePath("klein.mdb");
  database.write(path);
  // The key is the table's only fixed column, so it starts the fixed area.
  EXPECT_EQ(keysInIndexOrder(path, "Klein"), (QVector<int32_t>{-2147483647 - 1, -7, 0, 5, 42, 2147483647}));
}

TEST_F(JetLargeData, ManyLongMemos_ReadBackWhole) {
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  jet::Database database;
  jet::Table& table = database.addTable("Memos", {{"Nr", ColumnType::Long}, {"Text", ColumnType::Memo}});
  for (int i = 0; i < 60; ++i) table.rows.append(Row{i, QString("Memo %1 ").arg(i).repeated(40 * i + 1)});
  const QString path = m_dir.filePath("memos.mdb");
  database.write(path);
  QString error;
  const auto read = readWithNpm(path, &error);
  ASSERT_TRUE(read) << error.toStdString();
  const QJsonArray rows = npmTable(*read, "Memos")["rows"].toArray();
  const QVector<QJsonObject> mdb = mdbJsonRows(path, "Memos");
  ASSERT_EQ(rows.size(), 60);
  ASSERT_EQ(mdb.size(), 60);
  for (int i = 0; i < 60; ++i) {
    const QString expected = QString("Memo %1 ").arg(i).repeated(40 * i + 1);
    EXPECT_EQ(rows[i].toArray()[1].toString(), expected) << "row " << i;
    EXPECT_EQ(mdb[i]["Text"].toString(), expected) << "row " << i;
  }
}

TEST_F(JetLargeData, SixtyMemoColumns_ReadBackWhole) {
  // Two usage maps per memo column overflow the table's usage-map page.
  jet::Database database;
  QVector<jet::Column> columns;
  for (int c = 0; c < 60; ++c) columns.append({QString("M%1").arg(c), ColumnType::Memo});
  jet::Table& table = database.addTable("Breit", columns);
  const auto value = [](int r, int c) { return QString("R%1C%2 ").arg(r).arg(c).repeated((r * 60 + c) % 97 * 3); };
  for (int r = 0; r < 3; ++r) {
    Row row;
    for (int c = 0; c < 60; ++c) row.append(value(r, c));
    table.rows.append(row);
  }
  const QString path = m_dir.filePath("breit.mdb");
  database.write(path);
  const QVector<QJsonObject> mdb = mdbJsonRows(path, "Breit");
  ASSERT_EQ(mdb.size(), 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 60; ++c) {
      const QString expected = value(r, c);
      // mdb-json leaves empty memos out like NULLs.
      EXPECT_EQ(mdb[r][QString("M%1").arg(c)].toString(), expected) << r << "/" << c;
    }
  if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  QString error;
  const auto read = readWithNpm(path, &error);
  ASSERT_TRUE(read) << error.toStdString();
  const QJsonArray rows = npmTable(*read, "Breit")["rows"].toArray();
  ASSERT_EQ(rows.size(), 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 60; ++c) EXPECT_EQ(rows[r].toArray()[c].toString(), value(r, c)) << r << "/" << c;
}
