// Writing an update into a shared database file so that the file is always
// either as it was or as it should be, whatever happens in between.
//
// The engine never edits the shared file itself: it runs on a private
// scratch copy, and only the pages that differ afterwards are carried into
// the shared file. Before the first of them is written, the original bytes
// of every such page and the bytes it is to receive go into a rollback
// journal of our own, flushed to disk; the journal is removed once the last
// page is written and flushed. A worker killed in between (at its deadline,
// by a signal) leaves the journal behind, and the next worker operation on
// that file writes the original pages back before it does anything else -
// but only into pages that still hold what the killed write left there; a
// page another writer has changed since keeps that writer's content. A
// write that fails (disk full), a file that changes its size under the
// update, or pages that do not read back as written are undone on the spot.
//
// Every writer of ours, whatever its settings folder, holds a write lock on
// the shared file itself (an fcntl byte-range lock, which a CIFS mount
// carries to the server) from reading the file to the flush of its pages,
// and so does a recovery; an update that cannot have it within a few
// seconds fails with db::Error::Kind::NoAnswer. What the lock does and does
// not keep out is described at SharedFileLock in PageJournal.cpp.
//
// Journals and scratch copies live in a private folder below the per-user
// application-data folder, never beside the shared file; one lock on that
// folder keeps two workers of the same user from interleaving. Failures of
// the file system carry their kind (read-only, no space). Used only inside
// the worker process.
//
// For tests, the environment variable ZOVA_DB_WORKER_FAULT injects one fault
// into a journalled write:
//   kill-after-page:K     the process kills itself (SIGKILL) after its K-th
//                         page write (0: once the journal is on disk, before
//                         the first page write)
//   fail-page:K           the K-th page write fails as on a full disk
//   fail-journal          writing the journal fails as on a full disk
//   shrink-before-page:K  before the K-th page write the file is cut short
//                         by one page, as if another program had shrunk it
//   read-only-file        the file cannot be opened for writing, as on a
//                         read-only mount (EROFS)
//   slow-pages:MS         the page writes start MS milliseconds after the
//                         file was compared with what the update started
//                         from, as on a slow share
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace db::engine {

// When an update of `path` did not finish, writes the original pages back
// from its journal where the file still holds what the update left, and
// removes the journal. No effect without a journal.
// A journal whose file has since changed its size (replaced by another
// program) is dropped without writing. Throws db::Error when the file cannot
// be restored now; the journal is then kept for the next operation.
void recoverInterruptedUpdate(const QString& path);

// Recovers `path` first, then runs `change` on a private scratch copy of it
// and carries the pages that differ afterwards into `path` under the
// journal. When the shared file changed between reading and writing, the
// whole run is repeated on the file as it then is (a few times). `change`
// throws db::Error to refuse; nothing is written then. Throws db::Error on
// any failure, with `path` as it was.
void updateThroughJournal(const QString& path, const std::function<void(const QString& scratchPath)>& change);

// Writes the pages (`pageSize` bytes; the last may be shorter) in which
// `updated` differs from `original` into `path` under the journal. The file
// must hold exactly `original` and keep its size (db::Error otherwise, with
// nothing written). Throws db::Error with the file as it was on any failure.
// Precondition: original and updated have the same size.
void writePagesThroughJournal(const QString& path, const QByteArray& original, const QByteArray& updated,
                              int pageSize);

// The private folder of journals and scratch copies, with a trailing "/".
QString journalFolder();
// The journal that an unfinished update of `path` leaves behind.
QString journalFileFor(const QString& path);

}  // namespace db::engine
