// Test helpers: running the two independent Jet readers (see JetReaders.h).
#include "JetReaders.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <cstring>

namespace jettest {

namespace {

QString testToolsDir() { return QStringLiteral(ZOVA_SOURCE_DIR "/tools/testtools"); }

// Splits mdb-export's CSV output (quoted fields with doubled quotes, line
// breaks inside quotes) into rows of fields.
QVector<QStringList> parseCsv(const QString& text) {
  QVector<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;
  bool fieldStarted = false;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
      fieldStarted = true;
    } else if (c == ',') {
      row << field;
      field.clear();
      fieldStarted = false;
    } else if (c == '\n') {
      row << field;
      rows << row;
      row.clear();
      field.clear();
      fieldStarted = false;
    } else {
      field += c;
      fieldStarted = true;
    }
  }
  if (fieldStarted || !row.isEmpty()) {
    row << field;
    rows << row;
  }
  return rows;
}

}  // namespace

ProgramResult runProgram(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  ProgramResult result;
  if (!process.waitForStarted(10000)) {
    result.err = QStringLiteral("cannot start %1").arg(program).toUtf8();
    return result;
  }
  process.closeWriteChannel();
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    result.err = QStringLiteral("%1 did not finish").arg(program).toUtf8();
    return result;
  }
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return result;
}

bool npmReaderInstalled() {
  return QFileInfo::exists(testToolsDir() + "/node_modules/mdb-reader/package.json");
}

std::optional<QJsonObject> readWithNpm(const QString& file, QString* error) {
  const ProgramResult result = runProgram("node", {testToolsDir() + "/mdb-read.js", file});
  if (!result.ok()) {
    if (error) *error = QString::fromUtf8(result.err);
    return std::nullopt;
  }
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(result.out, &parseError);
  if (!document.isObject()) {
    if (error) *error = parseError.errorString();
    return std::nullopt;
  }
  return document.object();
}

QJsonObject npmTable(const QJsonObject& database, const QString& name) {
  for (const QJsonValue table : database["tables"].toArray())
    if (table["name"].toString() == name) return table.toObject();
  return {};
}

QString doubleHex(double value) {
  unsigned char bytes[8];
  std::memcpy(bytes, &value, 8);  // the test machines are little-endian, like the file
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), 8).toHex());
}

QStringList mdbTables(const QString& file) {
  const ProgramResult result = runProgram("mdb-tables", {"-1", file});
  return QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
}

QString mdbSchema(const QString& file) {
  return QString::fromUtf8(runProgram("mdb-schema", {file, "access"}).out);
}

QVector<QJsonObject> mdbJsonRows(const QString& file, const QString& table) {
  QVector<QJsonObject> rows;
  const ProgramResult result = runProgram("mdb-json", {file, table});
  for (const QByteArray& line : result.out.split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    rows << QJsonDocument::fromJson(line).object();
  }
  return rows;
}

QVector<QStringList> mdbExportRows(const QString& file, const QString& table) {
  const ProgramResult result =
      runProgram("mdb-export", {"-H", "-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", file, table});
  return parseCsv(QString::fromUtf8(result.out));
}

}  // namespace jettest
