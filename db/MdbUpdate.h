// UPDATE ... SET ... WHERE ID=n on a Jet file in place, through libmdb's
// mdb_update_row, and only in the way it works correctly.
//
// libmdb 1.0 rewrites a row from the columns that are bound, so every column
// is unbound and only those whose value really changes are bound, with the
// value in its on-disk form (little-endian numbers, UCS-2LE texts). What it
// cannot write - a change of a Boolean (kept in the null mask), of NULL-ness,
// of a memo, of an indexed column, a text longer than its column, a row
// layout it would repack differently - is refused before anything is written.
// mdb_update_row's return value says nothing, so the file is read again
// afterwards: the row must hold the new values and every other row and column
// must be byte-identical; otherwise the pages that changed are put back from
// the copy taken before the write and the update fails.
#pragma once

#include <QString>

#include "db/SqlParser.h"

namespace db::engine {

// Throws db::Error on any failure; the file is then as it was.
void executeUpdate(const QString& path, const sql::UpdateStatement& update);

}  // namespace db::engine
