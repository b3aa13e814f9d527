// Keeping the private copy of a database file current in the background.
#include "db/LocalCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSocketNotifier>

#include "db/Database.h"
#include "db/WorkerClient.h"
#include "platform/Logging.h"

namespace db {

namespace {

// Never destroyed: a keeper held by a static object unregisters during the program's exit.
QHash<QString, LocalCopy*>& keepers() {
  static auto* registry = new QHash<QString, LocalCopy*>;
  return *registry;
}

// Data Source texts name the same file when they differ only in doubled or
// trailing separators and "." steps.
QString keyOf(const QString& file) { return QDir::cleanPath(file); }

void unregister(LocalCopy* keeper, const QString& source) {
  auto it = keepers().find(keyOf(source));
  if (it != keepers().end() && it.value() == keeper) keepers().erase(it);
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
  if (!m_source.isEmpty()) unregister(this, m_source);
}

LocalCopy* LocalCopy::keeperFor(const QString& dataSource) { return keepers().value(keyOf(dataSource), nullptr); }

void LocalCopy::setSource(const QString& file) {
  if (file == m_source) return;
  const bool wasRefreshing = isRefreshing();
  abandonAttempt();
  if (!m_source.isEmpty()) unregister(this, m_source);
  m_source = file;
  if (!m_source.isEmpty()) keepers().insert(keyOf(m_source), this);
  m_retry.stop();
  m_state = State::None;
  m_lastError.clear();
  m_newestHash.clear();
  m_refusedHash.clear();
  m_retryMs = kRetryAfterIncompleteMs;
  m_newest.reset();
  m_adopted.reset();
  // Whoever waits for the attempt that was running hears of its end.
  if (wasRefreshing) QTimer::singleShot(0, this, &LocalCopy::refreshed);
}

void LocalCopy::refresh() {
  if (isRefreshing()) return;
  if (!beginAttempt()) QTimer::singleShot(0, this, &LocalCopy::refreshed);
}

LocalCopy::State LocalCopy::refreshAndWait() {
  const bool announce = isRefreshing();
  if (!announce && !beginAttempt()) return m_state;
  const int left = qMax<int>(0, worker::deadlineMs() - static_cast<int>(m_attemptClock.elapsed()));
  if (m_worker.waitForAnswer(left) == WorkerProcess::Answer::Pending)
    timeOut(announce);
  else
    takeOutcome(announce);
  return m_state;
}

bool LocalCopy::adopt() {
  if (!hasNewerCopy()) return false;
  m_adopted = m_newest;
  qCInfo(lcDb).noquote() << "Reading" << m_source << "from its copy" << m_adopted->path();
  return true;
}

SharedFile LocalCopy::readableCopy() const {
  if (m_state == State::Unreachable) throw db::Error(m_lastError);
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
  endAttempt(State::Unreachable, message, announce);
}

// Reads the worker's answer to the running attempt and ends it.
void LocalCopy::takeOutcome(bool announce) {
  stopWatching();
  protocol::Reply reply;
  try {
    reply = worker::finish(m_worker, worker::Operation::Refresh, m_source);
  } catch (const db::Error& error) {
    endAttempt(State::Unreachable, error.message(), announce);
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

void LocalCopy::endAttempt(State state, const QString& message, bool announce) {
  stopWatching();
  m_attemptCopy.reset();
  m_state = state;
  m_lastError = message;
  if (state != State::Incomplete) {
    m_refusedHash.clear();
    m_retryMs = kRetryAfterIncompleteMs;
  }
  if (state == State::Incomplete)
    qCInfo(lcDb).noquote() << "Copy of" << m_source << "postponed:" << message;
  else if (state == State::Unreachable)
    qCInfo(lcDb).noquote() << "Copy of" << m_source << "failed:" << message;
  if (announce) emit refreshed();
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
