// Whether a Jet database file is whole: the check a copy of an export must
// pass before the monitor reads it.
//
// A file cut short or written only in part can still open with libmdb,
// which reads missing pages as the end of a table and passes over rows it
// cannot take apart; such a file yields fewer rows without any error. The
// check therefore reads the file as a whole, through the same checked reader
// the queries use. Used only inside the worker process.
#pragma once

#include <QString>

namespace db::engine {

// Throws db::Error naming the file and what is not whole when: the file does
// not end on a page boundary; the table catalog holds fewer or more entries
// than its definition counts; a user table's definition or usage maps
// cannot be read or name pages beyond the end of the file; a row or one of
// its values (memos with their long-value rows included) lies outside its
// page or is cut short; or a user table holds another number of rows than
// its definition counts. Every user table is checked, not only the plan's.
void checkWholeDatabase(const QString& path);

}  // namespace db::engine
