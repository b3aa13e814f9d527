// Files of ours that hold copies of database files: the snapshots of read
// connections and the copies LocalCopy keeps.
//
// They live in one private folder per running program, made under
// $XDG_RUNTIME_DIR (else /tmp, never $TMPDIR), readable by this user only and
// never beside the database file. The folder and everything in it is removed
// when the program ends; folders of earlier runs that ended without removing
// theirs (a crash, a kill) are removed when the folder is made.
#pragma once

#include <QString>
#include <memory>

namespace db {

// The private folder, made at the first call; throws db::Error when it
// cannot be made.
QString privateFolder();

// One file in the private folder, removed (when it exists) as the object
// goes; shared by its owners through std::shared_ptr.
class PrivateFile {
 public:
  // A new name in the private folder, "<stem>-<serial><suffix>"; the file is
  // not created. Throws db::Error when the folder cannot be made.
  static std::shared_ptr<PrivateFile> reserve(const QString& stem, const QString& suffix);

  explicit PrivateFile(const QString& path) : m_path(path) {}
  ~PrivateFile();
  PrivateFile(const PrivateFile&) = delete;
  PrivateFile& operator=(const PrivateFile&) = delete;

  QString path() const { return m_path; }

 private:
  QString m_path;
};

using SharedFile = std::shared_ptr<const PrivateFile>;

}  // namespace db
