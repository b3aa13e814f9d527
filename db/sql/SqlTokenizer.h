// Tokens of the Jet SQL subset the system sends.
//
// Identifiers (plain or in [brackets]), numbers, texts in single or double
// quotes with the quote doubled inside, date literals between # signs, and
// the symbols = <> < > <= >= ( ) , ; *. Keywords are identifiers here; the
// parser recognises them without regard to case. A character outside this
// subset, an unterminated text or an invalid date literal is a db::Error.
#pragma once

#include <QString>
#include <QVector>

namespace db::sql {

enum class TokenKind { Identifier, Number, Text, Date, Symbol, End };

struct Token {
  TokenKind kind = TokenKind::End;
  QString text;         // identifier, number digits, text content or symbol
  double date = 0;      // Date tokens: the day-count date-time
  int position = 0;     // offset in the statement, for messages
};

QVector<Token> tokenize(const QString& statement);

// The day-count value of a date literal's content ("12/08/2026",
// "12/08/2026 07.15.30", "2026-12-08 07:15:30"); throws db::Error when it is
// not a valid date and time.
double parseDateLiteral(const QString& content);

}  // namespace db::sql
