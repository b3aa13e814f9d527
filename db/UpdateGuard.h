// The guard of an UPDATE: the values the caller read from the row, which the
// row must still hold when the update is carried out, and how they travel to
// the worker with the statement.
//
// A caller that writes back a whole row it read earlier (the notification
// store) hands over the values it read; the worker compares them with the row
// just before it writes and writes nothing when any differs or the row is
// gone, so a change another program made in between is never overwritten.
// Such a refusal reaches the caller as db::RowChangedError.
//
// Transport: the statement argument of the worker's "execute" operation is
// either the bare statement or "GUARD1:" + Base64 of the encoded values +
// "\n" + the statement. A statement never starts with "GUARD1:", so both
// forms are told apart without doubt.
#pragma once

#include <QPair>
#include <QString>
#include <QVector>

#include "db/Database.h"

namespace db {

// Column name and the value read from it. A NULL equals the value it reads
// as (0, false, the empty text), as the reader saw it.
using ExpectedValues = QVector<QPair<QString, Field>>;

// The row an UPDATE was meant for no longer holds the values read from it,
// or is gone. Nothing was written.
class RowChangedError : public Error {
 public:
  using Error::Error;
};

// The start of every refusal message, so the caller's side can tell a
// refusal from other failures after the message crossed the process border.
extern const QString kRowChangedMessage;

struct GuardedStatement {
  QString statement;
  ExpectedValues expected;  // empty: no guard
};

// The worker argument for the statement with its guard (the bare statement
// when `expected` is empty).
QString encodeGuardedStatement(const QString& statement, const ExpectedValues& expected);

// Splits a worker argument again. Throws db::Error when the guard part is
// damaged; a bare statement comes back with no expected values.
GuardedStatement decodeGuardedStatement(const QString& argument);

}  // namespace db
