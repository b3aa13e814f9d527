// The reader on damaged rows, and the check that a file is whole: a damaged
// or cut file is an error naming the table or file and the damage, never a
// read outside a buffer and never a result with rows quietly missing.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DbDamage.h"
#include "DbFixtures.h"
#include "db/engine/JetStructure.h"
#include "db/engine/MdbTable.h"
#include "db/sql/SqlParser.h"

using namespace dbtest;
using db::engine::MdbDatabase;
using db::engine::MdbTable;

namespace {

constexpr int kPage = 4096;

class DbStructure : public ::testing::Test {
 protected:
  void SetUp() override {
    writePlanFile(m_dir.filePath("intact.mdb"));
    m_intact = fileBytes(m_dir.filePath("intact.mdb"));
  }
  // Writes the image as damaged.mdb and returns its path.
  QString write(const QByteArray& image) {
    const QString path = m_dir.filePath("damaged.mdb");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(image);
    return path;
  }
  QString wholeFileProblem(const QString& path) {
    try {
      db::engine::checkWholeDatabase(path);
    } catch (const db::Error& error) {
      return error.message();
    }
    return {};
  }

  QTemporaryDir m_dir;
  QByteArray m_intact;
};

// Every table's rows as the reader gives them, or the error.
QString allRows(const QString& path) {
  QString rows;
  try {
    MdbDatabase database(path, false);
    for (const QString& name : database.tableNames()) {
      MdbTable table(database, name);
      for (const db::ResultRow& row : db::engine::readTable(table).rows)
        for (const db::Field& field : row) rows += field.value.toString() + u'|';
    }
  } catch (const db::Error& error) {
    return QStringLiteral("error: ") + error.message();
  }
  return rows;
}

// The error of reading every row of the table (or of a query with a WHERE
// every row passes), or an empty text.
QString readError(const QString& path, const QString& tableName, bool filtered) {
  try {
    MdbDatabase database(path, false);
    MdbTable table(database, tableName);
    if (filtered) {
      const auto select = std::get<db::sql::SelectStatement>(
          db::sql::parseStatement(QStringLiteral("SELECT * FROM %1 WHERE ID > 0").arg(tableName)));
      db::engine::selectRows(table, select);
    } else {
      db::engine::readTable(table);
    }
  } catch (const db::Error& error) {
    return error.message();
  }
  return {};
}

struct RowDamageCase {
  Damage damage;
  const char* table;
  const char* name;
};

void PrintTo(const RowDamageCase& damage, std::ostream* out) { *out << damage.name; }

class DbDamagedRows : public DbStructure, public ::testing::WithParamInterface<RowDamageCase> {};

}  // namespace

TEST_P(DbDamagedRows, ReadingAndFiltering_FailNamingTheTable) {
  std::mt19937 random(7);
  const QString path = write(damaged(m_intact, GetParam().damage, random));
  for (const bool filtered : {false, true}) {
    const QString message = readError(path, GetParam().table, filtered);
    EXPECT_TRUE(message.contains(QStringLiteral("Table %1 in %2 is damaged").arg(GetParam().table, path)))
        << "filtered=" << filtered << ": " << message.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DbDamagedRows,
                         ::testing::Values(RowDamageCase{Damage::NegativeFieldLengths, "TDynTextAula", "NegativeLength"},
                                           RowDamageCase{Damage::FieldsOutsideTheirRow, "TDynTextAula", "OutsideRow"},
                                           RowDamageCase{Damage::HugeMemoLengths, "Kinds", "MemoLength"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DbStructure, RowOffsetOutsideThePage_FailsInsteadOfLeavingTheRowOut) {
  QVector<db::engine::ScannedRow> rows;
  {
    MdbDatabase database(write(m_intact), false);
    MdbTable table(database, "TDynTextAula");
    for (db::engine::ScannedRow row; table.next(&row);) rows.append(row);
  }
  ASSERT_EQ(rows.size(), 5);
  QByteArray image = m_intact;
  const qsizetype entry = qsizetype(rows[2].page) * kPage + 14 + rows[2].index * 2;
  image[entry] = '\0';
  image[entry + 1] = '\x18';  // offset 0x1800, beyond the 4 KiB page
  const QString path = write(image);
  EXPECT_TRUE(readError(path, "TDynTextAula", false).contains(QLatin1String("its offsets lie outside the page")));
}

TEST_F(DbStructure, IntactFile_IsWhole) { EXPECT_EQ(wholeFileProblem(write(m_intact)), QString()); }

TEST_F(DbStructure, CutAtAnyPageBoundary_FailsOrReadsEveryRow) {
  const QString intactRows = allRows(write(m_intact));
  ASSERT_FALSE(intactRows.startsWith(QLatin1String("error")));
  for (int pages = 1; pages < m_intact.size() / kPage; ++pages) {
    const QString path = write(m_intact.left(pages * kPage));
    const QString problem = wholeFileProblem(path);
    if (problem.isEmpty()) {
      EXPECT_EQ(allRows(path), intactRows) << "cut after " << pages << " pages passed as whole";
    } else {
      EXPECT_TRUE(problem.contains(path)) << problem.toStdString();
    }
  }
}

TEST_F(DbStructure, CutInsideAPage_Fails) {
  const QString path = write(m_intact.left(m_intact.size() - 100));
  EXPECT_TRUE(wholeFileProblem(path).contains(QLatin1String("ends inside a page"))) << wholeFileProblem(path).toStdString();
}

TEST_F(DbStructure, DefinitionCountingAnotherRow_Fails) {
  std::mt19937 random(1);
  const QString problem = wholeFileProblem(write(damaged(m_intact, Damage::TableRowCountsRaised, random)));
  EXPECT_TRUE(problem.contains(QLatin1String("holds 3 of the 4 rows"))) << problem.toStdString();
}

TEST_F(DbStructure, CatalogCountingAnotherEntry_FailsTheTableList) {
  QByteArray image = m_intact;
  image[2 * kPage + 16] = char(image[2 * kPage + 16] + 1);  // the catalog definition's row count
  MdbDatabase database(write(image), false);
  EXPECT_THROW(database.tableNames(), db::Error);
}
