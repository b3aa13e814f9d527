// Small file helpers for the INI and settings tests, and a way to make
// writes fail the way a full disk does.
//
// The tests run as root, and root ignores file permissions, so "cannot
// write" is produced by other means: a size limit on written files
// (RLIMIT_FSIZE applies to root as well) stands for a full disk, and a
// regular file or a folder placed where the other kind is expected stands
// for an unusable path.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <csignal>
#include <sys/resource.h>

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot create %s", qPrintable(path));
  file.write(bytes);
}

inline QByteArray readBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

// While it lives, no file of this process can grow beyond maxBytes: a write
// past the limit fails with EFBIG, as on a full disk.
class FullDisk {
 public:
  explicit FullDisk(rlim_t maxBytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = maxBytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_savedHandler);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

 private:
  rlimit m_saved{};
  void (*m_savedHandler)(int) = nullptr;
};
