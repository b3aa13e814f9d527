// UPDATE ... SET ... WHERE ID=n on a Jet file, through libmdb's
// mdb_update_row, and only in the way it works correctly.
//
// libmdb never touches the file itself: it updates a private scratch copy,
// and only the pages that differ afterwards are carried into the file under
// a rollback journal (PageJournal.h), so the file - shared with the program
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
// With expected values (UpdateGuard.h), the row is read by its key just
// before the update and compared with them; when any differs, or the row is
// gone, nothing is written and the update fails with a message starting
// with kRowChangedMessage.
#pragma once

#include <QString>

#include "db/SqlParser.h"
#include "db/UpdateGuard.h"

namespace db::engine {

// Throws db::Error on any failure; the file is then as it was.
void executeUpdate(const QString& path, const sql::UpdateStatement& update, const ExpectedValues& expected = {});

}  // namespace db::engine
