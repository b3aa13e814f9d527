// Recursive-descent parser of the Jet SQL subset (grammar in SqlParser.h).
#include "db/sql/SqlParser.h"

#include "db/Database.h"
#include "db/sql/SqlTokenizer.h"

namespace db::sql {

namespace {

class Parser {
 public:
  Parser(const QString& statement) : m_statement(statement), m_tokens(tokenize(statement)) {}

  Statement statement() {
    Statement result;
    if (acceptKeyword("SELECT")) {
      result = select();
    } else if (acceptKeyword("UPDATE")) {
      result = update();
    } else {
      fail(QStringLiteral("only SELECT and UPDATE statements are supported"));
    }
    acceptSymbol(";");
    if (peek().kind != TokenKind::End) fail(QStringLiteral("unexpected text after the statement"));
    return result;
  }

  QVector<SortKey> sortList() {
    QVector<SortKey> keys = sortKeys();
    if (peek().kind != TokenKind::End) fail(QStringLiteral("unexpected text in the sort expression"));
    return keys;
  }

 private:
  const Token& peek() const { return m_tokens[m_pos]; }
  const Token& take() {
    const Token& token = m_tokens[m_pos];
    if (token.kind != TokenKind::End) ++m_pos;
    return token;
  }

  [[noreturn]] void fail(const QString& what) const {
    const Token& token = peek();
    const QString near = token.kind == TokenKind::End
                             ? QStringLiteral("at the end")
                             : QStringLiteral("near \"%1\"").arg(m_statement.mid(token.position, 20));
    throw db::Error(QStringLiteral("SQL not supported: %1 (%2) in \"%3\"").arg(what, near, m_statement));
  }

  bool isKeyword(const Token& token, const char* word) const {
    return token.kind == TokenKind::Identifier &&
           token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
  }
  bool acceptKeyword(const char* word) {
    if (!isKeyword(peek(), word)) return false;
    take();
    return true;
  }
  void expectKeyword(const char* word) {
    if (!acceptKeyword(word)) fail(QStringLiteral("expected %1").arg(QLatin1String(word)));
  }
  bool acceptSymbol(const char* symbol) {
    if (peek().kind != TokenKind::Symbol || peek().text != QLatin1String(symbol)) return false;
    take();
    return true;
  }
  void expectSymbol(const char* symbol) {
    if (!acceptSymbol(symbol)) fail(QStringLiteral("expected \"%1\"").arg(QLatin1String(symbol)));
  }

  bool isReserved(const Token& token) const {
    static const char* const reserved[] = {"SELECT", "FROM", "WHERE", "ORDER", "BY", "ASC",
                                           "DESC", "AND", "OR", "NOT", "UPDATE", "SET",
                                           "TRUE", "FALSE", "NULL", "LIKE", "IN", "IS",
                                           "BETWEEN", "JOIN", "GROUP", "HAVING", "AS", "ON"};
    for (const char* word : reserved) {
      if (isKeyword(token, word)) return true;
    }
    return false;
  }

  QString name(const char* what) {
    const Token& token = peek();
    if (token.kind != TokenKind::Identifier || isReserved(token))
      fail(QStringLiteral("expected %1").arg(QLatin1String(what)));
    return take().text;
  }

  SelectStatement select() {
    SelectStatement select;
    if (!acceptSymbol("*")) fail(QStringLiteral("only SELECT * is supported"));
    expectKeyword("FROM");
    select.table = name("a table name");
    if (acceptKeyword("WHERE")) select.where = orCondition();
    if (acceptKeyword("ORDER")) {
      expectKeyword("BY");
      select.orderBy = sortKeys();
    }
    return select;
  }

  QVector<SortKey> sortKeys() {
    QVector<SortKey> keys;
    do {
      SortKey key;
      key.column = name("a column name");
      if (acceptKeyword("DESC")) {
        key.descending = true;
      } else {
        acceptKeyword("ASC");
      }
      keys.append(key);
    } while (acceptSymbol(","));
    return keys;
  }

  std::shared_ptr<const Condition> orCondition() {
    auto left = andCondition();
    while (acceptKeyword("OR")) {
      auto node = std::make_shared<Condition>();
      node->kind = Condition::Kind::Or;
      node->a = left;
      node->b = andCondition();
      left = node;
    }
    return left;
  }

  std::shared_ptr<const Condition> andCondition() {
    auto left = primaryCondition();
    while (acceptKeyword("AND")) {
      auto node = std::make_shared<Condition>();
      node->kind = Condition::Kind::And;
      node->a = left;
      node->b = primaryCondition();
      left = node;
    }
    return left;
  }

  std::shared_ptr<const Condition> primaryCondition() {
    if (acceptSymbol("(")) {
      auto inner = orCondition();
      expectSymbol(")");
      return inner;
    }
    auto node = std::make_shared<Condition>();
    node->kind = Condition::Kind::Compare;
    node->left = operand();
    node->op = compareOp();
    node->right = operand();
    if (!node->left.isColumn && !node->right.isColumn)
      fail(QStringLiteral("a comparison needs a column"));
    return node;
  }

  CompareOp compareOp() {
    static const struct {
      const char* symbol;
      CompareOp op;
    } ops[] = {{"=", CompareOp::Equal},        {"<>", CompareOp::NotEqual},
               {"<=", CompareOp::LessOrEqual}, {">=", CompareOp::GreaterOrEqual},
               {"<", CompareOp::Less},         {">", CompareOp::Greater}};
    for (const auto& entry : ops) {
      if (acceptSymbol(entry.symbol)) return entry.op;
    }
    fail(QStringLiteral("expected a comparison (=, <>, <, >, <=, >=)"));
  }

  Operand operand() {
    Operand result;
    const Token& token = peek();
    if (token.kind == TokenKind::Identifier && !isReserved(token)) {
      result.isColumn = true;
      result.column = take().text;
      return result;
    }
    result.literal = literal();
    return result;
  }

  Literal literal() {
    Literal value;
    bool negative = false;
    if (acceptSymbol("-")) negative = true;
    const Token& token = peek();
    if (token.kind == TokenKind::Number) {
      value.kind = Literal::Kind::Number;
      value.text = (negative ? QStringLiteral("-") : QString()) + token.text;
      value.number = value.text.toDouble();
      take();
      return value;
    }
    if (negative) fail(QStringLiteral("expected a number after \"-\""));
    if (token.kind == TokenKind::Text) {
      value.kind = Literal::Kind::Text;
      value.text = take().text;
    } else if (token.kind == TokenKind::Date) {
      value.kind = Literal::Kind::Date;
      value.number = token.date;
      value.text = take().text;
    } else if (acceptKeyword("TRUE")) {
      value.kind = Literal::Kind::Boolean;
      value.boolean = true;
    } else if (acceptKeyword("FALSE")) {
      value.kind = Literal::Kind::Boolean;
      value.boolean = false;
    } else if (acceptKeyword("NULL")) {
      value.kind = Literal::Kind::Null;
    } else {
      fail(QStringLiteral("expected a column or a value"));
    }
    return value;
  }

  UpdateStatement update() {
    UpdateStatement update;
    update.table = name("a table name");
    expectKeyword("SET");
    do {
      Assignment assignment;
      assignment.column = name("a column name");
      expectSymbol("=");
      assignment.value = literal();
      for (const Assignment& earlier : update.assignments) {
        if (earlier.column.compare(assignment.column, Qt::CaseInsensitive) == 0)
          fail(QStringLiteral("column %1 is assigned twice").arg(assignment.column));
      }
      update.assignments.append(assignment);
    } while (acceptSymbol(","));
    if (!acceptKeyword("WHERE")) fail(QStringLiteral("an UPDATE needs WHERE ID=<number>"));
    update.keyColumn = name("the key column");
    if (update.keyColumn.compare(QLatin1String("ID"), Qt::CaseInsensitive) != 0)
      fail(QStringLiteral("an UPDATE is supported only with WHERE ID=<number>"));
    expectSymbol("=");
    const Literal key = literal();
    bool ok = false;
    update.keyValue = key.text.toLongLong(&ok);
    if (key.kind != Literal::Kind::Number || !ok)
      fail(QStringLiteral("an UPDATE is supported only with WHERE ID=<whole number>"));
    return update;
  }

  QString m_statement;
  QVector<Token> m_tokens;
  int m_pos = 0;
};

}  // namespace

Statement parseStatement(const QString& statement) { return Parser(statement).statement(); }

QVector<SortKey> parseSortExpression(const QString& expression) {
  return Parser(expression).sortList();
}

}  // namespace db::sql
