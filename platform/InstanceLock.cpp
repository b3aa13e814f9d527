// The lock on the settings folder (see InstanceLock.h), with flock(2).
#include "platform/InstanceLock.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::InstanceLock(const QString& folder)
    : m_filePath(folder + QStringLiteral("Zova-Monitor.lock")) {
  const QByteArray path = QFile::encodeName(m_filePath);
  // An existing lock file is only opened, never written: a second monitor
  // leaves the folder exactly as it found it. flock needs no write access,
  // so a lock file that belongs to someone else still guards the folder.
  m_fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (m_fd < 0) {
    m_reason = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
    m_state = State::Acquired;
    return;
  }
  const int error = errno;
  ::close(m_fd);
  m_fd = -1;
  if (error == EWOULDBLOCK) {
    m_state = State::HeldByOther;
  } else {
    m_reason = QString::fromLocal8Bit(std::strerror(error));
  }
}

InstanceLock::~InstanceLock() {
  if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}
