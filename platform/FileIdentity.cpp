// File identities from stat().
#include "platform/FileIdentity.h"

#include <QFile>
#include <sys/stat.h>

FileIdentity FileIdentity::of(const QString& path) {
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) != 0) return {};
  return of(status);
}

FileIdentity FileIdentity::of(const struct stat& status) {
  if (!S_ISREG(status.st_mode)) return {};
  return {true,
          status.st_size,
          qint64{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec,
          qint64{status.st_ctim.tv_sec} * 1000000000 + status.st_ctim.tv_nsec,
          static_cast<quint64>(status.st_ino),
          static_cast<quint64>(status.st_dev)};
}
