// The plan-file part of zova-check's report.
//
// Whether the file is complete, being written or unreachable is the local
// copy's verdict (the same attempt the monitor's first load waits for); the
// tables and columns are read from the copy the monitor reads, through the
// same connection string.
#include "PlanFileReport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include "db/Database.h"
#include "db/file/JetFile.h"
#include "db/copy/LocalCopy.h"
#include "db/worker/WorkerClient.h"
#include "plan/DataModule.h"
#include "settings/SettingsValues.h"

namespace {

const QStringList kPlanTables = {QStringLiteral("TStatTextAula"), QStringLiteral("TStatTextLehrer"),
                                 QStringLiteral("TDynTextAula"), QStringLiteral("TDynTextLehrer")};

QString stampText(const QDateTime& moment) { return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

QString outcomeName(db::LocalCopy::State state) {
  switch (state) {
    case db::LocalCopy::State::None: return QStringLiteral("not tried");
    case db::LocalCopy::State::Current: return QStringLiteral("complete");
    case db::LocalCopy::State::Incomplete: return QStringLiteral("being written");
    case db::LocalCopy::State::Unreachable: return QStringLiteral("unreachable");
  }
  return QString();
}

QString versionName(db::JetVersion version) {
  switch (version) {
    case db::JetVersion::Jet3: return QStringLiteral("Jet 3 (Access 97)");
    case db::JetVersion::Jet4: return QStringLiteral("Jet 4 (Access 2000-2003)");
    case db::JetVersion::Ace: return QStringLiteral("ACE (Access 2007 and later)");
  }
  return QString();
}

// The Jet lock file beside the database (<name>.ldb, or .laccdb), in any
// letter case; empty when there is none.
QString lockFileBeside(const QFileInfo& file) {
  const QDir folder = file.dir();
  for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    for (const char* suffix : {".ldb", ".laccdb"})
      if (entry.compare(file.completeBaseName() + QLatin1String(suffix), Qt::CaseInsensitive) == 0)
        return folder.filePath(entry);
  }
  return QString();
}

// What the file system says about the file and its folder.
void describeFile(const QString& path, QJsonObject& report) {
  // One look at each: the file may lie on a share that answers slowly.
  const QFileInfo file(path);
  const bool folderExists = file.dir().exists();
  report["folderExists"] = folderExists;
  report["exists"] = file.exists();
  if (file.exists()) {
    report["isFile"] = file.isFile();
    report["size"] = file.size();
    report["modified"] = stampText(file.lastModified());
  }
  const QString lock = folderExists ? lockFileBeside(file) : QString();
  report["lockFile"] = lock.isEmpty() ? QJsonValue() : QJsonValue(lock);
}

// One plan table as the copy holds it: rows, and the columns the monitor
// reads that it lacks.
QJsonObject describeTable(db::Connection& connection, const QString& name, const QStringList& present) {
  QJsonObject table;
  table["name"] = name;
  const bool exists = present.contains(name, Qt::CaseInsensitive);
  table["present"] = exists;
  if (!exists) return table;
  try {
    db::Dataset all(connection);
    all.setSql(QStringLiteral("SELECT * FROM ") + name);
    all.open();
    table["rows"] = all.rowCount();
    const QStringList columns = all.columnNames();
    QJsonArray missing;
    for (const QString& column : requiredColumns(name))
      if (!columns.contains(column, Qt::CaseInsensitive)) missing.append(column);
    table["missingColumns"] = missing;
  } catch (const db::Error& error) {
    table["error"] = error.message();
  }
  return table;
}

}  // namespace

QStringList requiredColumns(const QString& table) {
  if (table.startsWith(QLatin1String("TStatText"))) {
    QStringList columns = {"Datum", "DruckZeit", "Datumlang", "Version", "Druckdatum", "Ueberschrift",
                           "Schulname", "Aushangort", "Gezeichnet"};
    for (int i = 1; i <= 7; ++i) columns << QStringLiteral("H%1").arg(i);
    columns << "AbwKlassen" << "AbwLehrer" << "AbwKurse" << QStringLiteral("FehlRäume") << "BetrLehrer"
            << "BetrKlassen" << "BitteBeachten" << "BitteRTF";
    return columns;
  }
  if (table.startsWith(QLatin1String("TDynText"))) {
    QStringList columns = {"Datum", "ID"};
    for (int i = 1; i <= 7; ++i) columns << QStringLiteral("F%1").arg(i);
    return columns;
  }
  return {};
}

QJsonObject planFileReport(qint64 startMs) {
  QJsonObject report;
  const QString datenpfad = Settings.Datenpfad;
  const QString path = TDM::PlanFile();
  report["datenpfad"] = datenpfad;
  report["file"] = path;
  const bool noSeparator = !datenpfad.isEmpty() && !datenpfad.endsWith(u'/');
  report["missingSeparator"] = noSeparator;

  const db::LocalCopy& copy = DM->PlanCopy;
  QJsonObject attempt;
  attempt["outcome"] = outcomeName(copy.state());
  attempt["message"] = copy.lastError().isEmpty() ? QJsonValue() : QJsonValue(copy.lastError());
  attempt["milliseconds"] = startMs;
  attempt["deadlineMs"] = db::worker::deadlineMs();
  // The start also waits for the notification database; the attempt's own
  // failure tells that it was the plan file that did not answer.
  const bool deadlinePassed = copy.state() == db::LocalCopy::State::Unreachable &&
                              startMs >= db::worker::deadlineMs() &&
                              copy.lastFailure() == db::Error::Kind::NoAnswer;
  attempt["deadlinePassed"] = deadlinePassed;
  report["copy"] = attempt;
  report["beingWritten"] = copy.state() == db::LocalCopy::State::Incomplete;

  report["lookedAt"] = !deadlinePassed;
  if (!deadlinePassed) {
    describeFile(path, report);
    if (noSeparator) {
      const QString withSeparator = datenpfad + QStringLiteral("/Zova-Internet.mdb");
      QJsonObject other;
      other["file"] = withSeparator;
      other["exists"] = QFileInfo::exists(withSeparator);
      report["withSeparator"] = other;
    }
  }

  // The version of the file the monitor reads: its local copy, which lies
  // on this machine and cannot stall.
  report["jetVersion"] = QJsonValue();
  if (!copy.adoptedFile().isEmpty()) {
    try {
      report["jetVersion"] = versionName(db::checkJetFile(copy.adoptedFile()));
    } catch (const db::Error& error) {
      report["jetVersionError"] = error.message();
    }
  }

  QJsonObject open;
  QJsonArray tables;
  db::Connection connection;
  try {
    connection.setConnectionString(TDM::PlanConnectionString());
    connection.open(copy);
    open["ok"] = true;
    try {
      const QStringList present = connection.tableNames();
      for (const QString& name : kPlanTables) tables.append(describeTable(connection, name, present));
    } catch (const db::Error& error) {
      open["tablesError"] = error.message();
    }
  } catch (const db::Error& error) {
    open["ok"] = false;
    open["message"] = error.message();
  }
  connection.close();
  report["open"] = open;
  report["tables"] = tables;
  return report;
}
