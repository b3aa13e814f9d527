// zova-db-poll-bench [RUNS]: what the monitor's database reads cost through
// the access layer with the plan file kept by a LocalCopy, on the demo plan
// and on a 60-day plan of 5 000 rows per audience, side by side in one run:
//
//   - the poll of an unchanged plan: open + the two day-record queries
//     (sorted by "Datum ASC"), against mdb-export of the same two tables;
//   - the background refresh of an unchanged file, in time and in CPU (the
//     monitor's whole poll of an unchanged plan) against cat of the file;
//   - reading one day's rows (open + the day query, sorted by "ID"), and the
//     same query done in-process with libmdb (what the worker itself spends);
//   - the same poll without a keeper (a snapshot at every open);
//   - the worker processes started for the first page.
//
// Prints figures (ratios are what to compare across machines); asserts nothing.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

#include "DemoPlan.h"
#include "db/Database.h"
#include "db/sql/Evaluator.h"
#include "db/copy/LocalCopy.h"
#include "db/engine/MdbTable.h"
#include "db/sql/SqlParser.h"
#include "db/worker/WorkerClient.h"
#include "jet/JetWriter.h"

namespace {

const QString kStatTables[] = {QStringLiteral("TStatTextAula"), QStringLiteral("TStatTextLehrer")};

QString readConnection(const QString& file) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;Persist Security Info=False;")
      .arg(file);
}

// Milliseconds per run of `work`, after one run to warm up.
double msPerRun(int runs, const std::function<void()>& work) {
  work();
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < runs; ++i) work();
  return timer.nsecsElapsed() / 1e6 / runs;
}

// Opens `connection` on the keeper's copy, or without one on a snapshot.
void openFor(db::Connection& connection, const QString& file, const db::LocalCopy* keeper) {
  connection.setConnectionString(readConnection(file));
  if (keeper)
    connection.open(*keeper);
  else
    connection.open();
}

// What GetNewDaten reads: both day-record tables, sorted by date.
void pollDayRecords(const QString& file, const db::LocalCopy* keeper) {
  db::Connection connection;
  openFor(connection, file, keeper);
  db::Dataset dataset(connection);
  for (const QString& table : kStatTables) {
    dataset.close();
    dataset.setSql(QStringLiteral("SELECT * FROM ") + table);
    dataset.open();
    dataset.sort(QStringLiteral("Datum ASC"));
  }
  connection.close();
}

// The day query of GetDynData for the pupils.
QString dayQuery(TDateTime day) { return QStringLiteral("Select * from TDynTextAula where Datum = %1;").arg(qint64(day)); }

// What GetDynData reads: the pupils' rows of one day, in display order.
int readDay(const QString& file, TDateTime day, const db::LocalCopy* keeper) {
  db::Connection connection;
  openFor(connection, file, keeper);
  db::Dataset dataset(connection);
  dataset.setSql(dayQuery(day));
  dataset.open();
  dataset.sort(QStringLiteral("ID"));
  const int rows = dataset.rowCount();
  connection.close();
  return rows;
}

// The day query without the layer: libmdb in this process, as the worker runs it.
void readDayInProcess(const QString& file, TDateTime day) {
  const auto select = std::get<db::sql::SelectStatement>(db::sql::parseStatement(dayQuery(day)));
  db::engine::MdbDatabase database(file, false);
  db::engine::MdbTable table(database, select.table);
  db::ResultTable result = db::engine::readTable(table);
  db::applySelect(select, result);
  db::sortRows(result, db::sql::parseSortExpression(QStringLiteral("ID")));
}

void mdbExportDayRecords(const QString& file) {
  for (const QString& table : kStatTables) {
    QProcess process;
    process.start(QStringLiteral("mdb-export"), {file, table});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
      throw db::Error(QStringLiteral("mdb-export %1 %2 failed").arg(file, table));
  }
}

int columnIndex(const jet::Table& table, const QString& name) {
  for (int i = 0; i < table.columns.size(); ++i)
    if (table.columns[i].name == name) return i;
  return -1;
}

// The demo plan stretched to `days` plan days and `rowsPerAudience` rows in
// each substitution table, its days' records and rows repeated with new dates.
jet::Database largePlan(const jet::Database& demo, int days, int rowsPerAudience) {
  jet::Database plan;
  for (const jet::Table& source : demo.tables()) {
    jet::Table& table = plan.addTable(source.name, source.columns);
    const int datum = columnIndex(source, QStringLiteral("Datum"));
    const TDateTime first = source.rows.value(0).value(datum).toDouble();
    const bool dayRecords = source.name.startsWith(QLatin1String("TStat"));
    const int count = dayRecords ? days : rowsPerAudience;
    for (int i = 0; i < count; ++i) {
      jet::Row row = source.rows[i % source.rows.size()];
      row[datum] = first + (dayRecords ? i : i * days / rowsPerAudience);
      if (!dayRecords) row[columnIndex(source, QStringLiteral("ID"))] = i + 1;
      table.rows.append(row);
    }
  }
  return plan;
}

// CPU time in ms of this process and of its children, living and ended (a
// living child's from /proc, in clock ticks).
double cpuMs() {
  rusage self{}, ended{};
  ::getrusage(RUSAGE_SELF, &self);
  ::getrusage(RUSAGE_CHILDREN, &ended);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  double total = ms(self.ru_utime) + ms(self.ru_stime) + ms(ended.ru_utime) + ms(ended.ru_stime);
  const QString me = QString::number(::getpid());
  for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QString text = QString::fromLatin1(stat.readAll());
    // Fields after the command name in parentheses: state ppid ... utime(14) stime(15).
    const QStringList fields = text.mid(text.lastIndexOf(u')') + 2).split(u' ');
    if (fields.size() > 12 && fields[1] == me)
      total += (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
  }
  return total;
}

// CPU ms per run of `work`, over `runs` runs.
double cpuPerRun(int runs, const std::function<void()>& work) {
  const double before = cpuMs();
  for (int i = 0; i < runs; ++i) work();
  return (cpuMs() - before) / runs;
}

void measure(const char* name, const QString& file, TDateTime day, int runs) {
  db::LocalCopy keeper;
  keeper.setSource(file);
  const quint64 startedBefore = db::worker::processesStarted();
  // The first page: the first load waits for a copy, then reads the day records and the rows of one day.
  QElapsedTimer firstPage;
  firstPage.start();
  if (keeper.refreshAndWait() != db::LocalCopy::State::Current) throw db::Error(keeper.lastError());
  keeper.adopt();
  pollDayRecords(file, &keeper);
  const int dayRows = readDay(file, day, &keeper);
  const qint64 firstPageMs = firstPage.elapsed();
  const quint64 started = db::worker::processesStarted() - startedBefore;

  const double poll = msPerRun(runs, [&] { pollDayRecords(file, &keeper); });
  const double refresh = msPerRun(qMax(1, runs / 5), [&] { keeper.refreshAndWait(); });
  const double rows = msPerRun(runs, [&] { readDay(file, day, &keeper); });
  const double rowsInProcess = msPerRun(runs, [&] { readDayInProcess(keeper.adoptedFile(), day); });
  const double exportTables = msPerRun(runs, [&] { mdbExportDayRecords(file); });
  // The monitor's poll of an unchanged plan is the keeper's refresh: the
  // same copy again needs no query. Counted in CPU, over many polls, since
  // the worker's share is counted in clock ticks.
  const int cpuRuns = 50 * runs;
  const double refreshCpu = cpuPerRun(cpuRuns, [&] { keeper.refreshAndWait(); });
  const double catCpu = cpuPerRun(runs, [&] {
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    cat.start(QStringLiteral("cat"), {file});
    cat.waitForFinished();
  });
  keeper.setSource(QString());
  const double snapshotPoll = msPerRun(runs, [&] { pollDayRecords(file, nullptr); });

  std::printf("\n%s (%s)\n", name, qPrintable(file));
  std::printf("  poll of the unchanged plan (open + 2 day-record queries): %8.2f ms  = %.3f x mdb-export\n", poll,
              poll / exportTables);
  std::printf("  mdb-export of TStatTextAula and TStatTextLehrer:          %8.2f ms\n", exportTables);
  std::printf("  same poll without a keeper (snapshot at open):            %8.2f ms  = %.3f x mdb-export\n",
              snapshotPoll, snapshotPoll / exportTables);
  std::printf("  background refresh of the unchanged file:                 %8.2f ms\n", refresh);
  std::printf("  CPU of that refresh (the monitor's whole unchanged poll): %8.3f ms  = %.3f x cat of the file (%.2f ms)\n",
              refreshCpu, refreshCpu / catCpu, catCpu);
  std::printf("  one day's rows (%3d rows, open + query + sort):           %8.2f ms\n", dayRows, rows);
  std::printf("    of which libmdb's part (the same query in-process):   %8.2f ms\n", rowsInProcess);
  std::printf("  first page: %llu worker process(es) started, %lld ms\n", static_cast<unsigned long long>(started),
              static_cast<long long>(firstPageMs));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 30;
  QTemporaryDir folder;
  try {
    const TDateTime now = zdt::now();
    const jet::Database demo = demo::planDatabase(now, false);
    const QString demoFile = folder.filePath(QStringLiteral("demo/Zova-Internet.mdb"));
    const QString largeFile = folder.filePath(QStringLiteral("large/Zova-Internet.mdb"));
    QDir().mkpath(folder.filePath(QStringLiteral("demo")));
    QDir().mkpath(folder.filePath(QStringLiteral("large")));
    demo.write(demoFile);
    largePlan(demo, 60, 5000).write(largeFile);
    const TDateTime firstDay = zdt::fromDate(demo::planDays(zdt::toDate(now)).first());
    std::printf("%d runs each; the first page is measured first, in a process without workers\n", runs);
    measure("demo plan", demoFile, firstDay, runs);
    measure("60 days, 5 000 rows per audience", largeFile, firstDay + 30, runs);
    const QString longFile = folder.filePath(QStringLiteral("long/Zova-Internet.mdb"));
    QDir().mkpath(folder.filePath(QStringLiteral("long")));
    largePlan(demo, 500, 10000).write(longFile);
    measure("500 days, 10 000 rows per audience", longFile, firstDay + 250, runs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zova-db-poll-bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
