// Header check and snapshot copy of Jet database files.
#include "db/JetFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include "db/Database.h"

namespace db {

namespace {

constexpr int kHeaderBytes = 0x15;
constexpr int kVersionOffset = 0x14;
constexpr int kSnapshotAttempts = 5;
constexpr int kSnapshotPauseMs = 100;

struct FileState {
  qint64 size = -1;
  QDateTime modified;
  bool operator==(const FileState&) const = default;
};

FileState stateOf(const QString& path) {
  QFileInfo info(path);
  info.setCaching(false);
  if (!info.exists()) return {};
  return {info.size(), info.lastModified()};
}

}  // namespace

JetVersion checkJetFile(const QString& path) {
  QFileInfo info(path);
  if (!info.exists()) throw db::Error(QStringLiteral("Database file %1 does not exist").arg(path));
  if (!info.isFile()) throw db::Error(QStringLiteral("Database file %1 is not a file").arg(path));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw db::Error(QStringLiteral("Database file %1 cannot be read: %2").arg(path, file.errorString()));
  const QByteArray header = file.read(kHeaderBytes);
  if (header.size() < kHeaderBytes || !header.startsWith(QByteArray("\x00\x01\x00\x00", 4)))
    throw db::Error(QStringLiteral("%1 is not a Jet (Access) database").arg(path));
  const QByteArray signature = header.mid(4, 16);
  const quint8 version = static_cast<quint8>(header[kVersionOffset]);
  if (signature == QByteArray("Standard Jet DB\0", 16)) {
    if (version == 0) return JetVersion::Jet3;
    if (version == 1) return JetVersion::Jet4;
  } else if (signature == QByteArray("Standard ACE DB\0", 16)) {
    if (version >= 2 && version <= 6) return JetVersion::Ace;
  } else {
    throw db::Error(QStringLiteral("%1 is not a Jet (Access) database").arg(path));
  }
  throw db::Error(QStringLiteral("%1 has an unknown Jet version (%2)").arg(path).arg(version));
}

QString takeSnapshot(const QString& path, const QString& folder) {
  for (int attempt = 0; attempt < kSnapshotAttempts; ++attempt) {
    if (attempt > 0) QThread::msleep(kSnapshotPauseMs);
    const FileState before = stateOf(path);
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
      throw db::Error(QStringLiteral("Database file %1 cannot be read: %2").arg(path, original.errorString()));
    const QByteArray content = original.readAll();
    original.close();
    const FileState after = stateOf(path);
    if (!(before == after) || content.size() != after.size) continue;

    QTemporaryFile snapshot(folder + QStringLiteral("/zova-db-snapshot-XXXXXX.mdb"));
    snapshot.setAutoRemove(false);
    if (!snapshot.open() || snapshot.write(content) != content.size() || !snapshot.flush()) {
      const QString why = snapshot.errorString();
      snapshot.remove();
      throw db::Error(QStringLiteral("Cannot write a snapshot of %1: %2").arg(path, why));
    }
    return snapshot.fileName();
  }
  throw db::Error(QStringLiteral("Database file %1 kept changing while it was copied").arg(path));
}

}  // namespace db
