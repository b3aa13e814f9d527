// Benchmark of the Jet writer: prints how long writing typical and large
// databases takes and how big the files get. Not a test; run it by hand:
//   build/bin/zova_jet_benchmark [FOLDER]
#include "DemoPlan.h"
#include "jet/JetWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void measure(const char* what, const jet::Database& database, const QString& path) {
  QElapsedTimer timer;
  timer.start();
  database.write(path);
  const double ms = double(timer.nsecsElapsed()) / 1e6;
  const double bytes = double(QFileInfo(path).size());
  std::printf("%-44s %9.1f ms %10.0f KiB %8.1f MiB/s\n", what, ms, bytes / 1024, bytes / 1048576 / (ms / 1000));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir scratch;
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();

  jet::Database rows;
  jet::Table& table = rows.addTable("Viele", {{"ID", jet::ColumnType::Long, 255, true},
                                              {"Text", jet::ColumnType::Text, 120},
                                              {"Wann", jet::ColumnType::DateTime}});
  for (int i = 0; i < 20000; ++i)
    table.rows.append(jet::Row{i, QString("Zeile %1: Vertretung für Klasse 7b, Raum A101").arg(i), 40000.0 + i});
  measure("20 000 rows, primary key", rows, folder + "/rows.mdb");

  jet::Database memos;
  jet::Table& memoTable = memos.addTable("Memos", {{"Nr", jet::ColumnType::Long}, {"Text", jet::ColumnType::Memo}});
  for (int i = 0; i < 100; ++i) memoTable.rows.append(jet::Row{i, QString(60000, QChar(u'a' + i % 26))});
  measure("100 memos of 60 000 characters", memos, folder + "/memos.mdb");

  const TDateTime now = zdt::now();
  measure("demo plan (Zova-Internet.mdb)", demo::planDatabase(now, false), folder + "/plan.mdb");
  measure("demo notifications (Benachrichtigungen.mdb)", demo::notificationDatabase(now), folder + "/notes.mdb");
  return 0;
}
