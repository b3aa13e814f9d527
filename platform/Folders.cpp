// Per-user and program folders on Linux.
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace folders {

QString withTrailingSeparator(const QString& path) {
  if (path.isEmpty() || path.endsWith('/')) return path;
  return path + '/';
}

QString applicationDataFolder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + "/.config";
  return withTrailingSeparator(QDir(base).absolutePath());
}

QString programFolder() {
  // /proc/self/exe names the program file even before a QCoreApplication exists.
  const QFileInfo exe(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
  return withTrailingSeparator(exe.absolutePath());
}

bool createFolder(const QString& path) { return QDir().mkpath(path) && QFileInfo(path).isDir(); }

QString fileSystemType(const QString& path) {
  QFile table(QStringLiteral("/proc/self/mountinfo"));
  if (!table.open(QIODevice::ReadOnly)) return {};
  const QString target = QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
  QString type;
  qsizetype longest = -1;
  // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": the
  // fifth field is the mount point (spaces and the like as \ooo), the field
  // after " - " the type. The last of equal mount points is the one on top.
  for (const QByteArray& line : table.readAll().split('\n')) {
    const QList<QByteArray> fields = line.split(' ');
    const qsizetype separator = fields.indexOf("-");
    if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size()) continue;
    QByteArray point;
    const QByteArray& escaped = fields[4];
    for (qsizetype i = 0; i < escaped.size(); ++i) {
      if (escaped[i] == '\\' && i + 3 < escaped.size()) {
        point += static_cast<char>(escaped.mid(i + 1, 3).toInt(nullptr, 8));
        i += 3;
      } else {
        point += escaped[i];
      }
    }
    const QString mountPoint = QString::fromLocal8Bit(point);
    const bool holds = mountPoint == QLatin1String("/") || target == mountPoint ||
                       target.startsWith(mountPoint + u'/');
    if (holds && mountPoint.size() >= longest) {
      longest = mountPoint.size();
      type = QString::fromLocal8Bit(fields[separator + 1]);
    }
  }
  return type;
}

FileSystemKind fileSystemKind(const QString& path) {
  const QString type = fileSystemType(path).toLower();
  if (type.isEmpty()) return FileSystemKind::Unknown;
  for (const char* remote : {"nfs", "cifs", "smb", "fuse", "9p", "afs", "ncpfs"})
    if (type.startsWith(QLatin1String(remote))) return FileSystemKind::Remote;
  return FileSystemKind::Local;
}

bool isLocalFileSystem(const QString& path) { return fileSystemKind(path) != FileSystemKind::Remote; }

}  // namespace folders
