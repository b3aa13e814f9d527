// The guard of an UPDATE: the values the caller read from the row, which the
// row must still hold when the update is carried out.
//
// A caller that writes back a whole row it read earlier (the notification
// store) hands them to db::Command::setExpectedValues; they travel to the
// worker in the request frame (WorkerProtocol.h), which compares them with
// the row just before it writes and writes nothing when any differs or the
// row is gone, so a change another program made in between is never
// overwritten. Such a refusal reaches the caller as db::RowChangedError.
#pragma once

#include <QString>

#include "db/Database.h"
#include "db/WorkerProtocol.h"

namespace db {

// Column name and the value read from it. A NULL in the row equals the value
// it reads as (0, false, the empty text), as the reader saw it.
using ExpectedValues = protocol::ExpectedValues;

// The row an UPDATE was meant for no longer holds the values read from it,
// or is gone. Nothing was written.
class RowChangedError : public Error {
 public:
  explicit RowChangedError(const QString& message) : Error(message, Kind::RowChanged) {}
};

// The start of every refusal message (the kind, Error::Kind::RowChanged,
// crosses the process border in the answer frame).
extern const QString kRowChangedMessage;

}  // namespace db
