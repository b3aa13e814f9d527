// Column lookup and field constructors of a query result.
#include "db/ResultTable.h"

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

Field nullField() { return Field{}; }
Field integerField(qint32 value) { return Field{Field::Type::Integer, QVariant(value)}; }
Field doubleField(double value) { return Field{Field::Type::Double, QVariant(value)}; }
Field dateTimeField(double value) { return Field{Field::Type::DateTime, QVariant(value)}; }
Field booleanField(bool value) { return Field{Field::Type::Boolean, QVariant(value)}; }
Field textField(const QString& value) { return Field{Field::Type::Text, QVariant(value)}; }
Field textField(QString&& value) { return Field{Field::Type::Text, QVariant(std::move(value))}; }

}  // namespace db
