// WHERE, ORDER BY and assignment conversion on rows already read.
#include "db/sql/Evaluator.h"

#include "db/sql/SqlTokenizer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace db {

namespace {

bool isNumeric(Field::Type type) {
  return type == Field::Type::Integer || type == Field::Type::Double ||
         type == Field::Type::DateTime || type == Field::Type::Boolean;
}

double numericValue(const Field& field) {
  if (field.type == Field::Type::Boolean) return field.value.toBool() ? -1.0 : 0.0;
  return field.value.toDouble();
}

// The text with case and accents folded away, for the first pass of sorting.
QString foldedForSort(const QString& text) {
  QString folded;
  const QString decomposed = text.toLower().normalized(QString::NormalizationForm_KD);
  folded.reserve(decomposed.size());
  for (QChar c : decomposed) {
    if (c.category() == QChar::Mark_NonSpacing) continue;
    if (c == u'ß') {
      folded.append(QStringLiteral("ss"));
      continue;
    }
    folded.append(c);
  }
  return folded;
}

const char* opName(sql::CompareOp op) {
  switch (op) {
    case sql::CompareOp::Equal: return "=";
    case sql::CompareOp::NotEqual: return "<>";
    case sql::CompareOp::Less: return "<";
    case sql::CompareOp::Greater: return ">";
    case sql::CompareOp::LessOrEqual: return "<=";
    case sql::CompareOp::GreaterOrEqual: return ">=";
  }
  return "?";
}

Field operandValue(const sql::Operand& operand, const ResultRow& row,
                   const std::function<int(const QString&)>& columnOf) {
  if (!operand.isColumn) return literalField(operand.literal);
  const int index = columnOf(operand.column);
  if (index < 0) throw db::Error(QStringLiteral("Column %1 does not exist").arg(operand.column));
  Q_ASSERT(index < row.size());
  return row[index];
}

[[noreturn]] void refuseAssignment(const ColumnInfo& column, const sql::Literal& literal,
                                   const QString& why) {
  const QString shown = literal.kind == sql::Literal::Kind::Text
                            ? QStringLiteral("'%1'").arg(literal.text)
                            : literal.text;
  throw db::Error(QStringLiteral("Value %1 cannot be stored in column %2: %3")
                      .arg(shown.isEmpty() ? QStringLiteral("(empty)") : shown, column.name, why));
}

// A whole number from a number literal or a quoted decimal text, as Jet
// converts '3' for an integer column.
qint64 wholeNumber(const ColumnInfo& column, const sql::Literal& literal) {
  double value = 0;
  if (literal.kind == sql::Literal::Kind::Number) {
    value = literal.number;
  } else if (literal.kind == sql::Literal::Kind::Text) {
    bool ok = false;
    value = literal.text.trimmed().toDouble(&ok);
    if (!ok) refuseAssignment(column, literal, QStringLiteral("not a number"));
  } else if (literal.kind == sql::Literal::Kind::Boolean) {
    value = literal.boolean ? -1 : 0;
  } else {
    refuseAssignment(column, literal, QStringLiteral("not a number"));
  }
  if (!std::isfinite(value) || value != std::trunc(value))
    refuseAssignment(column, literal, QStringLiteral("not a whole number"));
  if (std::fabs(value) > 1e15) refuseAssignment(column, literal, QStringLiteral("out of range"));
  return static_cast<qint64>(value);
}

}  // namespace

int compareTexts(const QString& a, const QString& b) {
  int result = foldedForSort(a).compare(foldedForSort(b));
  if (result == 0) result = a.compare(b, Qt::CaseInsensitive);
  return result;
}

std::optional<int> compareValues(const Field& a, const Field& b) {
  if (a.type == Field::Type::Null || b.type == Field::Type::Null) return std::nullopt;
  if (isNumeric(a.type) && isNumeric(b.type)) {
    const double x = numericValue(a), y = numericValue(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (a.type == Field::Type::Text && b.type == Field::Type::Text) {
    // Equality ignores case only; accents count, as in Jet.
    const int exact = a.value.toString().compare(b.value.toString(), Qt::CaseInsensitive);
    if (exact == 0) return 0;
    const int order = compareTexts(a.value.toString(), b.value.toString());
    return order != 0 ? order : exact;
  }
  throw db::Error(QStringLiteral("Cannot compare a text with a number"));
}

int compareForSort(const Field& a, const Field& b) {
  const bool aNull = a.type == Field::Type::Null, bNull = b.type == Field::Type::Null;
  if (aNull || bNull) return aNull == bNull ? 0 : (aNull ? -1 : 1);
  if (a.type == Field::Type::Text && b.type == Field::Type::Text)
    return compareTexts(a.value.toString(), b.value.toString());
  if (isNumeric(a.type) && isNumeric(b.type)) return *compareValues(a, b);
  // Mixed kinds within one column do not occur; keep a fixed order anyway.
  return static_cast<int>(a.type) - static_cast<int>(b.type);
}

Field literalField(const sql::Literal& literal) {
  switch (literal.kind) {
    case sql::Literal::Kind::Number: return doubleField(literal.number);
    case sql::Literal::Kind::Text: return textField(literal.text);
    case sql::Literal::Kind::Date: return dateTimeField(literal.number);
    case sql::Literal::Kind::Boolean: return booleanField(literal.boolean);
    case sql::Literal::Kind::Null: return nullField();
  }
  return nullField();
}

bool rowMatches(const sql::Condition& condition, const ResultTable& table, const ResultRow& row) {
  return rowMatches(condition, row, [&](const QString& column) { return table.columnIndex(column); });
}

bool rowMatches(const sql::Condition& condition, const ResultRow& row,
                const std::function<int(const QString&)>& columnOf) {
  switch (condition.kind) {
    case sql::Condition::Kind::And:
      return rowMatches(*condition.a, row, columnOf) && rowMatches(*condition.b, row, columnOf);
    case sql::Condition::Kind::Or:
      return rowMatches(*condition.a, row, columnOf) || rowMatches(*condition.b, row, columnOf);
    case sql::Condition::Kind::Compare: break;
  }
  const Field left = operandValue(condition.left, row, columnOf);
  const Field right = operandValue(condition.right, row, columnOf);
  std::optional<int> order;
  try {
    order = compareValues(left, right);
  } catch (const db::Error&) {
    const QString column = condition.left.isColumn ? condition.left.column : condition.right.column;
    throw db::Error(QStringLiteral("Cannot compare column %1 %2 with a value of another kind")
                        .arg(column, QLatin1String(opName(condition.op))));
  }
  // Without NOT in the subset, treating "unknown" (NULL) as false is exact.
  if (!order) return false;
  switch (condition.op) {
    case sql::CompareOp::Equal: return *order == 0;
    case sql::CompareOp::NotEqual: return *order != 0;
    case sql::CompareOp::Less: return *order < 0;
    case sql::CompareOp::Greater: return *order > 0;
    case sql::CompareOp::LessOrEqual: return *order <= 0;
    case sql::CompareOp::GreaterOrEqual: return *order >= 0;
  }
  return false;
}

namespace {

// One value of a sort column, prepared once per row: what compareForSort
// reads of it, with a text's folded form made only once.
struct SortValue {
  Field::Type type = Field::Type::Null;
  double number = 0;
  QString text;
  QString folded;
};

SortValue sortValueOf(const Field& field) {
  SortValue value;
  value.type = field.type;
  if (isNumeric(field.type)) value.number = numericValue(field);
  if (field.type == Field::Type::Text) {
    value.text = field.value.toString();
    value.folded = foldedForSort(value.text);
  }
  return value;
}

// compareForSort on prepared values.
int compareSortValues(const SortValue& a, const SortValue& b) {
  const bool aNull = a.type == Field::Type::Null, bNull = b.type == Field::Type::Null;
  if (aNull || bNull) return aNull == bNull ? 0 : (aNull ? -1 : 1);
  if (a.type == Field::Type::Text && b.type == Field::Type::Text) {
    const int result = a.folded.compare(b.folded);
    return result != 0 ? result : a.text.compare(b.text, Qt::CaseInsensitive);
  }
  if (isNumeric(a.type) && isNumeric(b.type)) return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  return static_cast<int>(a.type) - static_cast<int>(b.type);
}

}  // namespace

void sortRows(ResultTable& table, const QVector<sql::SortKey>& keys) {
  QVector<int> columns;
  for (const sql::SortKey& key : keys) {
    const int index = table.columnIndex(key.column);
    if (index < 0) throw db::Error(QStringLiteral("Sort column %1 does not exist").arg(key.column));
    columns.append(index);
  }
  const qsizetype rowCount = table.rows.size();
  // values[k * rowCount + r]: key k of row r.
  std::vector<SortValue> values;
  values.reserve(size_t(keys.size() * rowCount));
  for (int k = 0; k < keys.size(); ++k)
    for (const ResultRow& row : std::as_const(table.rows)) values.push_back(sortValueOf(row[columns[k]]));
  auto before = [&](qsizetype a, qsizetype b) {
    for (int k = 0; k < keys.size(); ++k) {
      int order = compareSortValues(values[size_t(k * rowCount + a)], values[size_t(k * rowCount + b)]);
      if (keys[k].descending) order = -order;
      if (order != 0) return order < 0;
    }
    return false;
  };
  std::vector<qsizetype> order(static_cast<size_t>(rowCount));
  for (qsizetype r = 0; r < rowCount; ++r) order[size_t(r)] = r;
  // Rows mostly come in order already (by ID, by date): then nothing moves.
  if (std::is_sorted(order.begin(), order.end(), before)) return;
  std::stable_sort(order.begin(), order.end(), before);
  QVector<ResultRow> sorted;
  sorted.reserve(rowCount);
  for (qsizetype r : order) sorted.append(std::move(table.rows[r]));
  table.rows = std::move(sorted);
}

void applySelect(const sql::SelectStatement& select, ResultTable& table) {
  if (select.where) {
    QVector<ResultRow> kept;
    for (const ResultRow& row : table.rows) {
      if (rowMatches(*select.where, table, row)) kept.append(row);
    }
    table.rows = kept;
  }
  if (!select.orderBy.isEmpty()) sortRows(table, select.orderBy);
}

Field assignedValue(const ColumnInfo& column, const sql::Literal& literal) {
  if (literal.kind == sql::Literal::Kind::Null) return nullField();
  switch (column.kind) {
    case ColumnKind::Byte:
    case ColumnKind::Integer:
    case ColumnKind::Long: {
      const qint64 value = wholeNumber(column, literal);
      const qint64 low = column.kind == ColumnKind::Byte ? 0
                         : column.kind == ColumnKind::Integer ? -32768
                                                              : std::numeric_limits<qint32>::min();
      const qint64 high = column.kind == ColumnKind::Byte ? 255
                          : column.kind == ColumnKind::Integer ? 32767
                                                               : std::numeric_limits<qint32>::max();
      if (value < low || value > high)
        refuseAssignment(column, literal, QStringLiteral("out of the column's range"));
      return integerField(static_cast<qint32>(value));
    }
    case ColumnKind::Boolean:
      if (literal.kind == sql::Literal::Kind::Boolean) return booleanField(literal.boolean);
      return booleanField(wholeNumber(column, literal) != 0);
    case ColumnKind::Double:
      if (literal.kind == sql::Literal::Kind::Number) return doubleField(literal.number);
      if (literal.kind == sql::Literal::Kind::Text) {
        bool ok = false;
        const double value = literal.text.trimmed().toDouble(&ok);
        if (!ok) refuseAssignment(column, literal, QStringLiteral("not a number"));
        return doubleField(value);
      }
      refuseAssignment(column, literal, QStringLiteral("not a number"));
    case ColumnKind::DateTime:
      if (literal.kind == sql::Literal::Kind::Date || literal.kind == sql::Literal::Kind::Number)
        return dateTimeField(literal.number);
      if (literal.kind == sql::Literal::Kind::Text)
        return dateTimeField(sql::parseDateLiteral(literal.text));
      refuseAssignment(column, literal, QStringLiteral("not a date"));
    case ColumnKind::Text:
    case ColumnKind::Memo: {
      QString text;
      if (literal.kind == sql::Literal::Kind::Text || literal.kind == sql::Literal::Kind::Number)
        text = literal.text;
      else
        refuseAssignment(column, literal, QStringLiteral("not a text"));
      if (column.kind == ColumnKind::Text && column.maxChars > 0 && text.size() > column.maxChars)
        refuseAssignment(column, literal,
                         QStringLiteral("longer than %1 characters").arg(column.maxChars));
      return textField(text);
    }
    case ColumnKind::Other: break;
  }
  refuseAssignment(column, literal, QStringLiteral("the column's type is not supported"));
}

}  // namespace db
