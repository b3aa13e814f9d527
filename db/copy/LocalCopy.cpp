// Keeping the private copy of a database file current in the background.
#include "db/copy/LocalCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSocketNotifier>
#include <cstdio>
#include <utility>

#include "db/Database.h"
#include "db/worker/WorkerClient.h"
#include "platform/DateTime.h"
#include "platform/Logging.h"

namespace db {

namespace {

// Data Source texts name the same file when they differ only in doubled or
// trailing separators and "." steps.
QString keyOf(const QString& file) { return QDir::cleanPath(file); }

int outageGraceMs() {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue("ZOVA_TEST_OUTAGE_GRACE_MS", &ok);
  return ok && value >= 0 && value < LocalCopy::kOutageGraceMs ? value : LocalCopy::kOutageGraceMs;
}

// Kept copies live in $XDG_CACHE_HOME/Kelvaro/Zova-Monitor/ (~/.cache when
// unset), one per source: "Plan-<key>.mdb" with "Plan-<key>.mdb.source"
// beside it, which names the source. The key is taken from the source path.
constexpr int kKeptCopies = 4;  // of the sources used last; older ones go

QString keptCopyFolder() {
  QString base = qEnvironmentVariable("XDG_CACHE_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.cache");
  return QDir(base).filePath(QStringLiteral("Kelvaro/Zova-Monitor"));
}

QString keptCopyPath(const QString& source) {
  const QByteArray key =
      QCryptographicHash::hash(keyOf(source).toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  return keptCopyFolder() + QStringLiteral("/Plan-") + QString::fromLatin1(key) + QStringLiteral(".mdb");
}

// Removes the kept copies of all but the kKeptCopies sources used last.
void pruneKeptCopies() {
  const QDir folder(keptCopyFolder());
  const QStringList copies = folder.entryList({QStringLiteral("Plan-*.mdb")}, QDir::Files, QDir::Time);
  for (qsizetype i = kKeptCopies; i < copies.size(); ++i) {
    QFile::remove(folder.filePath(copies[i]));
    QFile::remove(folder.filePath(copies[i] + QStringLiteral(".source")));
  }
}

}  // namespace

LocalCopy::LocalCopy(QObject* parent) : QObject(parent) {
  m_deadline.setSingleShot(true);
  m_deadline.setTimerType(Qt::PreciseTimer);  // the deadline, not earlier
  m_retry.setSingleShot(true);
  connect(&m_deadline, &QTimer::timeout, this, &LocalCopy::deadlinePassed);
  connect(&m_retry, &QTimer::timeout, this, &LocalCopy::refresh);
}

LocalCopy::~LocalCopy() {
  abandonAttempt();
}

void LocalCopy::setSource(const QString& file) {
  if (file == m_source) return;
  const bool wasRefreshing = isRefreshing();
  abandonAttempt();
  m_source = file;
  m_retry.stop();
  m_state = State::None;
  m_lastError.clear();
  m_lastFailure = Error::Kind::Other;
  m_newestHash.clear();
  m_refusedHash.clear();
  m_retryMs = kRetryAfterIncompleteMs;
  m_unreachableRetryMs = kFirstUnreachableRetryMs;
  m_outage.invalidate();
  m_outageSince = 0;
  m_newest.reset();
  m_adopted.reset();
  // Whoever waits for the attempt that was running hears of its end.
  if (wasRefreshing) QTimer::singleShot(0, this, &LocalCopy::refreshed);
}

void LocalCopy::refresh() {
  // The running attempt may have read the file before the change that asks
  // for this one: another attempt follows it.
  if (isRefreshing()) {
    m_refreshAgain = true;
    return;
  }
  if (!beginAttempt()) QTimer::singleShot(0, this, &LocalCopy::refreshed);
}

LocalCopy::State LocalCopy::refreshAndWait(int waitMs) {
  const bool announce = isRefreshing();
  if (!announce && !beginAttempt()) return m_state;
  const int left = qMax<int>(0, worker::deadlineMs() - static_cast<int>(m_attemptClock.elapsed()));
  const bool partly = waitMs >= 0 && waitMs < left;
  if (m_worker.waitForAnswer(partly ? waitMs : left) == WorkerProcess::Answer::Pending) {
    // The attempt goes on in the background, under its deadline.
    if (partly) return State::None;
    timeOut(announce);
  } else {
    takeOutcome(announce);
  }
  return m_state;
}

bool LocalCopy::adopt() {
  if (!hasNewerCopy()) return false;
  m_adopted = m_newest;
  qCInfo(lcDb).noquote() << "Reading" << m_source << "from its copy" << m_adopted->path();
  if (m_keepsCopies) keepAdoptedCopy();
  return true;
}

bool LocalCopy::bridgingOutage() const {
  return m_adopted && m_outage.isValid() && m_state != State::Current && m_outage.elapsed() < outageGraceMs();
}

// Copies the adopted copy into the cache folder (local, small: no share is
// touched), replacing the kept copy of the same source in one step.
void LocalCopy::keepAdoptedCopy() const {
  const QString kept = keptCopyPath(m_source);
  const QString part = kept + QStringLiteral(".part");
  QFile::remove(part);
  bool done = QDir().mkpath(keptCopyFolder()) && QFile::copy(m_adopted->path(), part);
  if (done) {
    QSaveFile source(kept + QStringLiteral(".source"));
    done = source.open(QIODevice::WriteOnly) && source.write(keyOf(m_source).toUtf8() + '\n') >= 0 && source.commit();
  }
  if (done) done = std::rename(QFile::encodeName(part).constData(), QFile::encodeName(kept).constData()) == 0;
  if (!done) {
    QFile::remove(part);
    qCInfo(lcPlan).noquote() << "Cannot keep a copy of" << m_source << "in" << keptCopyFolder();
    return;
  }
  pruneKeptCopies();
}

bool LocalCopy::adoptKeptCopy() {
  if (m_adopted || m_source.isEmpty()) return false;
  const QString kept = keptCopyPath(m_source);
  QFile source(kept + QStringLiteral(".source"));
  // A copy made from another path is never shown.
  if (!source.open(QIODevice::ReadOnly) || QString::fromUtf8(source.readAll()).trimmed() != keyOf(m_source))
    return false;
  QFile file(kept);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray content = file.readAll();
  if (content.isEmpty() || file.error() != QFileDevice::NoError) return false;
  try {
    const QFileInfo info(m_source);
    std::shared_ptr<PrivateFile> copy = PrivateFile::reserve(info.completeBaseName(), u'.' + info.suffix());
    QFile out(copy->path());
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.flush()) return false;
    m_newest = copy;
  } catch (const db::Error&) {
    return false;
  }
  // The same hash as an attempt gives the same content: an unchanged file
  // is then found Unchanged and not copied again.
  m_newestHash = QCryptographicHash::hash(content, QCryptographicHash::Sha256);
  m_adopted = m_newest;
  qCInfo(lcPlan).noquote() << "Starting from the copy of" << m_source << "kept from an earlier run";
  return true;
}

SharedFile LocalCopy::readableCopy() const {
  if (m_state == State::Unreachable && !bridgingOutage()) throw db::Error(m_lastError);
  if (!m_adopted)
    throw db::Error(m_lastError.isEmpty() ? QStringLiteral("No copy of %1 has been taken yet").arg(m_source)
                                          : m_lastError);
  return m_adopted;
}

// Sends the request of one attempt; false (with the state set) when it could not start.
bool LocalCopy::beginAttempt() {
  Q_ASSERT(!isRefreshing());
  m_retry.stop();
  if (m_source.isEmpty()) {
    endAttempt(State::Unreachable, QStringLiteral("No database file is set to be copied"), false);
    return false;
  }
  // On a share that hangs hard, a killed worker stays stuck in the kernel
  // until the share answers again. Attempts stop piling up such processes:
  // while several still hang, the file counts as unreachable at once.
  const int hanging = worker::unreapedWorkers();
  if (!m_worker.isRunning() && hanging >= kMaxHangingWorkers) {
    endAttempt(State::Unreachable,
               QStringLiteral("%1 does not answer: %2 earlier attempts still hang").arg(m_source).arg(hanging), false);
    return false;
  }
  try {
    const QFileInfo source(m_source);
    std::shared_ptr<PrivateFile> copy = PrivateFile::reserve(source.completeBaseName(), u'.' + source.suffix());
    protocol::Request request = worker::request(worker::Operation::Refresh, m_source, copy->path());
    request.previousHash = m_newestHash;
    worker::send(m_worker, request);
    m_attemptCopy = copy;
  } catch (const db::Error& error) {
    endAttempt(State::Unreachable, error.message(), false);
    return false;
  }
  m_attemptClock.start();
  m_answerNotifier = new QSocketNotifier(m_worker.answerDescriptor(), QSocketNotifier::Read, this);
  connect(m_answerNotifier, &QSocketNotifier::activated, this, &LocalCopy::answerArrived);
  m_deadline.start(worker::deadlineMs());
  return true;
}

void LocalCopy::answerArrived() {
  if (!isRefreshing() || m_worker.readAnswer() == WorkerProcess::Answer::Pending) return;
  takeOutcome(true);
}

void LocalCopy::deadlinePassed() {
  if (isRefreshing()) timeOut(true);
}

// Ends the running attempt at its deadline: the worker is killed, the file unreachable.
void LocalCopy::timeOut(bool announce) {
  stopWatching();
  const QString message = worker::timedOut(m_worker, worker::Operation::Refresh, m_source);
  endAttempt(State::Unreachable, message, announce, Error::Kind::NoAnswer);
}

// Reads the worker's answer to the running attempt and ends it.
void LocalCopy::takeOutcome(bool announce) {
  stopWatching();
  protocol::Reply reply;
  try {
    reply = worker::finish(m_worker, worker::Operation::Refresh, m_source);
  } catch (const db::Error& error) {
    endAttempt(State::Unreachable, error.message(), announce, error.kind());
    return;
  }
  switch (reply.copy) {
    case protocol::CopyOutcome::Copied:
      qCInfo(lcDb).noquote() << "Copied" << m_source << "to" << m_attemptCopy->path() << "in"
                             << m_attemptClock.elapsed() << "ms";
      m_newest = m_attemptCopy;
      m_newestHash = reply.hash;
      endAttempt(State::Current, QString(), announce);
      break;
    case protocol::CopyOutcome::Unchanged: endAttempt(State::Current, QString(), announce); break;
    case protocol::CopyOutcome::Incomplete:
      m_retryMs = !reply.hash.isEmpty() && reply.hash == m_refusedHash ? qMin(2 * m_retryMs, kLongestRetryMs)
                                                                        : kRetryAfterIncompleteMs;
      m_refusedHash = reply.hash;
      endAttempt(State::Incomplete, reply.message, announce);
      m_retry.start(m_retryMs);
      break;
    case protocol::CopyOutcome::Unreachable:
    case protocol::CopyOutcome::None:
      endAttempt(State::Unreachable,
                 reply.message.isEmpty() ? QStringLiteral("%1 could not be copied").arg(m_source) : reply.message,
                 announce);
      break;
  }
}

void LocalCopy::endAttempt(State state, const QString& message, bool announce, Error::Kind failure) {
  stopWatching();
  m_attemptCopy.reset();
  m_state = state;
  m_lastError = message;
  m_lastFailure = failure;
  if (state != State::Incomplete) {
    m_refusedHash.clear();
    m_retryMs = kRetryAfterIncompleteMs;
  }
  if (state == State::Unreachable) {
    setOutage(true);
    // Tried again by itself, so the plan is back soon after the file answers.
    if (!m_source.isEmpty()) m_retry.start(m_unreachableRetryMs);
    m_unreachableRetryMs = qMin(2 * m_unreachableRetryMs, kLongestUnreachableRetryMs);
  } else {
    // A file being written or refused answers: that is no outage.
    setOutage(false);
    m_unreachableRetryMs = kFirstUnreachableRetryMs;
  }
  if (state == State::Incomplete)
    qCInfo(lcDb).noquote() << "Copy of" << m_source << "postponed:" << message;
  else if (state == State::Unreachable)
    qCInfo(lcDb).noquote() << "Copy of" << m_source << "failed:" << message;
  if (announce) emit refreshed();
  if (std::exchange(m_refreshAgain, false) && state != State::Unreachable && !m_source.isEmpty())
    QTimer::singleShot(0, this, &LocalCopy::refresh);
}

void LocalCopy::setOutage(bool on) {
  if (on == m_outage.isValid()) return;
  if (on) {
    m_outage.start();
    m_outageSince = zdt::now();
    qCInfo(lcPlan).noquote() << "The plan file" << m_source << "cannot be reached:" << m_lastError
                             << (m_adopted ? "; the last complete export stays on screen" : "");
  } else {
    qCInfo(lcPlan).noquote() << "The plan file" << m_source << "answers again after" << m_outage.elapsed() / 1000
                             << "s";
    m_outage.invalidate();
    m_outageSince = 0;
  }
}

void LocalCopy::abandonAttempt() {
  if (!isRefreshing()) return;
  stopWatching();
  m_worker.kill();
  m_attemptCopy.reset();
}

void LocalCopy::stopWatching() {
  m_deadline.stop();
  if (m_answerNotifier) {
    // Deleted later: this may run inside the notifier's own signal.
    m_answerNotifier->setEnabled(false);
    m_answerNotifier->deleteLater();
    m_answerNotifier = nullptr;
  }
}

}  // namespace db
