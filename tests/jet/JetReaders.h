// Test helpers: reading a Jet file back with two independent readers.
//
// mdbtools' command-line tools (mdb-tables, mdb-schema, mdb-json, mdb-export)
// and the npm package mdb-reader driven by tools/testtools/mdb-read.js. Each
// helper runs the external program and reports its output, or an error text
// that a test can print.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace jettest {

struct ProgramResult {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
  bool ok() const { return exitCode == 0; }
};

ProgramResult runProgram(const QString& program, const QStringList& arguments);

// ---- npm reader ----
// True when tools/testtools has its node_modules (CI installs them).
bool npmReaderInstalled();
// The whole file as mdb-read.js prints it ({"tables": [...]}), or nullopt
// with the reader's message in `error`.
std::optional<QJsonObject> readWithNpm(const QString& file, QString* error);
// The table named `name` of such a result (empty object if absent).
QJsonObject npmTable(const QJsonObject& database, const QString& name);
// The hex form mdb-read.js gives a stored double.
QString doubleHex(double value);

// ---- mdbtools ----
QStringList mdbTables(const QString& file);
QString mdbSchema(const QString& file);
// One JSON object per row (mdb-json); absent NULL columns.
QVector<QJsonObject> mdbJsonRows(const QString& file, const QString& table);
// Rows of mdb-export without header, dates as 'YYYY-MM-DD hh:mm:ss'.
QVector<QStringList> mdbExportRows(const QString& file, const QString& table);

}  // namespace jettest
