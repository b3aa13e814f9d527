// Damaged files (truncated, empty, not a database, random bytes, zeroed or
// swapped pages, damaged row and memo lengths, wrong row counts): `zova-db
// query` and `zova-db tables` always end within the deadline plus a second,
// never killed by a signal, and fail with status 1 and one line naming the
// file unless the damage missed everything that is read.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DbDamage.h"
#include "DbFixtures.h"
#include "db/Database.h"

using namespace dbtest;

namespace {

class DbDamagedFile : public ::testing::TestWithParam<Damage> {};

const char* damageName(Damage damage) {
  switch (damage) {
    case Damage::TruncatedHalf: return "TruncatedHalf";
    case Damage::HeaderPageOnly: return "HeaderPageOnly";
    case Damage::TruncatedMidPage: return "TruncatedMidPage";
    case Damage::Empty: return "Empty";
    case Damage::NotADatabase: return "NotADatabase";
    case Damage::CatalogPageRandom: return "CatalogPageRandom";
    case Damage::EveryPageSprinkled: return "EveryPageSprinkled";
    case Damage::DataPagesZeroed: return "DataPagesZeroed";
    case Damage::DataPagesAllOnes: return "DataPagesAllOnes";
    case Damage::PagesSwapped: return "PagesSwapped";
    case Damage::NegativeFieldLengths: return "NegativeFieldLengths";
    case Damage::FieldsOutsideTheirRow: return "FieldsOutsideTheirRow";
    case Damage::HugeMemoLengths: return "HugeMemoLengths";
    case Damage::RowOffsetsOutsideThePage: return "RowOffsetsOutsideThePage";
    case Damage::TableRowCountsRaised: return "TableRowCountsRaised";
  }
  return "?";
}

}  // namespace

TEST_P(DbDamagedFile, QueryAndTables_EndInTimeAndFailNamingTheFile) {
  QTemporaryDir dir;
  const QString intact = dir.filePath("intact.mdb");
  writePlanFile(intact);
  std::mt19937 random(20261208);
  const QString path = dir.filePath("damaged.mdb");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(damaged(fileBytes(intact), GetParam(), random));
  }
  const int limit = db::kDeadlineMs + 1000;
  for (const QString& statement : {QStringLiteral("SELECT * FROM TStatTextAula"),
                                   QStringLiteral("Select * from TDynTextAula where Datum = 39083;"), QString()}) {
    const ToolRun run = runTool(statement.isEmpty() ? QStringLiteral("tables") : QStringLiteral("query"), path,
                                statement, limit + 2000);
    EXPECT_TRUE(run.finishedNormally) << statement.toStdString();
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode;
    EXPECT_LE(run.elapsedMs, limit);
    if (run.exitCode == 1) {
      EXPECT_FALSE(run.stderrLine.isEmpty());
    }
    // Only a few scattered bytes may miss everything that is read; every
    // other damage must fail, naming the file, instead of giving rows short.
    if (GetParam() != Damage::EveryPageSprinkled) {
      EXPECT_EQ(run.exitCode, 1) << statement.toStdString();
      EXPECT_TRUE(run.stderrLine.contains(path)) << run.stderrLine.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DbDamagedFile,
                         ::testing::Values(Damage::TruncatedHalf, Damage::HeaderPageOnly, Damage::TruncatedMidPage,
                                           Damage::Empty, Damage::NotADatabase, Damage::CatalogPageRandom,
                                           Damage::EveryPageSprinkled, Damage::DataPagesZeroed,
                                           Damage::DataPagesAllOnes, Damage::PagesSwapped,
                                           Damage::NegativeFieldLengths, Damage::FieldsOutsideTheirRow,
                                           Damage::HugeMemoLengths, Damage::RowOffsetsOutsideThePage,
                                           Damage::TableRowCountsRaised),
                         [](const auto& info) { return std::string(damageName(info.param)); });

TEST(DbDamagedFileLayer, NotADatabase_IsAClearOpenError) {
  QTemporaryDir dir;
  const QString path = dir.filePath("plan.mdb");
  std::mt19937 random(1);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(damaged(QByteArray(), Damage::NotADatabase, random));
  file.close();
  db::Connection connection;
  connection.setConnectionString(planConnection(path));
  try {
    connection.open();
    FAIL();
  } catch (const db::Error& error) {
    EXPECT_TRUE(error.message().contains(QLatin1String("not a Jet"))) << error.what();
  }
}
