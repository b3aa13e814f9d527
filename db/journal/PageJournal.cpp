// Rollback journal and page-wise write-back for updates of shared files.
#include "db/journal/PageJournal.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QVector>
#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "db/Database.h"
#include "db/file/JetFile.h"
#include "jet/format/JetPages.h"
#include "platform/Folders.h"
#include "platform/Logging.h"

namespace db::engine {

namespace {

// Journals of this version hold each page's bytes before and after the
// update; those of the first held only the bytes before.
const QByteArray kJournalMagic("ZOVAJNL2");
const QByteArray kJournalMagicBeforeOnly("ZOVAJNL1");
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
constexpr int kHashBytes = 32;  // SHA-256 of everything before it
// Runs of read - change - write when another program changes the file meanwhile.
constexpr int kAttempts = 3;
// The unit a disk writes at once: a page cut short by a crash is a mix of
// whole sectors written and not written.
constexpr int kSectorBytes = 512;
// How long an update waits for the lock on the shared file.
constexpr int kLockWaitMs = 3000;

// ------------------------------------------------------------------ faults

struct Fault {
  enum class Kind { None, KillAfterPage, FailPage, FailJournal, ShrinkBeforePage, ReadOnlyFile, SlowPages };
  Kind kind = Kind::None;
  int page = 0;
};

Fault faultFromEnvironment() {
  const QString text = qEnvironmentVariable("ZOVA_DB_WORKER_FAULT");
  if (text.isEmpty()) return {};
  if (text == QLatin1String("fail-journal")) return {Fault::Kind::FailJournal, 0};
  if (text == QLatin1String("read-only-file")) return {Fault::Kind::ReadOnlyFile, 0};
  const QString name = text.section(u':', 0, 0);
  bool ok = false;
  const int page = text.section(u':', 1).toInt(&ok);
  if (!ok || page < 0) return {};
  if (name == QLatin1String("kill-after-page")) return {Fault::Kind::KillAfterPage, page};
  if (name == QLatin1String("fail-page") && page > 0) return {Fault::Kind::FailPage, page};
  if (name == QLatin1String("shrink-before-page") && page > 0) return {Fault::Kind::ShrinkBeforePage, page};
  if (name == QLatin1String("slow-pages") && page > 0) return {Fault::Kind::SlowPages, page};
  return {};
}

void killIfDue(const Fault& fault, int pagesWritten) {
  if (fault.kind == Fault::Kind::KillAfterPage && fault.page == pagesWritten) ::raise(SIGKILL);
}

// ----------------------------------------------------------- file helpers

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// What a failed system call means for the caller.
db::Error::Kind kindOf(int error) {
  switch (error) {
    case EROFS:
    case EACCES:
    case EPERM: return db::Error::Kind::ReadOnly;
    case ENOSPC:
    case EDQUOT: return db::Error::Kind::NoSpace;
    case ETIMEDOUT: return db::Error::Kind::NoAnswer;
    default: return db::Error::Kind::Other;
  }
}

// Closes the descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

bool writeAt(int fd, qint64 offset, const char* data, qint64 size) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(size), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    offset += n;
    size -= n;
  }
  return true;
}

// The bytes at offset; shorter at the end of the file, null on a read error.
QByteArray readAt(int fd, qint64 offset, qint64 size) {
  QByteArray bytes(size, Qt::Uninitialized);
  qint64 done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, bytes.data() + done, static_cast<size_t>(size - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {};
    if (n == 0) break;
    done += n;
  }
  bytes.truncate(done);
  return bytes;
}

qint64 sizeOf(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 ? static_cast<qint64>(info.st_size) : -1;
}

bool syncFolder(const QString& folder) {
  const Descriptor fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

QString fileKey(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString fileStem(const QString& path) {
  return journalFolder() +
         QString::fromLatin1(QCryptographicHash::hash(fileKey(path).toUtf8(), QCryptographicHash::Sha1).toHex());
}

// Holds the lock of the journal folder: one update or recovery at a time.
class FolderLock {
 public:
  FolderLock() {
    const QString folder = journalFolder();
    if (!folders::createFolder(folder))
      throw db::Error(QStringLiteral("The journal folder %1 cannot be created").arg(folder));
    m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (m_fd < 0) throw db::Error(QStringLiteral("The journal folder %1 cannot be opened: %2").arg(folder, systemError(errno)));
    while (::flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        ::close(m_fd);
        throw db::Error(QStringLiteral("The journal folder %1 cannot be locked: %2").arg(folder, systemError(error)));
      }
    }
  }
  ~FolderLock() { ::close(m_fd); }  // closing releases the lock
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int m_fd = -1;
};

// Holds the write lock on the shared file itself, which every writer of
// ours takes, whatever its journal folder, around reading the file, the
// journal, the page writes and their flush; open for reading and writing
// through the descriptor every access under the lock uses.
//
// The lock is an exclusive fcntl lock on the byte range in which Jet places
// its page write locks (0x20000000 + 256 * page, "extended byte range locks"
// beyond the end of the file, which lock no data; Jet 3.x's convention, as
// its locking white paper describes it): all of it, so it conflicts with our
// other writers on every machine and with any Jet 3.x write lock on any page
// that the server carries to us. A CIFS mount (unless mounted with nobrl)
// carries fcntl locks to the server as SMB byte-range locks, where they
// conflict with those of the other clients. What it does not do: keep out
// a writer that takes no lock (an fcntl lock is advisory among POSIX
// processes; a CIFS mount with nobrl keeps it local), or the issuing
// program's Jet 4 engine, whose write locks lie elsewhere and which also
// relies on its .ldb file and on pages it has cached; those writes are
// caught only by comparing the file with what the update started from.
//
// An open file description lock (F_OFD_SETLK) belongs to this descriptor
// alone; where the kernel or file system refuses those, the classic
// process-wide lock is taken, which is as good here because nothing in the
// worker opens or closes the file while the lock is held.
class SharedFileLock {
 public:
  SharedFileLock(const QString& path, const Fault& fault) {
    m_fd = fault.kind == Fault::Kind::ReadOnlyFile ? -1 : ::open(QFile::encodeName(path).constData(), O_RDWR);
    const int openError = fault.kind == Fault::Kind::ReadOnlyFile ? EROFS : errno;
    if (m_fd < 0)
      throw db::Error(QStringLiteral("Database file %1 cannot be written: %2").arg(path, systemError(openError)),
                      kindOf(openError));
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = kJetWriteLockStart;
    range.l_len = kJetWriteLockLength;
    int command = F_OFD_SETLK;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
      if (::fcntl(m_fd, command, &range) == 0) return;
      const int error = errno;
      if (error == EINVAL && command == F_OFD_SETLK) {
        command = F_SETLK;
        continue;
      }
      if (error != EINTR && error != EAGAIN && error != EACCES) {
        ::close(m_fd);
        throw db::Error(QStringLiteral("Database file %1 cannot be locked for writing: %2").arg(path, systemError(error)),
                        error == ENOLCK ? db::Error::Kind::Other : kindOf(error));
      }
      if (waited.elapsed() >= kLockWaitMs) {
        ::close(m_fd);
        throw db::Error(QStringLiteral("Database file %1 is held by another program (its write lock was not free "
                                       "within %2 s)")
                            .arg(path)
                            .arg(kLockWaitMs / 1000),
                        db::Error::Kind::NoAnswer);
      }
      ::usleep(5000);
    }
  }
  ~SharedFileLock() { ::close(m_fd); }  // closing releases the lock
  SharedFileLock(const SharedFileLock&) = delete;
  SharedFileLock& operator=(const SharedFileLock&) = delete;
  int fd() const { return m_fd; }

  // The range Jet's page write locks use (see above).
  static constexpr off_t kJetWriteLockStart = jet::format::kWriteLockRangeStart;
  static constexpr off_t kJetWriteLockLength = jet::format::kWriteLockRangeLength;

 private:
  int m_fd = -1;
};

// --------------------------------------------------------------- journal

struct Journal {
  QString path;        // the file's key (fileKey)
  qint64 fileSize = 0;
  QVector<qint64> offsets;
  QVector<QByteArray> pages;  // original bytes, one per offset
  QVector<QByteArray> after;  // the bytes the update writes, one per offset (empty in a first-version journal)
};

QByteArray encodeJournal(const Journal& journal) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setVersion(kStreamVersion);
  out.writeRawData(kJournalMagic.constData(), kJournalMagic.size());
  out << journal.path << journal.fileSize << static_cast<quint32>(journal.offsets.size());
  for (int i = 0; i < journal.offsets.size(); ++i) out << journal.offsets[i] << journal.pages[i] << journal.after[i];
  return bytes + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Null for a journal that is not complete and intact.
std::optional<Journal> decodeJournal(const QByteArray& bytes) {
  const bool withAfter = bytes.startsWith(kJournalMagic);
  if (bytes.size() < kJournalMagic.size() + kHashBytes || !(withAfter || bytes.startsWith(kJournalMagicBeforeOnly)))
    return std::nullopt;
  const QByteArray body = bytes.left(bytes.size() - kHashBytes);
  if (QCryptographicHash::hash(body, QCryptographicHash::Sha256) != bytes.right(kHashBytes)) return std::nullopt;
  QDataStream in(body);
  in.setVersion(kStreamVersion);
  in.skipRawData(kJournalMagic.size());
  Journal journal;
  quint32 count = 0;
  in >> journal.path >> journal.fileSize >> count;
  if (in.status() != QDataStream::Ok || count > static_cast<quint32>(body.size())) return std::nullopt;
  for (quint32 i = 0; i < count; ++i) {
    qint64 offset = 0;
    QByteArray page, after;
    in >> offset >> page;
    if (withAfter) in >> after;
    if (in.status() != QDataStream::Ok || offset < 0 || offset + page.size() > journal.fileSize ||
        (withAfter && after.size() != page.size()))
      return std::nullopt;
    journal.offsets.append(offset);
    journal.pages.append(page);
    if (withAfter) journal.after.append(after);
  }
  if (!in.atEnd()) return std::nullopt;
  return journal;
}

// Writes the journal under a temporary name, flushes it and renames it into
// place, so that a journal under its own name is always complete.
void writeJournal(const QString& journalFile, const Journal& journal, const Fault& fault) {
  const QString temporary = journalFile + QStringLiteral(".tmp");
  const QByteArray bytes = encodeJournal(journal);
  const Descriptor fd(::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
  bool ok = fd.get() >= 0;
  int error = ok ? 0 : errno;
  if (ok && fault.kind == Fault::Kind::FailJournal) {
    ok = false;
    error = ENOSPC;
  }
  if (ok && !(writeAt(fd.get(), 0, bytes.constData(), bytes.size()) && ::fsync(fd.get()) == 0)) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(journalFile).constData()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    QFile::remove(temporary);
    throw db::Error(QStringLiteral("The journal %1 cannot be written: %2").arg(journalFile, systemError(error)),
                    kindOf(error));
  }
  if (!syncFolder(journalFolder()))
    throw db::Error(QStringLiteral("The journal folder %1 cannot be flushed").arg(journalFolder()));
}

void removeJournal(const QString& journalFile) {
  QFile::remove(journalFile);
  syncFolder(journalFolder());
}

// True when `now` is what a write of `after` over `before` can have left:
// each sector as it was before or as it was to be. Anything else on the
// page was written by someone else since.
bool beforeOrAfterBySector(const QByteArray& now, const QByteArray& before, const QByteArray& after) {
  if (now.size() != before.size() || after.size() != before.size()) return false;
  for (qsizetype at = 0; at < now.size(); at += kSectorBytes) {
    const qsizetype n = qMin<qsizetype>(kSectorBytes, now.size() - at);
    if (std::memcmp(now.constData() + at, before.constData() + at, n) != 0 &&
        std::memcmp(now.constData() + at, after.constData() + at, n) != 0)
      return false;
  }
  return true;
}

// Recovery with the folder lock and the file's lock (`fd`) held. A page is
// written back only while it holds what this writer's update left there (the
// after-image, or a mix of before and after sectors); a page another writer
// has changed since keeps that writer's content, and the journal is dropped.
// A journal of the first version, without after-images, is played back as
// it stands.
void recoverLocked(const QString& path, int fd) {
  const QString journalFile = journalFileFor(path);
  QFile::remove(journalFile + QStringLiteral(".tmp"));  // never in force: no page was written after it
  if (!QFileInfo::exists(journalFile)) return;
  QFile file(journalFile);
  if (!file.open(QIODevice::ReadOnly))
    throw db::Error(QStringLiteral("The journal %1 of %2 cannot be read: %3").arg(journalFile, path, file.errorString()));
  const std::optional<Journal> journal = decodeJournal(file.readAll());
  file.close();
  // A journal only comes into force complete (it is renamed into place);
  // anything else under its name was never followed by a page write.
  if (!journal || journal->path != fileKey(path)) {
    removeJournal(journalFile);
    return;
  }
  if (sizeOf(fd) != journal->fileSize) {
    // Another program has replaced the file since; its content is not ours to undo.
    removeJournal(journalFile);
    return;
  }
  auto cannotUndo = [&](int error) {
    return db::Error(QStringLiteral("An interrupted update of %1 cannot be undone yet: %2").arg(path, systemError(error)),
                     kindOf(error));
  };
  int leftAlone = 0;
  for (int i = 0; i < journal->offsets.size(); ++i) {
    const QByteArray& page = journal->pages[i];
    const QByteArray now = readAt(fd, journal->offsets[i], page.size());
    if (now.isNull()) throw cannotUndo(errno);
    if (now == page) continue;
    if (!journal->after.isEmpty() && !beforeOrAfterBySector(now, page, journal->after[i])) {
      ++leftAlone;
      continue;
    }
    if (!writeAt(fd, journal->offsets[i], page.constData(), page.size())) throw cannotUndo(errno);
  }
  if (::fsync(fd) != 0) throw cannotUndo(errno);
  if (leftAlone > 0)
    qCWarning(lcDb).noquote() << "Interrupted update of" << path << "undone except for" << leftAlone
                              << "page(s) another writer has changed since; their content is kept and the journal dropped";
  removeJournal(journalFile);
}

// Thrown when the shared file no longer holds what the update started from;
// nothing has been written then.
struct ChangedMeanwhile : db::Error {
  using db::Error::Error;
};

// Puts the original bytes back into the first `started` pages where they
// still hold what this update wrote, and into the page whose write failed
// halfway (`failed`, or -1). A page someone else wrote since is theirs and
// stays; nothing is written past the end of the file. False when a write
// fails (the journal must then stay for the next operation).
bool undoPages(int fd, const Journal& journal, int started, int failed) {
  bool ok = true;
  const qint64 size = sizeOf(fd);
  for (int i = 0; i < started; ++i) {
    const qint64 offset = journal.offsets[i];
    const QByteArray& original = journal.pages[i];
    if (offset + original.size() > size) continue;
    const QByteArray now = readAt(fd, offset, original.size());
    if (now == original || (i != failed && now != journal.after[i])) continue;
    ok = writeAt(fd, offset, original.constData(), original.size()) && ok;
  }
  return ::fsync(fd) == 0 && ok;
}

// The page write with the folder lock and the file's lock (`fd`) held.
void writePagesLocked(const QString& path, int fd, const QByteArray& original, const QByteArray& updated,
                      int pageSize) {
  assert(original.size() == updated.size() && pageSize > 0);
  Journal journal;
  journal.path = fileKey(path);
  journal.fileSize = original.size();
  for (qint64 offset = 0; offset < original.size(); offset += pageSize) {
    const QByteArray before = original.mid(offset, pageSize);
    const QByteArray after = updated.mid(offset, pageSize);
    if (before == after) continue;
    journal.offsets.append(offset);
    journal.pages.append(before);
    journal.after.append(after);
  }
  if (journal.offsets.isEmpty()) return;

  if (sizeOf(fd) != original.size() || readAt(fd, 0, original.size()) != original)
    throw ChangedMeanwhile(QStringLiteral("Database file %1 changed while it was being updated").arg(path));

  const Fault fault = faultFromEnvironment();
  const QString journalFile = journalFileFor(path);
  writeJournal(journalFile, journal, fault);
  killIfDue(fault, 0);
  if (fault.kind == Fault::Kind::SlowPages) ::usleep(static_cast<useconds_t>(fault.page) * 1000);

  int started = 0;
  auto fail = [&](const QString& why, db::Error::Kind kind, int failed = -1) {
    if (undoPages(fd, journal, started, failed)) {
      removeJournal(journalFile);
      return db::Error(QStringLiteral("Update of %1 failed and was undone: %2").arg(path, why), kind);
    }
    return db::Error(QStringLiteral("Update of %1 failed (%2); it is undone at the next access").arg(path, why), kind);
  };
  const QVector<QByteArray>& newPages = journal.after;
  for (int i = 0; i < newPages.size(); ++i) {
    if (fault.kind == Fault::Kind::ShrinkBeforePage && fault.page == i + 1 &&
        ::ftruncate(fd, qMax<qint64>(0, original.size() - pageSize)) != 0)
      throw fail(systemError(errno), kindOf(errno));
    if (sizeOf(fd) != original.size())
      throw fail(QStringLiteral("another program changed the file's size"), db::Error::Kind::Other);
    ++started;
    const bool failNow = fault.kind == Fault::Kind::FailPage && fault.page == i + 1;
    if (failNow || !writeAt(fd, journal.offsets[i], newPages[i].constData(), newPages[i].size())) {
      const int error = failNow ? ENOSPC : errno;
      throw fail(systemError(error), kindOf(error), i);
    }
    killIfDue(fault, i + 1);
  }
  if (::fsync(fd) != 0) throw fail(systemError(errno), kindOf(errno));
  for (int i = 0; i < newPages.size(); ++i)
    if (readAt(fd, journal.offsets[i], newPages[i].size()) != newPages[i])
      throw fail(QStringLiteral("a page did not read back as written"), db::Error::Kind::Other);
  removeJournal(journalFile);
}

// The whole file through the locked descriptor.
QByteArray readWholeFile(const QString& path, int fd) {
  const qint64 size = sizeOf(fd);
  const QByteArray bytes = size < 0 ? QByteArray() : readAt(fd, 0, size);
  if (size < 0 || bytes.isNull() || bytes.size() != size)
    throw db::Error(QStringLiteral("Database file %1 cannot be read: %2").arg(path, systemError(errno)), kindOf(errno));
  return bytes;
}

}  // namespace

QString journalFolder() {
  return folders::applicationDataFolder() + QStringLiteral("Kelvaro/Zova-Monitor/Journal/");
}

QString journalFileFor(const QString& path) { return fileStem(path) + QStringLiteral(".journal"); }

void recoverInterruptedUpdate(const QString& path) {
  // Nearly every operation finds no journal at all; the local folder is
  // looked at before the path is resolved, which may ask a file share.
  if (QDir(journalFolder()).isEmpty(QDir::Files)) return;
  const QString journalFile = journalFileFor(path);
  if (!QFileInfo::exists(journalFile) && !QFileInfo::exists(journalFile + QStringLiteral(".tmp"))) return;
  const FolderLock lock;
  const SharedFileLock fileLock(path, faultFromEnvironment());
  recoverLocked(path, fileLock.fd());
}

void writePagesThroughJournal(const QString& path, const QByteArray& original, const QByteArray& updated,
                              int pageSize) {
  const FolderLock lock;
  const SharedFileLock fileLock(path, faultFromEnvironment());
  recoverLocked(path, fileLock.fd());
  writePagesLocked(path, fileLock.fd(), original, updated, pageSize);
}

void updateThroughJournal(const QString& path, const std::function<void(const QString& scratchPath)>& change) {
  const int pageSize = jet::format::pageSizeOf(checkJetFile(path));
  const FolderLock lock;
  const SharedFileLock fileLock(path, faultFromEnvironment());
  recoverLocked(path, fileLock.fd());
  const QString scratch = fileStem(path) + QStringLiteral(".scratch");
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const QByteArray original = readWholeFile(path, fileLock.fd());
    QByteArray updated;
    try {
      QFile copy(scratch);
      if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(original) != original.size() ||
          !copy.flush())
        throw db::Error(QStringLiteral("A scratch copy of %1 cannot be written: %2").arg(path, copy.errorString()),
                        copy.error() == QFileDevice::ResourceError ? db::Error::Kind::NoSpace : db::Error::Kind::Other);
      copy.close();
      change(scratch);
      QFile result(scratch);
      if (!result.open(QIODevice::ReadOnly))
        throw db::Error(QStringLiteral("The scratch copy of %1 cannot be read: %2").arg(path, result.errorString()));
      updated = result.readAll();
      QFile::remove(scratch);
    } catch (const db::Error& error) {
      QFile::remove(scratch);
      QString message = error.message();
      throw db::Error(message.replace(scratch, path), error.kind());
    }
    if (updated.size() != original.size())
      throw db::Error(QStringLiteral("Update of %1 refused: it would change the size of the file").arg(path));
    try {
      writePagesLocked(path, fileLock.fd(), original, updated, pageSize);
      return;
    } catch (const ChangedMeanwhile&) {
      // Run the change again on the file as it is now.
    }
  }
  throw db::Error(QStringLiteral("Database file %1 kept changing while it was being updated").arg(path));
}

}  // namespace db::engine
