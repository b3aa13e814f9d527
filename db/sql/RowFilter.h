// A WHERE condition prepared for the columns of one table, so that a scan
// can test a row after decoding only the columns the condition names.
//
// It gives exactly the results and errors of rowMatches() on the whole row:
// a column the table lacks fails only when a row is tested, as before.
#pragma once

#include <QHash>
#include <QVector>

#include "db/sql/ResultTable.h"
#include "db/sql/SqlParser.h"

namespace db {

class RowFilter {
 public:
  // Looks the condition's columns up among `columns` (without regard to
  // case). The condition must outlive the filter.
  RowFilter(const sql::Condition& condition, const QVector<ColumnInfo>& columns);

  // The indices of the table's columns the condition reads, each once.
  const QVector<int>& columns() const { return m_columns; }

  // True when the row satisfies the condition. Only the columns() of `row`
  // need to hold the row's values. Throws db::Error as rowMatches() does.
  bool matches(const ResultRow& row) const;

 private:
  void collect(const sql::Condition& condition, const QVector<ColumnInfo>& columns);

  const sql::Condition& m_condition;
  QHash<QString, int> m_indexOf;  // column name as written in the condition -> index, or -1
  QVector<int> m_columns;
};

}  // namespace db
