// DbPlanBench: what reading a plan costs, and what waiting for a complete
// export costs. Prints figures; it asserts nothing about speed.
//
//   DbPlanBench query [RUNS]   one day's rows ("Select * from TDynTextAula
//                              where Datum = N;") as the worker reads them,
//                              on a 60-day plan of 83 rows a day and on a
//                              500-day plan of 20 rows a day; against
//                              decoding every row first and filtering after;
//                              the round trip through the worker; the
//                              whole-file check of a new export. Then one
//                              day of a 60-day plan of 5 000 rows a day from
//                              the display's query to the plan's rows filled
//                              (TForm1::GetDynData), and its steps
//   DbPlanBench export [VERSIONS]
//                              time from the end of an export to its copy
//                              (real 2 s quiet time), for a writer renaming
//                              a new file over the old and for one writing
//                              in place in 32 KiB chunks with 0.5 s pauses;
//                              the copy is tried while the writer writes,
//                              again at once after a refusal, every 200 ms
//                              while the file is unchanged
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "DbFixtures.h"
#include "app/TForm1.h"
#include "db/copy/CompleteExport.h"
#include "db/sql/Evaluator.h"
#include "db/engine/JetStructure.h"
#include "db/engine/MdbTable.h"
#include "db/sql/SqlParser.h"
#include "db/worker/WorkerClient.h"
#include "jet/JetWriter.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "platform/Folders.h"

namespace {

using Clock = std::chrono::steady_clock;

// A plan of `days` days from kPlanDay with `rowsPerDay` rows each; texts
// tagged with `version`, so that versions differ but keep their size.
void writePlan(const QString& path, int days, int rowsPerDay, int version) {
  using jet::ColumnType;
  jet::Database database;
  QVector<jet::Column> statColumns = {{"Datum", ColumnType::DateTime}, {"DruckZeit", ColumnType::DateTime}};
  for (const char* name : {"Datumlang", "Version", "Druckdatum", "Ueberschrift", "Schulname", "Aushangort"})
    statColumns.append({name, ColumnType::Text});
  statColumns.append({"BitteRTF", ColumnType::Memo});
  const QString tag = QStringLiteral("v%1").arg(version, 3, 10, QChar(u'0'));
  for (const char* name : {"TStatTextAula", "TStatTextLehrer"}) {
    jet::Table& stat = database.addTable(name, statColumns);
    for (int day = 0; day < days; ++day)
      stat.rows.append({dbtest::kPlanDay + day, dbtest::kPlanDay + day - 0.3, QStringLiteral("Montag"), tag,
                        tag + QStringLiteral(" 07:45"), QStringLiteral("Vertretungsplan"), QStringLiteral("Gymnasium"),
                        QStringLiteral("Halle"), QStringLiteral("{\\rtf1 Bitte beachten: ") + QString(1500, u'x') + u'}'});
  }
  QVector<jet::Column> dynColumns = {{"ID", ColumnType::Long, 255, true}, {"Datum", ColumnType::DateTime}};
  for (int i = 1; i <= 7; ++i) dynColumns.append({QStringLiteral("F%1").arg(i), ColumnType::Text, 50});
  for (const char* name : {"TDynTextAula", "TDynTextLehrer"}) {
    jet::Table& dyn = database.addTable(name, dynColumns);
    for (int day = 0; day < days; ++day)
      for (int row = 0; row < rowsPerDay; ++row)
        dyn.rows.append({day * 100000 + row, dbtest::kPlanDay + day, QStringLiteral("%1a").arg(5 + row % 8),
                         QString::number(row % 8 + 1), tag, "M", "R101", "Ber", "Vertretung"});
  }
  database.write(path);
}

double median(QVector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Median milliseconds of `work` over `runs` runs.
template <typename Work>
double medianMs(int runs, Work work) {
  QVector<double> times;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    times.append(timer.nsecsElapsed() / 1e6);
  }
  return median(times);
}

// The file's time stamps are older than the worker's settling time
// (db/MdbTable.h), so that its page ranges are remembered.
void letSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(2100)); }

void benchQuery(const QString& folder, int days, int rowsPerDay, int runs) {
  const QString path = folder + QStringLiteral("/plan-%1.mdb").arg(days);
  writePlan(path, days, rowsPerDay, 1);
  letSettle();
  const qint64 day = qint64(dbtest::kPlanDay) + days / 2;
  const QString sql = QStringLiteral("Select * from TDynTextAula where Datum = %1;").arg(day);
  const auto select = std::get<db::sql::SelectStatement>(db::sql::parseStatement(sql));
  // The same rows; an OR leaves no page ranges to go by, so every page is read.
  const auto wholeScan = std::get<db::sql::SelectStatement>(
      db::sql::parseStatement(QStringLiteral("Select * from TDynTextAula where Datum = %1 or Datum = %1;").arg(day)));
  int rows = 0;
  const double pushedDown = medianMs(runs, [&] {
    db::engine::MdbDatabase database(path, false);
    db::engine::MdbTable table(database, select.table);
    rows = db::engine::selectRows(table, wholeScan).rows.size();
  });
  const double dayPages = medianMs(runs, [&] {
    db::engine::MdbDatabase database(path, false);
    db::engine::MdbTable table(database, select.table);
    db::engine::selectRows(table, select);
  });
  const double decodeAll = medianMs(runs, [&] {
    db::engine::MdbDatabase database(path, false);
    db::engine::MdbTable table(database, select.table);
    db::ResultTable result = db::engine::readTable(table);
    db::applySelect(select, result);
  });
  const double dayRecords = medianMs(runs, [&] {
    db::engine::MdbDatabase database(path, false);
    db::engine::MdbTable table(database, QStringLiteral("TStatTextAula"));
    db::engine::readTable(table);
  });
  const double wholeCheck = medianMs(qMax(1, runs / 5), [&] { db::engine::checkWholeDatabase(path); });
  db::worker::run(db::worker::Operation::Query, path, sql);  // starts the worker
  const double workerRun = medianMs(runs, [&] { db::worker::run(db::worker::Operation::Query, path, sql); });
  std::printf("%d days x %d rows (%lld KiB), one day = %d rows:\n", days, rowsPerDay,
              static_cast<long long>(QFile(path).size() / 1024), rows);
  std::printf("  every page, WHERE tested before decoding:        %7.2f ms\n", pushedDown);
  std::printf("  the day's pages only (file seen before):         %7.2f ms  (%.1fx)\n", dayPages,
              pushedDown / dayPages);
  std::printf("  every row decoded, then filtered:                %7.2f ms  (%.1fx)\n", decodeAll,
              decodeAll / dayPages);
  std::printf("  day records, SELECT * FROM TStatTextAula:       %7.2f ms\n", dayRecords);
  std::printf("  round trip through the running worker:           %7.2f ms\n", workerRun);
  std::printf("  whole-file check of a new export (every table):  %7.2f ms\n", wholeCheck);
}

// One day of a 60-day plan of 5 000 rows a day: from the display's query
// to the plan's rows (TForm1::GetDynData on a check window, whose timers
// and file watch stay off), then each step on the way alone.
void benchDayRows(const QString& folder, int runs) {
  constexpr int days = 60, rowsPerDay = 5000;
  const QString planFolder = folder + QStringLiteral("/plan/");
  QDir().mkpath(planFolder);
  const QString path = planFolder + QStringLiteral("Zova-Internet.mdb");
  writePlan(path, days, rowsPerDay, 1);
  const TDateTime day = dbtest::kPlanDay + days / 2;
  const QString sql = QStringLiteral("Select * from TDynTextAula where Datum = %1;").arg(qint64(day));
  const auto select = std::get<db::sql::SelectStatement>(db::sql::parseStatement(sql));

  // The monitor's settings name the plan folder; the clock stands on the day.
  const QString settingsFolder = folders::applicationDataFolder() + QStringLiteral("Kelvaro/Zova-Monitor/");
  QDir().mkpath(settingsFolder);
  QFile ini(settingsFolder + QStringLiteral("Zova-Monitor.ini"));
  ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
  ini.write(QStringLiteral("[Pfade]\nDatenpfad=%1\n").arg(planFolder).toUtf8());
  ini.close();
  zdt::setFixedNow(day + 10.0 / 24);
  DM = std::make_unique<TDM>();
  double endToEnd = 0, openSorted = 0, firstQuery = 0;
  int rows = 0;
  {
    TForm1 form(nullptr, TForm1::Purpose::Check);
    // The first query of an export reads every page.
    firstQuery = medianMs(1, [&] { form.GetDynData(0, day); });
    letSettle();
    form.GetDynData(0, day);
    endToEnd = medianMs(runs, [&] { form.GetDynData(0, day); });
    rows = Plan.DynList.Count();
    openSorted = medianMs(runs, [&] {
      // What TForm1::OpenDayRows sends, without the rows being taken over.
      DM->ADOOpenRead();
      DM->OpenSorted(sql, QStringLiteral("ID"));
      DM->ado1.close();
      DM->ADOConn.close();
    });
  }
  DM.reset();
  zdt::setClock({});

  const double roundTrip = medianMs(runs, [&] { db::worker::run(db::worker::Operation::Query, path, sql); });
  const double opened = medianMs(runs, [&] {
    db::engine::MdbDatabase database(path, false);
    db::engine::MdbTable table(database, select.table);
  });
  db::protocol::Reply reply;
  reply.ok = true;
  // A new export: a fresh copy, changed too recently to be remembered; the
  // copying is not timed.
  QVector<double> scans;
  for (int run = 0; run < qMax(1, runs / 5); ++run) {
    const QString copy = planFolder + QStringLiteral("new.mdb");
    QFile::copy(path, copy);
    QElapsedTimer timer;
    timer.start();
    {
      db::engine::MdbDatabase database(copy, false);
      db::engine::MdbTable table(database, select.table);
      db::engine::selectRows(table, select);
    }
    scans.append(timer.nsecsElapsed() / 1e6);
    QFile::remove(copy);
  }
  const double scanned = median(scans);
  const double selected = medianMs(runs, [&] {
    db::engine::MdbDatabase database(path, false);
    db::engine::MdbTable table(database, select.table);
    reply.result = db::engine::selectRows(table, select);
  });
  QByteArray frame;
  const double encoded = medianMs(runs, [&] { frame = db::protocol::encodeReply(reply); });
  db::protocol::Reply decoded;
  const double decodedMs = medianMs(runs, [&] { decoded = db::protocol::decodeReply(frame); });
  const QVector<db::sql::SortKey> byId = db::sql::parseSortExpression(QStringLiteral("ID"));
  const double sorted = medianMs(runs, [&] { db::sortRows(decoded.result, byId); });

  std::printf("%d days x %d rows (%lld KiB), one day = %d rows, from the display's query to the plan's rows:\n", days,
              rowsPerDay, static_cast<long long>(QFile(path).size() / 1024), rows);
  std::printf("  end to end, TForm1::GetDynData:                  %7.2f ms\n", endToEnd);
  std::printf("    (the first query of the export, every page:   %7.2f ms)\n", firstQuery);
  std::printf("    query and sort, TDM::OpenSorted:               %7.2f ms\n", openSorted);
  std::printf("    the plan's rows filled (the rest):             %7.2f ms\n", endToEnd - openSorted);
  std::printf("  round trip of the query through the worker:      %7.2f ms\n", roundTrip);
  std::printf("  each step alone:\n");
  std::printf("    worker: file and table opened                  %7.2f ms\n", opened);
  std::printf("    worker: every page read, a new export          %7.2f ms\n", scanned);
  std::printf("    worker: the day's rows selected (open incl.)   %7.2f ms\n", selected);
  std::printf("    worker: answer frame encoded (%5lld KiB)       %7.2f ms\n",
              static_cast<long long>(frame.size() / 1024), encoded);
  std::printf("    caller: answer frame decoded                   %7.2f ms\n", decodedMs);
  std::printf("    caller: rows sorted by ID                      %7.2f ms\n", sorted);
  std::printf("    pipe and the rest of the round trip            %7.2f ms\n",
              roundTrip - selected - encoded - decodedMs);
}

// Writes `bytes` over the file in place in 32 KiB chunks, 0.5 s apart.
void writeInPlace(const QString& path, const QByteArray& bytes) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
  for (qsizetype done = 0; done < bytes.size(); done += 32 * 1024) {
    if (done > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::pwrite(fd, bytes.constData() + done, size_t(qMin<qsizetype>(32 * 1024, bytes.size() - done)), done);
  }
  ::ftruncate(fd, bytes.size());
  ::close(fd);
}

void benchExport(const QString& folder, bool inPlace, int versions) {
  const QString path = folder + QStringLiteral("/Zova-Internet.mdb");
  const QString copy = folder + QStringLiteral("/copy.mdb");
  writePlan(path, 60, 83, 0);
  QByteArray hash = db::engine::copyCompleteExport(path, copy, {}).hash;
  QVector<double> latencies;
  int refused = 0;
  for (int version = 1; version <= versions; ++version) {
    const QString next = folder + QStringLiteral("/next.mdb");
    writePlan(next, 60, 83, version);
    const QByteArray wanted = QCryptographicHash::hash(dbtest::fileBytes(next), QCryptographicHash::Sha256);
    // The writer runs while the copy is tried, as the monitor's keeper does
    // on the file watch's signal and before each poll (here every 200 ms).
    Clock::time_point ended;
    std::thread writer([&] {
      if (inPlace) {
        QFile file(next);
        file.open(QIODevice::ReadOnly);
        writeInPlace(path, file.readAll());
        QFile::remove(next);
      } else {
        ::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData());
      }
      ended = Clock::now();
    });
    while (hash != wanted) {
      const auto result = db::engine::copyCompleteExport(path, copy, hash);
      if (result.kind == db::engine::CopyResult::Kind::Copied) hash = result.hash;
      if (result.kind == db::engine::CopyResult::Kind::Incomplete) ++refused;
      if (result.kind == db::engine::CopyResult::Kind::Unchanged)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const auto copied = Clock::now();
    writer.join();
    latencies.append(std::chrono::duration<double, std::milli>(copied - ended).count());
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf("%s writer, %d versions of %lld KiB: end of export to copy %6.0f ms (min) %6.0f ms (median) %6.0f ms (max); "
              "%d refusals\n",
              inPlace ? "in-place" : "rename", versions, static_cast<long long>(QFile(path).size() / 1024),
              latencies.first(), median(latencies), latencies.last(), refused);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  // The check window reads its settings from here.
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/config")));
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.value(1) == QLatin1String("query")) {
    const int runs = qMax(1, args.value(2, QStringLiteral("30")).toInt());
    benchQuery(dir.path(), 60, 83, runs);
    benchQuery(dir.path(), 500, 20, runs);
    benchDayRows(dir.path(), runs);
    return 0;
  }
  if (args.value(1) == QLatin1String("export")) {
    qunsetenv("ZOVA_TEST_EXPORT_QUIET_MS");
    const int versions = qMax(1, args.value(2, QStringLiteral("3")).toInt());
    benchExport(dir.path(), false, versions);
    benchExport(dir.path(), true, versions);
    return 0;
  }
  std::fputs("usage: DbPlanBench query [RUNS] | export [VERSIONS]\n", stderr);
  return 1;
}
