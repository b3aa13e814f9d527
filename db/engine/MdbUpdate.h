// UPDATE ... SET ... WHERE ID=n on a Jet file, through libmdb's
// mdb_update_row, and only in the way it works correctly.
//
// libmdb never touches the file itself: it updates a private scratch copy,
// and only the pages that differ afterwards are carried into the file under
// a rollback journal (db/journal/PageJournal.h), so the file - shared with the program
// that fills it - is always either as it was or as it should be.
//
// libmdb 1.0 rewrites a row from the columns that are bound, so every column
// is unbound and only those whose value really changes are bound, with the
// value in its on-disk form (little-endian numbers, UCS-2LE texts). What it
// cannot write - a change of a Boolean (kept in the null mask), of NULL-ness,
// of a memo, of an indexed column, a text longer than its column, a row
// layout it would repack differently - is refused before anything is written.
// mdb_update_row's return value says nothing, so the copy is read again
// afterwards: the row must hold the new values and every other row and column
// must be byte-identical; otherwise nothing is carried over and the update
// fails.
//
// With expected values (db::Command::setExpectedValues), the row is read by its key just
// before the update and compared with them; when any differs, or the row is
// gone, nothing is written and the update fails with db::RowChangedError.
//
// With the caller's changed columns as well, the update is carried out on
// the row as the file holds it under the writers' lock (db/journal/PageJournal.h): each
// changed column must hold its expected value or already its new one
// (RowChangedError otherwise, e.g. a notification the issuer cancelled
// while it is being ticked off); the other columns are neither compared nor
// written, whatever the statement assigns them, so they keep their stored
// bytes - a time with a fraction of a second stays as it is - and an update
// another writer made to them first stays; only changed columns whose value
// differs are written, and nothing to write is success.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "db/sql/SqlParser.h"
#include "db/Database.h"

namespace db::engine {

// Throws db::Error on any failure; the file is then as it was.
void executeUpdate(const QString& path, const sql::UpdateStatement& update, const ExpectedValues& expected = {},
                   const std::optional<QStringList>& changedColumns = std::nullopt);

}  // namespace db::engine
