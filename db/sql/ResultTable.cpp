// Column lookup of a query result.
#include "db/sql/ResultTable.h"

namespace db {

int columnIndexIn(const QVector<ColumnInfo>& columns, const QString& name) {
  for (int i = 0; i < columns.size(); ++i) {
    if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

int ResultTable::columnIndex(const QString& name) const { return columnIndexIn(columns, name); }

QStringList ResultTable::columnNames() const {
  QStringList names;
  for (const ColumnInfo& column : columns) names.append(column.name);
  return names;
}

}  // namespace db
