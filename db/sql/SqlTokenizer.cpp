// Splits a statement of the Jet SQL subset into tokens.
#include "db/sql/SqlTokenizer.h"

#include <QDate>
#include <QRegularExpression>

#include "db/Database.h"
#include "platform/DateTime.h"

namespace db::sql {

namespace {

bool isIdentifierStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentifierPart(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

[[noreturn]] void fail(const QString& statement, int position, const QString& what) {
  throw db::Error(QStringLiteral("SQL not supported: %1 at position %2 in \"%3\"")
                      .arg(what)
                      .arg(position + 1)
                      .arg(statement));
}

}  // namespace

double parseDateLiteral(const QString& content) {
  // Month first, as Jet reads # literals regardless of the locale; the time
  // parts may be separated by "." (as the system writes them) or ":".
  static const QRegularExpression usForm(QStringLiteral(
      R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})(?:\s+(\d{1,2})[.:](\d{1,2})(?:[.:](\d{1,2}))?)?\s*$)"));
  static const QRegularExpression isoForm(QStringLiteral(
      R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:\s+(\d{1,2})[.:](\d{1,2})(?:[.:](\d{1,2}))?)?\s*$)"));
  int year = 0, month = 0, day = 0;
  QRegularExpressionMatch m = usForm.match(content);
  if (m.hasMatch()) {
    month = m.captured(1).toInt();
    day = m.captured(2).toInt();
    year = m.captured(3).toInt();
  } else {
    m = isoForm.match(content);
    if (!m.hasMatch())
      throw db::Error(QStringLiteral("Date literal #%1# is not mm/dd/yyyy [hh.nn.ss]").arg(content));
    year = m.captured(1).toInt();
    month = m.captured(2).toInt();
    day = m.captured(3).toInt();
  }
  const int hour = m.captured(4).isEmpty() ? 0 : m.captured(4).toInt();
  const int minute = m.captured(5).isEmpty() ? 0 : m.captured(5).toInt();
  const int second = m.captured(6).isEmpty() ? 0 : m.captured(6).toInt();
  if (!QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
    throw db::Error(QStringLiteral("Date literal #%1# is not a valid date and time").arg(content));
  return zdt::encode(year, month, day, hour, minute, second);
}

namespace {

// Each reader below takes the token that starts at `i` (its first character
// already tells the kind) and returns the position after it.

// A name, plain or in brackets ([name with spaces]).
int readIdentifier(const QString& statement, int i, Token& token) {
  token.kind = TokenKind::Identifier;
  if (statement[i] == u'[') {
    const int close = statement.indexOf(u']', i + 1);
    if (close < 0) fail(statement, i, QStringLiteral("unterminated [name]"));
    token.text = statement.mid(i + 1, close - i - 1);
    if (token.text.isEmpty()) fail(statement, i, QStringLiteral("empty [name]"));
    return close + 1;
  }
  int j = i + 1;
  while (j < statement.size() && isIdentifierPart(statement[j])) ++j;
  token.text = statement.mid(i, j - i);
  return j;
}

// Digits with an optional fraction; a letter right after it is an error.
int readNumber(const QString& statement, int i, Token& token) {
  const int n = statement.size();
  int j = i;
  while (j < n && statement[j].isDigit()) ++j;
  if (j < n && statement[j] == u'.') {
    ++j;
    while (j < n && statement[j].isDigit()) ++j;
  }
  if (j < n && isIdentifierPart(statement[j])) fail(statement, i, QStringLiteral("malformed number"));
  token.kind = TokenKind::Number;
  token.text = statement.mid(i, j - i);
  return j;
}

// Text in single or double quotes; a doubled quote inside the text stands
// for one quote character.
int readText(const QString& statement, int i, Token& token) {
  const int n = statement.size();
  const QChar quote = statement[i];
  QString text;
  int j = i + 1;
  bool closed = false;
  while (j < n) {
    if (statement[j] == quote) {
      if (j + 1 < n && statement[j + 1] == quote) {
        text.append(quote);
        j += 2;
        continue;
      }
      closed = true;
      ++j;
      break;
    }
    text.append(statement[j]);
    ++j;
  }
  if (!closed) fail(statement, i, QStringLiteral("unterminated text"));
  token.kind = TokenKind::Text;
  token.text = text;
  return j;
}

// A date literal between # signs, read month first.
int readDate(const QString& statement, int i, Token& token) {
  const int close = statement.indexOf(u'#', i + 1);
  if (close < 0) fail(statement, i, QStringLiteral("unterminated date literal"));
  token.kind = TokenKind::Date;
  token.text = statement.mid(i + 1, close - i - 1);
  token.date = parseDateLiteral(token.text);
  return close + 1;
}

// An operator or punctuation: <>, <=, >= or one of = < > ( ) , ; * -.
int readSymbol(const QString& statement, int i, Token& token) {
  static const QString twoCharSymbols[] = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">=")};
  token.kind = TokenKind::Symbol;
  for (const QString& symbol : twoCharSymbols) {
    if (statement.mid(i, 2) == symbol) {
      token.text = symbol;
      return i + 2;
    }
  }
  const QChar c = statement[i];
  if (!QStringLiteral("=<>(),;*-").contains(c)) fail(statement, i, QStringLiteral("character '%1'").arg(c));
  token.text = c;
  return i + 1;
}

}  // namespace

QVector<Token> tokenize(const QString& statement) {
  QVector<Token> tokens;
  const int n = statement.size();
  int i = 0;
  while (i < n) {
    const QChar c = statement[i];
    if (c.isSpace()) {
      ++i;
      continue;
    }
    Token token;
    token.position = i;
    if (isIdentifierStart(c) || c == u'[')
      i = readIdentifier(statement, i, token);
    else if (c.isDigit() || (c == u'.' && i + 1 < n && statement[i + 1].isDigit()))
      i = readNumber(statement, i, token);
    else if (c == u'\'' || c == u'"')
      i = readText(statement, i, token);
    else if (c == u'#')
      i = readDate(statement, i, token);
    else
      i = readSymbol(statement, i, token);
    tokens.append(token);
  }
  Token end;
  end.kind = TokenKind::End;
  end.position = n;
  tokens.append(end);
  return tokens;
}

}  // namespace db::sql
