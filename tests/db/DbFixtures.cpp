// Fixture files and reader helpers for the access layer's file tests.
#include "DbFixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "jet/JetWriter.h"
#include "platform/Folders.h"
#include "tests/support/NotificationTable.h"

namespace dbtest {

using jet::ColumnType;

void writePlanFile(const QString& path) {
  jet::Database db;
  const QStringList statTexts = {"Datumlang", "Version", "Druckdatum", "Ueberschrift", "Schulname",
                                 "Aushangort", "Gezeichnet", "H1", "H2", "H3", "H4", "H5", "H6", "H7",
                                 "AbwKlassen", "AbwLehrer", "AbwKurse", "FehlRäume", "BetrLehrer", "BetrKlassen"};
  QVector<jet::Column> statColumns = {{"Datum", ColumnType::DateTime}, {"DruckZeit", ColumnType::DateTime}};
  for (const QString& name : statTexts) statColumns.append({name, ColumnType::Text});
  statColumns.append({"BitteBeachten", ColumnType::Memo});
  statColumns.append({"BitteRTF", ColumnType::Memo});
  for (const char* table : {"TStatTextAula", "TStatTextLehrer"}) {
    jet::Table& stat = db.addTable(table, statColumns);
    for (TDateTime day : {kPlanDay + 1, kPlanDay, kPlanDay + 2}) {
      jet::Row row = {day, day - 0.25};
      for (const QString& name : statTexts) row.append(QStringLiteral("%1 %2").arg(name).arg(day));
      row.append(QStringLiteral("Bitte beachten: Raum 'A1' für %1").arg(day));
      row.append(QString());
      stat.rows.append(row);
    }
  }
  QVector<jet::Column> dynColumns = {{"ID", ColumnType::Long, 255, true}, {"Datum", ColumnType::DateTime}};
  for (int i = 1; i <= 7; ++i) dynColumns.append({QStringLiteral("F%1").arg(i), ColumnType::Text, 50});
  jet::Table& dyn = db.addTable("TDynTextAula", dynColumns);
  auto dynRow = [&](int id, TDateTime day, const QString& f1) {
    dyn.rows.append({id, day, f1, ".", "M", ". ", "Raum", "Lehrer", "Bemerkung"});
  };
  dynRow(3, kPlanDay, "7a third");
  dynRow(1, kPlanDay, "5b first");
  dynRow(2, kPlanDay + 0.75, "evening row");
  dynRow(5, kPlanDay + 1, "next day");
  dynRow(4, kPlanDay, "6c second");
  db.addTable("TDynTextLehrer", dynColumns);

  jet::Table& kinds = db.addTable("Kinds", {{"ID", ColumnType::Long},
                                            {"B", ColumnType::Byte},
                                            {"I", ColumnType::Integer},
                                            {"L", ColumnType::Long},
                                            {"D", ColumnType::Double},
                                            {"T", ColumnType::DateTime},
                                            {"Flag", ColumnType::Boolean},
                                            {"Name", ColumnType::Text, 20},
                                            {"Notice", ColumnType::Memo}});
  QString notice;
  for (int i = 0; notice.size() < 60000; ++i) notice += QStringLiteral("Zeile %1: Änderung für Raum € 12 — ").arg(i);
  notice.truncate(60000);
  kinds.rows.append({1, 255, -32768, 2147483647, 0.1, zdt::encode(9999, 12, 31, 23, 59, 59), true, "Müller", notice});
  kinds.rows.append({2, 0, 32767, -2147483647 - 1, -1e300, zdt::encode(1800, 1, 1, 6, 0, 0), false, "abc", QString(70000, u'x')});
  kinds.rows.append({3, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), false, QVariant(), QVariant()});
  kinds.rows.append({4, 7, 7, 7, 7.5, -1.25, true, "", "kurz"});
  db.write(path);
}

void writeNotificationFile(const QString& path, int extraRows) {
  jet::Database db;
  jet::Table& table = db.addTable("BenachrichtigungsTabelle", notificationColumns());
  const TDateTime day = zdt::encode(2026, 12, 8);
  auto row = [&](int id, int status, bool valid, TDateTime setTime, QVariant rueck, TDateTime datum, int stunde,
                 const QString& lehrer, const QString& bemerkung, QVariant telefon) {
    table.rows.append({id, status, valid, setTime, rueck, datum, stunde, lehrer, "7a", "M", bemerkung, telefon, 0, 0});
  };
  row(15, 2, true, day - 1 + 0.3, 0.0, day - 1, 2, "Alb", "gestern", "0815");
  row(16, 4, true, day + 0.25, day + 0.26, day, 3, "Zorn", "", "");
  row(17, 2, true, zdt::encode(2026, 12, 8, 7, 15, 30), 0.0, day, 4, "Mus", "", "");
  row(18, 2, false, day + 0.2, 0.0, day, 1, "Mus", "ungültig", "");
  row(19, 2, true, day + 0.3, QVariant(), day + 1, 5, "Bär", "Raum B2", QVariant());
  row(20, 3, true, day + 0.1, 0.0, day, 4, "Alb", "erledigt", "1234");
  row(21, 1, true, day + 0.1, 0.0, day + 2, 6, "mus", "klein geschrieben", "");
  row(22, 2, true, day + 0.4, 0.0, day, 4, "Mus", "später", "");
  for (int i = 0; i < extraRows; ++i)
    row(100 + i, 2, true, day + 0.5, 0.0, day + 3, 1, "Füll", QString(200, QChar(u'a' + i % 26)), "");
  db.write(path);
}

QString planConnection(const QString& path) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;Persist Security Info=False;").arg(path);
}

QString notificationConnection(const QString& path) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=Share Deny None;Persist Security Info=False")
      .arg(path);
}

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QByteArray runProgram(const QString& program, const QStringList& arguments, int* exitCode) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForStarted(5000) || !process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished(1000);
    return {};
  }
  if (exitCode) *exitCode = process.exitCode();
  if (process.exitCode() != 0) qWarning("%s: %s", qPrintable(program), process.readAllStandardError().constData());
  if (process.exitStatus() != QProcess::NormalExit) return {};
  if (!exitCode && process.exitCode() != 0) return {};
  QByteArray output = process.readAllStandardOutput();
  if (output.isNull()) output = QByteArray("");
  return output;
}

QByteArray mdbExport(const QString& path, const QString& table) {
  return runProgram(QStringLiteral("mdb-export"), {path, table});
}

QByteArray mdbReaderJson(const QString& path) {
  const QString script = QStringLiteral(ZOVA_SOURCE_DIR "/tools/testtools/mdb-read.js");
  const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
  if (node.isEmpty() || !QFileInfo::exists(script) ||
      !QFileInfo::exists(QStringLiteral(ZOVA_SOURCE_DIR "/tools/testtools/node_modules/mdb-reader")))
    return {};
  return runProgram(node, {script, path});
}

QString siblingProgram(const QString& name) { return folders::programFolder() + name; }

}  // namespace dbtest
