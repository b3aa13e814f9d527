// A query result as it travels from the worker to the caller: column names,
// the kind of each column, and the rows as typed field values.
//
// Both sides of the worker protocol and the WHERE/ORDER BY evaluator use it;
// it knows nothing about libmdb or the file format.
#pragma once

#include <QStringList>
#include <QVector>

#include "db/Database.h"

namespace db {

// What a column holds, as far as reading and assigning values goes.
enum class ColumnKind { Boolean, Byte, Integer, Long, Double, DateTime, Text, Memo, Other };

struct ColumnInfo {
  QString name;
  ColumnKind kind = ColumnKind::Other;
  int maxChars = 0;      // Text columns: the longest value the column takes
  bool indexed = false;  // part of any index of the table
};

// The index of the column `name` (any letter case) in `columns`, or -1.
int columnIndexIn(const QVector<ColumnInfo>& columns, const QString& name);

using ResultRow = QVector<Field>;

struct ResultTable {
  QVector<ColumnInfo> columns;
  QVector<ResultRow> rows;

  // The index of the column (case-insensitive), or -1.
  int columnIndex(const QString& name) const;
  QStringList columnNames() const;
};

}  // namespace db
