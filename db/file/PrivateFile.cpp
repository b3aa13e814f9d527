// The private folder for copies of database files, and its files.
#include "db/file/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <unistd.h>

#include "db/Database.h"
#include "platform/Logging.h"

namespace db {

namespace {

const QString kFolderPrefix = QStringLiteral("zova-db-");

// Where the private folder is made: the user's runtime folder (memory, private,
// emptied at logout) when there is one, else /tmp. TMPDIR is not used: it
// may name the plan folder or another folder on a share.
QString baseFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable()) return runtime;
  return QStringLiteral("/tmp");
}

// Removes "zova-db-<pid>-…" folders of this user whose program no longer runs.
void removeAbandonedFolders(const QDir& base) {
  const QStringList names = base.entryList({kFolderPrefix + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& name : names) {
    bool ok = false;
    const qint64 pid = name.mid(kFolderPrefix.size()).section(u'-', 0, 0).toLongLong(&ok);
    if (!ok || pid <= 0 || pid == ::getpid()) continue;
    if (QFileInfo(base.filePath(name)).ownerId() != ::getuid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    if (QDir(base.filePath(name)).removeRecursively())
      qCInfo(lcDb).noquote() << "Removed" << base.filePath(name) << "left by an earlier run";
  }
}

}  // namespace

QString privateFolder() {
  // Destroyed at exit, which removes the folder with its content.
  static std::unique_ptr<QTemporaryDir> folder;
  if (!folder) {
    const QDir base(baseFolder());
    removeAbandonedFolders(base);
    auto made = std::make_unique<QTemporaryDir>(
        base.filePath(kFolderPrefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX")));
    if (!made->isValid())
      throw db::Error(QStringLiteral("Cannot make a private folder in %1: %2").arg(base.path(), made->errorString()));
    folder = std::move(made);
  }
  return folder->path();
}

std::shared_ptr<PrivateFile> PrivateFile::reserve(const QString& stem, const QString& suffix) {
  static quint64 serial = 0;
  const QString folder = privateFolder();
  return std::make_shared<PrivateFile>(folder + u'/' + stem + u'-' + QString::number(++serial) + suffix);
}

PrivateFile::~PrivateFile() { QFile::remove(m_path); }

}  // namespace db
