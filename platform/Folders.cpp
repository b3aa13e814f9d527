// Per-user and program folders on Linux.
#include "platform/Folders.h"

#include <QDir>
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

}  // namespace folders
