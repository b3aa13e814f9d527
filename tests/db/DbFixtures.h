// Test files for the access layer, made with the Jet writer: a plan database
// and a notification database with known rows, and helpers to read files
// with the independent readers (mdbtools' mdb-export, npm mdb-reader).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/DateTime.h"

namespace dbtest {

// 1 January 2007 and the days around it, as the plan stores them.
constexpr TDateTime kPlanDay = 39083.0;

// Zova-Internet.mdb-like: TStatTextAula (three days, not in date order),
// TStatTextLehrer, TDynTextAula (rows of 39083 at midnight, one at 39083.75,
// rows of 39084; IDs not in display order), a table of every column type.
void writePlanFile(const QString& path);

// The notification table's 14 columns: ID (primary key), Status, Valid,
// SetTime, RueckTime, Datum, Stunde, Lehrer, Klasse, Fach, Bemerkung,
// Telefon, Kopie, TAN; rows with IDs 15..22, row 17 as in the example
// statement but with Status 2, row 19 with NULL RueckTime and Telefon.
void writeNotificationFile(const QString& path, int extraRows = 0);

// The connection strings the system uses.
QString planConnection(const QString& path);
QString notificationConnection(const QString& path);

QByteArray fileBytes(const QString& path);

// Output of a program run (stdout), or a null QByteArray when it is missing
// or failed.
QByteArray runProgram(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

// mdb-export of one table as CSV; mdb-reader's JSON of the whole file (null
// when node or the reader script is not available).
QByteArray mdbExport(const QString& path, const QString& table);
QByteArray mdbReaderJson(const QString& path);

// The program beside the test executable (zova-db, zova-db-worker).
QString siblingProgram(const QString& name);

}  // namespace dbtest
