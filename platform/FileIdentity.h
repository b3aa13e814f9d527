// What stat() tells of a file without reading it. Any write to a local file
// moves its change time (which no program can set back); a file renamed into
// place is another inode. Two looks with equal identities saw the same file
// unless it was written within one tick of the file system's clock.
#pragma once

#include <QString>
#include <QtGlobal>

struct stat;

struct FileIdentity {
  bool exists = false;  // a regular file was there
  qint64 size = 0;
  qint64 modifiedNs = 0;
  qint64 changedNs = 0;
  quint64 inode = 0;
  quint64 device = 0;
  bool operator==(const FileIdentity&) const = default;

  // The identity of the regular file at `path`; not existing for anything else.
  static FileIdentity of(const QString& path);
  // The identity a stat() or fstat() gave.
  static FileIdentity of(const struct stat& status);
};
