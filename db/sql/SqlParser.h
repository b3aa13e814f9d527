// Statements of the Jet SQL subset, parsed.
//
// SELECT * FROM <table> [WHERE <condition>] [ORDER BY <column> [ASC|DESC], ...] [;]
// UPDATE <table> SET <column>=<literal>, ... WHERE ID=<integer> [;]
// A condition is comparisons (=, <>, <, >, <=, >=) of columns and literals,
// joined by AND and OR (AND binds tighter) and grouped by parentheses.
// Literals: numbers, quoted texts, #date# literals, True, False, Null.
// Anything else is refused with a db::Error saying "not supported", so a
// statement is either understood exactly or not run at all.
#pragma once

#include <QString>
#include <QVector>
#include <memory>
#include <variant>

namespace db::sql {

struct Literal {
  enum class Kind { Number, Text, Date, Boolean, Null };
  Kind kind = Kind::Null;
  QString text;       // Number: the digits as written (with a leading "-"); Text: the content
  double number = 0;  // Number and Date values
  bool boolean = false;
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual };

struct Operand {
  bool isColumn = false;
  QString column;
  Literal literal;
};

struct Condition {
  enum class Kind { Compare, And, Or };
  Kind kind = Kind::Compare;
  CompareOp op = CompareOp::Equal;
  Operand left, right;                      // Compare
  std::shared_ptr<const Condition> a, b;    // And, Or
};

struct SortKey {
  QString column;
  bool descending = false;
};

struct SelectStatement {
  QString table;
  std::shared_ptr<const Condition> where;  // null: every row
  QVector<SortKey> orderBy;
};

struct Assignment {
  QString column;
  Literal value;
};

struct UpdateStatement {
  QString table;
  QVector<Assignment> assignments;
  QString keyColumn;  // the column of the WHERE clause (ID)
  qint64 keyValue = 0;
};

using Statement = std::variant<SelectStatement, UpdateStatement>;

// Parses one statement; throws db::Error naming the statement on anything
// outside the subset.
Statement parseStatement(const QString& statement);

// Parses a sort expression such as "Datum ASC", "ID" or "A DESC, B".
QVector<SortKey> parseSortExpression(const QString& expression);

}  // namespace db::sql
