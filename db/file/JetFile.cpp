// Header check and snapshot copy of Jet database files.
#include "db/file/JetFile.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "db/Database.h"
#include "jet/format/JetPages.h"

namespace db {

namespace {

constexpr int kSnapshotAttempts = 5;
constexpr int kSnapshotPauseMs = 100;
// A rewrite may merely have paused: the file must look the same twice, this
// far apart, before it is read. Its time stamp is never compared with this
// PC's clock, which may stand far off the clock of the share's server.
constexpr int kQuietMs = 300;

}  // namespace

FileState fileStateOf(const QString& path) {
  QFileInfo info(path);
  info.setCaching(false);
  if (!info.exists()) return {};
  return {info.size(), info.lastModified()};
}

JetVersion checkJetFile(const QString& path) {
  QFileInfo info(path);
  if (!info.exists()) throw db::Error(QStringLiteral("Database file %1 does not exist").arg(path));
  if (!info.isFile()) throw db::Error(QStringLiteral("Database file %1 is not a file").arg(path));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw db::Error(QStringLiteral("Database file %1 cannot be read: %2").arg(path, file.errorString()));
  const QByteArray header = file.read(jet::format::kFileHeaderBytes);
  if (!jet::format::isJetHeader(header))
    throw db::Error(QStringLiteral("%1 is not a Jet (Access) database").arg(path));
  if (const auto version = jet::format::fileVersionOf(header)) return *version;
  throw db::Error(
      QStringLiteral("%1 has an unknown Jet version (%2)").arg(path).arg(jet::format::fileVersionByte(header)));
}

void takeSnapshot(const QString& path, const QString& snapshotPath) {
  for (int attempt = 0; attempt < kSnapshotAttempts; ++attempt) {
    if (attempt > 0) QThread::msleep(kSnapshotPauseMs);
    const FileState before = fileStateOf(path);
    QThread::msleep(kQuietMs);
    if (!(fileStateOf(path) == before)) continue;
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
      throw db::Error(QStringLiteral("Database file %1 cannot be read: %2").arg(path, original.errorString()));
    const QByteArray content = original.readAll();
    original.close();
    const FileState after = fileStateOf(path);
    // An empty file is never a database but what a rewrite looks like at
    // its start, so it counts as changing too.
    if (!(before == after) || content.size() != after.size || content.isEmpty()) continue;

    QFile snapshot(snapshotPath);
    if (!snapshot.open(QIODevice::WriteOnly | QIODevice::Truncate) || snapshot.write(content) != content.size() ||
        !snapshot.flush())
      throw db::Error(QStringLiteral("Cannot write a snapshot of %1: %2").arg(path, snapshot.errorString()));
    return;
  }
  throw db::Error(QStringLiteral("Database file %1 kept changing while it was copied").arg(path));
}

}  // namespace db
