// Damaged copies of a database file, and one run of `zova-db query` on such
// a copy with its outcome, for the damage tests and the randomized run.
#pragma once

#include <QByteArray>
#include <QString>
#include <random>

namespace dbtest {

enum class Damage { TruncatedHalf, HeaderPageOnly, TruncatedMidPage, Empty, NotADatabase, CatalogPageRandom,
                    EveryPageSprinkled, DataPagesZeroed, DataPagesAllOnes, PagesSwapped };

// The file image damaged in the given way; `random` drives the random kinds.
QByteArray damaged(const QByteArray& image, Damage damage, std::mt19937& random);

// A random damage: 1 to 64 bytes changed at random places, a truncation at a
// random length, or one whole page overwritten with random bytes.
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
