// Recognising a Jet database file by its header page, and a plain
// consistent copy of a file (for tools; the copy the monitor reads is taken
// by copyCompleteExport, which also waits for a complete export).
//
// The header tells Jet 3, Jet 4 and ACE (Access 2007 and later) files
// apart (jet/format/JetPages.h). The check needs no database engine, so it cannot
// hang on a damaged file; the worker runs both (a file on a network share can
// still block on input/output).
#pragma once

#include <QDateTime>
#include <QString>

#include "jet/format/JetPages.h"

namespace db {

using JetVersion = jet::format::FileVersion;

// Throws db::Error when the file is missing, unreadable, or not a Jet 3,
// Jet 4 or ACE database.
JetVersion checkJetFile(const QString& path);

// A file's size and modification time as they are now (never cached); size
// -1 when the file does not exist. Equal states: no change was seen.
struct FileState {
  qint64 size = -1;
  QDateTime modified;
  bool operator==(const FileState&) const = default;
};
FileState fileStateOf(const QString& path);

// Copies the file in one go into `snapshotPath` (replacing its content). The
// file must first look the same twice a few hundred milliseconds apart, as a
// rewrite may only have paused. When the original's size or modification
// time changed while it was copied (another program rewriting it), the copy is thrown away and
// taken again, a few times, briefly apart (an empty file counts as one
// being rewritten). Throws db::Error when no
// consistent copy could be taken.
void takeSnapshot(const QString& path, const QString& snapshotPath);

}  // namespace db
