// Taking a private copy of a database file that another program exports,
// only when the export is complete. Runs inside the database worker: it
// blocks on the file (which may lie on a slow or stalled share) and is
// bounded by the worker's deadline, never by itself.
#pragma once

#include <QByteArray>
#include <QString>

namespace db::engine {

// The outcome of one attempt to copy a database file.
struct CopyResult {
  enum class Kind {
    Copied,       // a complete export was copied to the copy path
    Unchanged,    // the file holds the content already copied (previousHash); nothing written
    Incomplete,   // the file is being written or does not pass as whole; try again soon
    Unreachable,  // the file or its folder is missing or cannot be read, or the copy cannot be written
  };
  Kind kind = Kind::Unreachable;
  QString message;  // why, for Incomplete and Unreachable (names the file)
  QByteArray hash;  // content hash of the file copied or found unchanged, or of a
                    // steady file refused as not whole
};

// Copies `path` to `copyPath` (replacing it in one step) when it is a
// complete export: its size, time stamp and content hash stay the same for
// the quiet time (2 s), no program holds it open (a Jet lock file beside it,
// unless this process has seen it and the database unchanged for 30 s), and it reads as a whole
// database (see checkWholeDatabase). `previousHash` is the hash of the last
// copy taken of this file, or empty; when the file's content still has that
// hash the result is Unchanged at once and nothing is written. Blocks for
// the quiet time plus two reads of the file. Never throws.
CopyResult copyCompleteExport(const QString& path, const QString& copyPath, const QByteArray& previousHash);

}  // namespace db::engine
