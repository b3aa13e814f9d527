// Damaged copies of a database file, and one run of `zova-db query` on such
// a copy with its outcome, for the damage tests and the randomized run.
#pragma once

#include <QByteArray>
#include <QString>
#include <random>

namespace dbtest {

enum class Damage { TruncatedHalf, HeaderPageOnly, TruncatedMidPage, Empty, NotADatabase, CatalogPageRandom,
                    EveryPageSprinkled, DataPagesZeroed, DataPagesAllOnes, PagesSwapped,
                    // In every row of the user tables (the catalog stays intact):
                    NegativeFieldLengths,      // a variable column ends before it starts
                    FieldsOutsideTheirRow,     // a variable column starts 64 KiB away
                    HugeMemoLengths,           // long-value memo headers claim 16 MiB
                    RowOffsetsOutsideThePage,  // row offset table entries beyond the page
                    TableRowCountsRaised };    // table definitions count one row more

// The file image damaged in the given way; `random` drives the random kinds.
QByteArray damaged(const QByteArray& image, Damage damage, std::mt19937& random);

// A random damage: 1 to 64 bytes changed at random places, a truncation at a
// random length, one whole page overwritten with random bytes, or one of the
// row damages above on a random eighth of all rows (the catalog's included).
QByteArray randomlyDamaged(const QByteArray& image, std::mt19937& random);

struct ToolRun {
  bool finishedNormally = false;  // not killed by a signal, not stuck
  int exitCode = -1;
  qint64 elapsedMs = 0;
  QString stderrLine;
};

// Runs `zova-db <command> FILE [statement]`, waiting at most `limitMs`.
ToolRun runTool(const QString& command, const QString& file, const QString& statement, int limitMs);

}  // namespace dbtest
