// Evaluation of the SQL subset on rows already read: WHERE filtering,
// ORDER BY and sort expressions, and the conversion of an UPDATE's literal
// to the value a column stores.
//
// Comparison follows Jet: numbers, date-times and Booleans compare as
// numbers (True is -1); texts compare without regard to case; a NULL makes a
// comparison false. Comparing a text with a number is refused (db::Error),
// never guessed. Sorting puts NULL first and orders texts alphabetically with
// accented letters beside their base letters.
#pragma once

#include <functional>
#include <optional>

#include "db/sql/ResultTable.h"
#include "db/sql/SqlParser.h"

namespace db {

// <0, 0, >0; nullopt when either value is NULL. Throws db::Error for values
// that Jet would not compare (text with a number).
std::optional<int> compareValues(const Field& a, const Field& b);

// The order of two values for sorting: NULL before everything else.
int compareForSort(const Field& a, const Field& b);

// Alphabetical order of two texts (case-insensitive, accents beside their
// base letters, ties broken case-insensitively and then exactly).
int compareTexts(const QString& a, const QString& b);

// The value a literal stands for (a Date is a DateTime field).
Field literalField(const sql::Literal& literal);

// True when the row satisfies the condition; throws db::Error naming a
// column the table does not have.
bool rowMatches(const sql::Condition& condition, const ResultTable& table, const ResultRow& row);

// The same test with the columns looked up by `columnOf` (the row index of
// a column named in the condition, or -1 when the table has none, which
// throws db::Error naming it). Only the columns the condition names are read
// from the row.
bool rowMatches(const sql::Condition& condition, const ResultRow& row,
                const std::function<int(const QString&)>& columnOf);

// Keeps the rows that satisfy WHERE and orders them by ORDER BY.
void applySelect(const sql::SelectStatement& select, ResultTable& table);

// Reorders the rows by the keys (stable: equal rows keep their order).
void sortRows(ResultTable& table, const QVector<sql::SortKey>& keys);

// The value a column of this kind stores when assigned the literal, as Jet
// converts it: quoted decimal numbers into integer columns, True/False into
// Boolean columns, date literals into Date/Time columns. Throws db::Error
// when the value does not convert or does not fit the column.
Field assignedValue(const ColumnInfo& column, const sql::Literal& literal);

}  // namespace db
