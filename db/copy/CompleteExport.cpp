// Copying an export once it is complete.
//
// An attempt reads the whole file, and when its content is new, checks that
// no program holds it open, writes it beside the copy and reads that as a
// whole database; then it waits the quiet time, reads the file again and
// publishes the copy (by renaming it over the old one) only when size, time
// stamp and content hash are still the same. A time stamp alone is not
// trusted: on a CIFS share another client's writes can show their time
// late, and an in-place rewrite keeps the size.
#include "db/copy/CompleteExport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryFile>
#include <QThread>
#include <QHash>
#include <cstdio>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <map>
#include <optional>

#include "db/Database.h"
#include "db/file/JetFile.h"
#include "db/engine/JetStructure.h"
#include "platform/FileIdentity.h"
#include "platform/Folders.h"

namespace db::engine {

namespace {

// How long size, time stamp and content must stay the same before an
// export counts as complete.
constexpr int kQuietMs = 2000;
// A lock file seen unchanged this long, beside a database seen unchanged as
// long, was left behind by a program that crashed; it no longer means the
// file is being written.
constexpr qint64 kStaleLockMs = 30000;
// Tests shorten that time through this variable (milliseconds, below
// kStaleLockMs).
constexpr char kStaleLockVariable[] = "ZOVA_TEST_STALE_LOCK_MS";
// Tests shorten the quiet time through this variable (milliseconds, below
// kQuietMs; anything else keeps kQuietMs).
constexpr char kQuietTimeVariable[] = "ZOVA_TEST_EXPORT_QUIET_MS";

int quietMs() {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(kQuietTimeVariable, &ok);
  return ok && value >= 0 && value < kQuietMs ? value : kQuietMs;
}

// Size and time stamp are looked at this often during the quiet time, so
// that an attempt on a file still being written ends early and the next one
// can start soon after the writer ends.
constexpr int kQuietStepMs = 250;

// Waits `quietMs`; false as soon as the file's size or time stamp differs
// from `state`.
bool staysQuiet(const QString& path, const FileState& state, int quietMs) {
  for (int waited = 0; waited < quietMs; waited += kQuietStepMs) {
    QThread::msleep(static_cast<unsigned long>(qMin(kQuietStepMs, quietMs - waited)));
    if (!(fileStateOf(path) == state)) return false;
  }
  return true;
}

// One reading of the whole file.
struct Reading {
  QByteArray content;
  QByteArray hash;
  FileState state;
  bool steady = false;  // size and time stamp the same before and after, and every byte read
};

CopyResult result(CopyResult::Kind kind, const QString& message, const QByteArray& hash = {}) {
  CopyResult outcome;
  outcome.kind = kind;
  outcome.message = message;
  outcome.hash = hash;
  return outcome;
}

// Reads the file into *reading; the Unreachable result when the file, its
// folder or its content cannot be reached.
std::optional<CopyResult> readExport(const QString& path, Reading* reading) {
  const QFileInfo info(path);
  if (!info.exists()) {
    if (!info.dir().exists())
      return result(CopyResult::Kind::Unreachable,
                    QStringLiteral("The folder %1 of database file %2 does not exist").arg(info.path(), path));
    return result(CopyResult::Kind::Unreachable, QStringLiteral("Database file %1 does not exist").arg(path));
  }
  // Opening a FIFO or a device would block or never end.
  if (!info.isFile())
    return result(CopyResult::Kind::Unreachable, QStringLiteral("Database file %1 is not a file").arg(path));
  const FileState before = fileStateOf(path);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return result(CopyResult::Kind::Unreachable,
                  QStringLiteral("Database file %1 cannot be read: %2").arg(path, file.errorString()));
  reading->content = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return result(CopyResult::Kind::Unreachable,
                  QStringLiteral("Database file %1 cannot be read: %2").arg(path, file.errorString()));
  file.close();
  reading->state = fileStateOf(path);
  reading->steady = before == reading->state && reading->content.size() == reading->state.size;
  reading->hash = QCryptographicHash::hash(reading->content, QCryptographicHash::Sha256);
  return std::nullopt;
}

// A lock file counts as left behind by a crashed program once this process
// has seen it, and the database beside it, unchanged for kStaleLockMs of
// this PC's own steady clock. Their time stamps come from the share's
// server and are never compared with this PC's clock.
class LockSightings {
 public:
  bool isStale(const QString& lock, const FileState& database) {
    const FileState lockState = fileStateOf(lock);
    const QMutexLocker locker(&m_mutex);
    Sighting& seen = m_seen[lock];
    if (!seen.since.isValid() || !(seen.database == database) || !(seen.lock == lockState)) {
      seen.database = database;
      seen.lock = lockState;
      seen.since.start();
      return false;
    }
    return seen.since.elapsed() >= staleLockMs();
  }

 private:
  static qint64 staleLockMs() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(kStaleLockVariable, &ok);
    return ok && value >= 0 && value < kStaleLockMs ? value : kStaleLockMs;
  }

  struct Sighting {
    FileState database;
    FileState lock;
    QElapsedTimer since;
  };
  QMutex m_mutex;
  std::map<QString, Sighting> m_seen;
};

// The lock file Jet keeps beside the database while a program has it open
// (<name>.ldb, or <name>.laccdb for ACE, in any letter case), unless it is
// stale (see LockSightings); empty when there is none.
QString blockingLockFile(const QString& path, const FileState& state) {
  static LockSightings sightings;
  const QFileInfo info(path);
  const QString base = info.completeBaseName();
  const QDir folder = info.dir();
  QString lock;
  for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (entry.compare(base + QLatin1String(".ldb"), Qt::CaseInsensitive) == 0 ||
        entry.compare(base + QLatin1String(".laccdb"), Qt::CaseInsensitive) == 0)
      lock = folder.filePath(entry);
  }
  if (lock.isEmpty()) return {};
  return sightings.isStale(lock, state) ? QString() : lock;
}

// On a network or user-space file system, time stamps of another client's
// writes can show late: there the content is hashed at every tenth poll of
// an unchanged-looking file all the same.
constexpr int kHashEveryNthPoll = 10;

// The identity and hash of the file each path held when it was last found
// complete, so that a poll of a file that did not change costs one stat().
// An identity counts once it is confirmed: seen after the quiet time of a
// copy, or at two polls in a row. (Time stamps are coarse: a write in the
// same clock tick as one look could keep them; it cannot also hide from a
// look a quiet time or a poll later.)
class KnownExports {
 public:
  // True when the file looks as when its content had `hash`.
  bool unchanged(const QString& path, const FileIdentity& now, const QByteArray& hash) {
    const QMutexLocker locker(&m_mutex);
    const auto it = m_known.find(path);
    if (hash.isEmpty() || !now.exists || it == m_known.end() || !it->second.confirmed ||
        it->second.hash != hash || !(it->second.identity == now))
      return false;
    if (it->second.local) return true;
    return ++it->second.polls % kHashEveryNthPoll != 0;
  }
  // Whether the file lies on a local file system; the mount table is read
  // only for a file not seen before on its device.
  bool isLocal(const QString& path, const FileIdentity& identity) {
    {
      const QMutexLocker locker(&m_mutex);
      const auto it = m_known.find(path);
      if (it != m_known.end() && it->second.identity.device == identity.device) return it->second.local;
    }
    return folders::isLocalFileSystem(path);
  }
  // The file had `hash` and looked as `identity` before and after it was
  // read; `quiet`: it had also been unchanged for the quiet time; `local`:
  // what isLocal() said of it.
  void remember(const QString& path, const FileIdentity& identity, const QByteArray& hash, bool quiet, bool local) {
    const QMutexLocker locker(&m_mutex);
    const auto it = m_known.find(path);
    const bool seenBefore = it != m_known.end() && it->second.identity == identity && it->second.hash == hash;
    m_known[path] = {identity, hash, local, quiet || seenBefore, 0};
  }

 private:
  struct Known {
    FileIdentity identity;
    QByteArray hash;
    bool local = false;
    bool confirmed = false;
    int polls = 0;
  };
  QMutex m_mutex;
  std::map<QString, Known> m_known;
};

KnownExports& knownExports() {
  static KnownExports known;
  return known;
}

// On a local file system the kernel tells who writes: the folders of the
// exports are watched (inotify) for writes, closes after writing and files
// renamed into place, from the first attempt on a file for as long as the
// worker lives. With that history an export is known complete without the
// quiet time: renamed into place and not open for writing, at once; written
// in place, once its writer has closed it and a second read a moment later
// gives the same content. Without it (the first attempt, a lost event
// queue, a share or a user-space file system, where other clients' writes
// are not seen) the quiet time decides.
class WriteWatch {
 public:
  enum class Writer {
    Unknown,    // no history: the quiet time decides
    Writing,    // written since its last close after writing
    Closed,     // closed after its last write, or untouched since watched
  };

  WriteWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
  ~WriteWatch() {
    if (m_fd >= 0) ::close(m_fd);
  }
  WriteWatch(const WriteWatch&) = delete;
  WriteWatch& operator=(const WriteWatch&) = delete;

  // Watches the file's folder (from now on) and reads what happened since
  // the last look. The writer is Unknown at the first look at a file.
  Writer look(const QString& path) {
    const QMutexLocker locker(&m_mutex);
    if (m_fd < 0) return Writer::Unknown;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!m_folders.contains(folder)) {
      const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                                         IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE);
      if (wd < 0) return Writer::Unknown;
      m_folders.insert(folder, wd);
      m_byWatch.insert(wd, folder);
    }
    drain();
    File& file = m_files[info.absoluteFilePath()];
    if (!file.watched) {
      file = File{};
      file.watched = true;
      return Writer::Unknown;
    }
    return file.writing ? Writer::Writing : Writer::Closed;
  }
  // Events seen for the file so far; a read is whole only when this did not
  // move while it ran.
  quint64 generation(const QString& path) {
    const QMutexLocker locker(&m_mutex);
    drain();
    return m_files[QFileInfo(path).absoluteFilePath()].generation;
  }
  // True when the file was renamed into place since the last look that
  // copied it (cleared by copied()).
  bool renamedIn(const QString& path) {
    const QMutexLocker locker(&m_mutex);
    return m_files[QFileInfo(path).absoluteFilePath()].renamedIn;
  }
  void copied(const QString& path) {
    const QMutexLocker locker(&m_mutex);
    m_files[QFileInfo(path).absoluteFilePath()].renamedIn = false;
  }
  // Waits up to `ms` for the writer to close the file; true when it did.
  bool waitForClose(const QString& path, int ms) {
    QElapsedTimer waited;
    waited.start();
    const QString name = QFileInfo(path).absoluteFilePath();
    for (;;) {
      {
        const QMutexLocker locker(&m_mutex);
        drain();
        const File& file = m_files[name];
        if (!file.watched) return false;
        if (!file.writing) return true;
      }
      const qint64 left = ms - waited.elapsed();
      if (left <= 0) return false;
      pollfd ready{m_fd, POLLIN, 0};
      ::poll(&ready, 1, static_cast<int>(qMin<qint64>(left, 100)));
    }
  }

 private:
  struct File {
    bool watched = false;    // the history starts at the first look
    bool writing = false;
    bool renamedIn = false;
    quint64 generation = 0;
  };

  void drain() {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          // Events were lost: every history starts again.
          m_files.clear();
          continue;
        }
        if (event->mask & IN_IGNORED) {
          m_folders.remove(m_byWatch.take(event->wd));
          continue;
        }
        if (event->len == 0 || !m_byWatch.contains(event->wd)) continue;
        const QString name = m_byWatch.value(event->wd) + u'/' + QFile::decodeName(event->name);
        const auto it = m_files.find(name);
        if (it == m_files.end() || !it->watched) continue;
        ++it->generation;
        if (event->mask & IN_MODIFY) {
          it->writing = true;
          it->renamedIn = false;
        }
        if (event->mask & IN_CLOSE_WRITE) it->writing = false;
        // A name that appears - renamed into place, or linked to a file
        // written without a name (O_TMPFILE) - is a whole file; one created
        // to be written brings its writes after it.
        if (event->mask & (IN_MOVED_TO | IN_CREATE)) {
          it->writing = false;
          it->renamedIn = true;
        }
        if (event->mask & IN_DELETE) it->renamedIn = false;
      }
    }
  }

  int m_fd = -1;
  QMutex m_mutex;
  QHash<QString, int> m_folders;
  QHash<int, QString> m_byWatch;
  QHash<QString, File> m_files;
};

WriteWatch& writeWatch() {
  static WriteWatch watch;
  return watch;
}

// How long an attempt waits for the writer of a local export to close it
// before it gives the file up as being written (the keeper tries again).
constexpr int kWaitForCloseMs = 3000;
// After the close, the file is read again this much later and must give the
// same content: a writer that closes and opens again at once is still writing.
constexpr int kAfterCloseMs = 200;

// The copy being made: a file beside the copy path that replaces it only
// when published, and is removed otherwise.
class PendingCopy {
 public:
  explicit PendingCopy(const QString& copyPath)
      : m_copyPath(copyPath), m_file(copyPath + QStringLiteral(".part-XXXXXX")) {}
  ~PendingCopy() {
    if (!m_published && !m_file.fileName().isEmpty()) QFile::remove(m_file.fileName());
  }
  PendingCopy(const PendingCopy&) = delete;
  PendingCopy& operator=(const PendingCopy&) = delete;

  // Writes the content; false with errorString() on failure.
  bool write(const QByteArray& content) {
    m_file.setAutoRemove(false);
    if (!m_file.open() || m_file.write(content) != content.size() || !m_file.flush()) return false;
    m_file.close();
    return true;
  }
  // Renames the written file over the copy path (one step: a reader of the
  // copy sees the old or the new copy, never a part of it).
  bool publish() {
    m_published = std::rename(QFile::encodeName(m_file.fileName()).constData(),
                              QFile::encodeName(m_copyPath).constData()) == 0;
    return m_published;
  }
  QString path() const { return m_file.fileName(); }
  QString errorString() const { return m_file.errorString(); }

 private:
  QString m_copyPath;
  QTemporaryFile m_file;
  bool m_published = false;
};

CopyResult attemptCopy(const QString& path, const QString& copyPath, const QByteArray& previousHash) {
  using Kind = CopyResult::Kind;
  using Writer = WriteWatch::Writer;
  const FileIdentity identity = FileIdentity::of(path);
  if (knownExports().unchanged(path, identity, previousHash)) return result(Kind::Unchanged, {}, previousHash);
  const bool local = identity.exists && knownExports().isLocal(path, identity);
  Writer writer = local ? writeWatch().look(path) : Writer::Unknown;
  if (writer == Writer::Writing) {
    if (!writeWatch().waitForClose(path, kWaitForCloseMs))
      return result(Kind::Incomplete, QStringLiteral("Database file %1 is being written (open for writing)").arg(path));
    writer = Writer::Closed;
  }
  const quint64 generation = local ? writeWatch().generation(path) : 0;
  Reading first;
  if (const auto failed = readExport(path, &first)) return *failed;
  if (!first.steady)
    return result(Kind::Incomplete, QStringLiteral("Database file %1 is being written (it changed while it was read)").arg(path));
  if (!previousHash.isEmpty() && first.hash == previousHash) {
    // Remembered only when the file looked the same before and after the read.
    if (FileIdentity::of(path) == identity) knownExports().remember(path, identity, first.hash, false, local);
    return result(Kind::Unchanged, {}, first.hash);
  }
  if (first.content.isEmpty()) return result(Kind::Incomplete, QStringLiteral("Database file %1 is empty").arg(path));
  const auto locked = [&](const FileState& state) -> std::optional<CopyResult> {
    const QString lock = blockingLockFile(path, state);
    if (lock.isEmpty()) return std::nullopt;
    return result(Kind::Incomplete,
                  QStringLiteral("Database file %1 is open in another program (lock file %2)").arg(path, lock));
  };
  if (const auto busy = locked(first.state)) return *busy;

  PendingCopy copy(copyPath);
  if (!copy.write(first.content))
    return result(Kind::Unreachable, QStringLiteral("Cannot write the copy %1 of %2: %3").arg(copyPath, path, copy.errorString()));
  try {
    checkWholeDatabase(copy.path());
  } catch (const db::Error& error) {
    // The hash tells the caller whether a later refusal is of the same,
    // unchanged file (an export cut short stays so until the next one).
    return result(Kind::Incomplete, error.message().replace(copy.path(), path), first.hash);
  }

  // A closed local file that nobody touched while it was read: renamed into
  // place it is complete now; written in place, once a second read a moment
  // later gives the same. Otherwise the quiet time.
  const bool untouched = writer == Writer::Closed && writeWatch().generation(path) == generation;
  const bool renamed = untouched && writeWatch().renamedIn(path);
  const int quiet = untouched ? (renamed ? 0 : kAfterCloseMs) : quietMs();
  if (!renamed) {
    if (!staysQuiet(path, first.state, quiet))
      return result(Kind::Incomplete,
                    QStringLiteral("Database file %1 is being written (it changed within %2 ms)").arg(path).arg(quiet));
    Reading second;
    if (const auto failed = readExport(path, &second)) return *failed;
    if (!second.steady || !(second.state == first.state) || second.hash != first.hash ||
        (untouched && writeWatch().generation(path) != generation))
      return result(Kind::Incomplete,
                    QStringLiteral("Database file %1 is being written (it changed within %2 ms)").arg(path).arg(quiet));
    if (const auto busy = locked(second.state)) return *busy;
  }
  if (!copy.publish())
    return result(Kind::Unreachable, QStringLiteral("Cannot replace the copy %1 of %2").arg(copyPath, path));
  if (local) writeWatch().copied(path);
  if (FileIdentity::of(path) == identity) knownExports().remember(path, identity, first.hash, true, local);
  return result(Kind::Copied, {}, first.hash);
}

}  // namespace

CopyResult copyCompleteExport(const QString& path, const QString& copyPath, const QByteArray& previousHash) {
  try {
    return attemptCopy(path, copyPath, previousHash);
  } catch (const std::exception& error) {
    return result(CopyResult::Kind::Incomplete,
                  QStringLiteral("Database file %1 could not be checked: %2").arg(path, QString::fromLocal8Bit(error.what())));
  }
}

}  // namespace db::engine
