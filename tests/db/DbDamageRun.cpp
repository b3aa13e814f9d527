// zova-db-damage-run [COUNT] [SEED] [FILE]: the randomized damage run, by hand.
//
// Makes COUNT randomly damaged copies of a writer-made plan file (or of
// FILE, e.g. an Access-made database kept outside the repository), runs
// `zova-db query` and `zova-db tables` on each and prints how they ended:
// exit 0, exit 1, deadline messages, anything else (a signal, a hang, another
// status), and the longest run. Every run must end with 0 or 1 within the
// deadline plus a second.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "DbDamage.h"
#include "DbFixtures.h"
#include "db/Database.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Damaged copies are never changing exports: no quiet time to wait.
  if (qEnvironmentVariableIsEmpty("ZOVA_TEST_EXPORT_QUIET_MS")) qputenv("ZOVA_TEST_EXPORT_QUIET_MS", "0");
  const int count = argc > 1 ? atoi(argv[1]) : 200;
  const unsigned seed = argc > 2 ? unsigned(atoi(argv[2])) : 1;
  QTemporaryDir dir;
  QString intact = dir.filePath("intact.mdb");
  if (argc > 3)
    intact = QString::fromLocal8Bit(argv[3]);
  else
    dbtest::writePlanFile(intact);
  const QByteArray image = dbtest::fileBytes(intact);
  QStringList tables;
  try {
    db::Connection connection;
    connection.setConnectionString(dbtest::planConnection(intact));
    connection.open();
    tables = connection.tableNames();
  } catch (const db::Error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  if (tables.isEmpty()) return 2;
  std::mt19937 random(seed);
  int exitZero = 0, exitOne = 0, deadline = 0, other = 0;
  qint64 longest = 0;
  const int limit = db::kDeadlineMs + 1000;
  for (int i = 0; i < count; ++i) {
    const QString path = dir.filePath(QStringLiteral("damaged-%1.mdb").arg(i));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(dbtest::randomlyDamaged(image, random));
    file.close();
    const QString statement = QStringLiteral("SELECT * FROM [%1]").arg(tables[i % tables.size()]);
    for (const QString& command : {QStringLiteral("query"), QStringLiteral("tables")}) {
      const dbtest::ToolRun run =
          dbtest::runTool(command, path, command == QLatin1String("query") ? statement : QString(), limit + 5000);
      longest = qMax(longest, run.elapsedMs);
      if (!run.finishedNormally || (run.exitCode != 0 && run.exitCode != 1) || run.elapsedMs > limit) {
        ++other;
        std::printf("copy %d (%s): finished=%d exit=%d %lld ms %s\n", i, qPrintable(command), run.finishedNormally,
                    run.exitCode, static_cast<long long>(run.elapsedMs), qPrintable(run.stderrLine));
        QFile::copy(path, QStringLiteral("/tmp/zova-db-damage-%1-%2.mdb").arg(seed).arg(i));
      } else if (run.exitCode == 0) {
        ++exitZero;
      } else {
        ++exitOne;
        if (run.stderrLine.contains(QLatin1String("did not answer"))) ++deadline;
      }
    }
    QFile::remove(path);
  }
  std::printf("%d damaged copies, seed %u: exit 0: %d, exit 1: %d (deadline: %d), other: %d, longest run %lld ms\n",
              count, seed, exitZero, exitOne, deadline, other, static_cast<long long>(longest));
  return other == 0 ? 0 : 1;
}
