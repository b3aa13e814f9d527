// zova-db-bench FILE "SELECT ..." [RUNS]: what opening a read connection and
// running one query costs through the worker (two requests to the running
// worker: the snapshot at open, then the query), against the same work done
// in-process. zova-db-poll-bench measures the reads with a LocalCopy.
//
// Prints figures; it asserts nothing about speed.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "db/Database.h"
#include "db/sql/Evaluator.h"
#include "db/file/JetFile.h"
#include "db/engine/MdbTable.h"
#include "db/sql/SqlParser.h"

namespace {

double perRunMs(QElapsedTimer& timer, int runs) { return timer.nsecsElapsed() / 1e6 / runs; }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) {
    std::fputs("usage: zova-db-bench FILE \"SELECT ...\" [RUNS]\n", stderr);
    return 1;
  }
  const QString file = args[1];
  const QString sql = args[2];
  const int runs = args.size() > 3 ? qMax(1, args[3].toInt()) : 50;
  try {
    int rows = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i) {
      db::Connection connection;
      connection.setConnectionString(
          QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;Persist Security Info=False;").arg(file));
      connection.open();
      db::Dataset dataset(connection);
      dataset.setSql(sql);
      dataset.open();
      rows = dataset.rowCount();
      connection.close();
    }
    const double throughLayer = perRunMs(timer, runs);

    timer.restart();
    const QString copy = QDir::temp().filePath(QStringLiteral("zova-db-bench-copy.mdb"));
    for (int i = 0; i < runs; ++i) db::takeSnapshot(file, copy);
    QFile::remove(copy);
    const double snapshot = perRunMs(timer, runs);

    const auto select = std::get<db::sql::SelectStatement>(db::sql::parseStatement(sql));
    timer.restart();
    for (int i = 0; i < runs; ++i) {
      db::engine::MdbDatabase database(file, false);
      db::engine::MdbTable table(database, select.table);
      db::ResultTable result = db::engine::readTable(table);
      db::applySelect(select, result);
    }
    const double inProcess = perRunMs(timer, runs);

    std::printf("file %s, %d rows, %d runs\n", qPrintable(file), rows, runs);
    std::printf("open + query through the layer (snapshot + query):  %8.2f ms\n", throughLayer);
    std::printf("  of which the snapshot copy itself:                %8.2f ms\n", snapshot);
    std::printf("same query in-process with libmdb:                  %8.2f ms\n", inProcess);
    std::printf("cost of the two worker requests (open, query):      %8.2f ms\n", throughLayer - snapshot - inProcess);
  } catch (const db::Error& error) {
    std::fprintf(stderr, "zova-db-bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
