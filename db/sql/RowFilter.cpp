// WHERE conditions with their columns looked up once per query.
#include "db/sql/RowFilter.h"

#include "db/sql/Evaluator.h"

namespace db {

RowFilter::RowFilter(const sql::Condition& condition, const QVector<ColumnInfo>& columns) : m_condition(condition) {
  collect(condition, columns);
}

void RowFilter::collect(const sql::Condition& condition, const QVector<ColumnInfo>& columns) {
  if (condition.kind != sql::Condition::Kind::Compare) {
    collect(*condition.a, columns);
    collect(*condition.b, columns);
    return;
  }
  for (const sql::Operand* operand : {&condition.left, &condition.right}) {
    if (!operand->isColumn || m_indexOf.contains(operand->column)) continue;
    int index = -1;
    for (int i = 0; i < columns.size() && index < 0; ++i) {
      if (columns[i].name.compare(operand->column, Qt::CaseInsensitive) == 0) index = i;
    }
    m_indexOf.insert(operand->column, index);
    if (index >= 0 && !m_columns.contains(index)) m_columns.append(index);
  }
}

bool RowFilter::matches(const ResultRow& row) const {
  return rowMatches(m_condition, row, [this](const QString& column) { return m_indexOf.value(column, -1); });
}

}  // namespace db
