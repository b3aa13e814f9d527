// Starting, feeding, reading and ending one database worker process.
#include "db/worker/WorkerProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "db/Database.h"
#include "db/worker/WorkerProtocol.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZOVA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOVA_ADDRESS_SANITIZER 1
#endif
#endif

namespace db {

namespace {

// Above what libmdb needs for any plan or notification file; a damaged file
// that drives it beyond this ends as a failed operation.
constexpr qint64 kAddressSpaceBytes = qint64(512) << 20;

std::atomic<quint64> g_started = 0;

// Workers killed or stopped and not yet collected, shared by the threads that
// run workers. Never destroyed: workers held by static objects are handed
// over during the program's exit.
std::vector<pid_t>& unreaped() {
  static auto* pids = new std::vector<pid_t>;
  return *pids;
}

std::mutex& unreapedLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

// A descriptor above the three standard ones, close-on-exec; -1 on failure.
int aboveStandard(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  ::close(fd);
  return moved;
}

void closeDescriptor(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Milliseconds left until `deadline`, for poll().
int remainingMs(const QDeadlineTimer& deadline) {
  return static_cast<int>(qBound<qint64>(0, deadline.remainingTime(), qint64(INT_MAX)));
}

// The descriptors of a worker being started; [0] is the caller's end, [1] the worker's.
struct Channels {
  int request[2] = {-1, -1};  // a socket pair: writing to a gone worker gives EPIPE, never SIGPIPE
  int answer[2] = {-1, -1};
  int status[2] = {-1, -1};   // close-on-exec: stays silent when exec succeeds
  int nullDevice = -1;        // the worker's standard error

  // Opens all of them, close-on-exec and above the standard descriptors;
  // returns 0 or the errno of the failure.
  int open() {
    nullDevice = aboveStandard(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (nullDevice < 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, request) != 0 ||
        ::pipe2(answer, O_CLOEXEC) != 0 || ::pipe2(status, O_CLOEXEC) != 0)
      return errno ? errno : EMFILE;
    for (int* fd : {&request[0], &request[1], &answer[0], &answer[1], &status[0], &status[1]}) {
      *fd = aboveStandard(*fd);
      if (*fd < 0) return errno ? errno : EMFILE;
    }
    return 0;
  }
  void closeWorkerEnds() {
    for (int* fd : {&request[1], &answer[1], &status[1], &nullDevice}) closeDescriptor(*fd);
  }
  void closeCallerEnds() {
    for (int* fd : {&request[0], &answer[0], &status[0]}) closeDescriptor(*fd);
  }
};

// The forked child: standard input, output and error onto the worker's ends,
// every other descriptor closed at exec, the address-space bound, then the
// program. Only system calls from here on; reports a failed exec on the
// status pipe.
[[noreturn]] void becomeWorker(const Channels& channels, char* const* argv, const rlimit* bound) {
  ::dup2(channels.request[1], STDIN_FILENO);
  ::dup2(channels.answer[1], STDOUT_FILENO);
  ::dup2(channels.nullDevice, STDERR_FILENO);
  ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
  if (bound) ::setrlimit(RLIMIT_AS, bound);
  ::execv(argv[0], argv);
  const int error = errno;
  [[maybe_unused]] const ssize_t written = ::write(channels.status[1], &error, sizeof error);
  ::_exit(127);
}

// 0 when the child's exec succeeded (the status pipe closed empty), else its errno.
int execError(int statusFd) {
  int error = 0;
  ssize_t n;
  do n = ::read(statusFd, &error, sizeof error);
  while (n < 0 && errno == EINTR);
  return n == sizeof error ? error : 0;
}

}  // namespace

qint64 workerAddressSpaceLimit() {
#ifdef ZOVA_ADDRESS_SANITIZER
  return 0;
#else
  return kAddressSpaceBytes;
#endif
}

int reapWorkers() {
  const std::lock_guard<std::mutex> guard(unreapedLock());
  auto& pids = unreaped();
  for (auto it = pids.begin(); it != pids.end();) {
    const pid_t result = ::waitpid(*it, nullptr, WNOHANG);
    if (result == *it || (result < 0 && errno == ECHILD))
      it = pids.erase(it);
    else
      ++it;
  }
  return static_cast<int>(pids.size());
}

quint64 WorkerProcess::startedCount() { return g_started; }

WorkerProcess::~WorkerProcess() { stop(); }

void WorkerProcess::start(const QString& program, const QStringList& arguments) {
  Q_ASSERT(!isRunning());
  // Everything the child needs is prepared here: between fork and exec it
  // may only make system calls.
  std::vector<QByteArray> argumentBytes{QFile::encodeName(program)};
  for (const QString& argument : arguments) argumentBytes.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& bytes : argumentBytes) argv.push_back(bytes.data());
  argv.push_back(nullptr);
  const qint64 limit = workerAddressSpaceLimit();
  const rlimit bound{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};

  Channels channels;
  int error = channels.open();
  pid_t pid = -1;
  if (error == 0) {
    pid = ::fork();
    if (pid == 0) becomeWorker(channels, argv.data(), limit > 0 ? &bound : nullptr);
    if (pid < 0) error = errno;
  }
  channels.closeWorkerEnds();
  if (pid > 0) error = execError(channels.status[0]);
  if (error != 0) {
    channels.closeCallerEnds();
    if (pid > 0) ::waitpid(pid, nullptr, 0);  // it has exited already: exec failed
    throw db::Error(QStringLiteral("Database worker %1 could not be started: %2")
                        .arg(program, QString::fromLocal8Bit(std::strerror(error))));
  }
  closeDescriptor(channels.status[0]);
  ::fcntl(channels.request[0], F_SETFL, ::fcntl(channels.request[0], F_GETFL) | O_NONBLOCK);
  ::fcntl(channels.answer[0], F_SETFL, ::fcntl(channels.answer[0], F_GETFL) | O_NONBLOCK);
  m_pid = pid;
  m_requestFd = channels.request[0];
  m_answerFd = channels.answer[0];
  m_answer.clear();
  m_closed = false;
  ++g_started;
}

bool WorkerProcess::isSpoilt() {
  if (!isRunning()) return false;
  return readAnswer() != Answer::Pending || !m_answer.isEmpty();
}

bool WorkerProcess::send(const QByteArray& frame, int timeoutMs) {
  Q_ASSERT(isRunning());
  m_answer.clear();
  const QDeadlineTimer deadline(timeoutMs);
  qsizetype done = 0;
  while (done < frame.size()) {
    const ssize_t n = ::send(m_requestFd, frame.constData() + done, frame.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    pollfd room{m_requestFd, POLLOUT, 0};
    if (::poll(&room, 1, remainingMs(deadline)) <= 0 && deadline.hasExpired()) return false;
  }
  return true;
}

WorkerProcess::Answer WorkerProcess::readAnswer() {
  if (!isRunning() || m_closed) return Answer::Closed;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(m_answerFd, buffer, sizeof buffer);
    if (n > 0) {
      m_answer.append(buffer, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) m_closed = true;
    break;
  }
  qint64 size = -1;
  try {
    size = protocol::replyFrameSize(m_answer);
  } catch (const db::Error&) {
    return Answer::Garbage;
  }
  if (size >= 0 && m_answer.size() == size) return Answer::Complete;
  if (size >= 0 && m_answer.size() > size) return Answer::Garbage;
  return m_closed ? Answer::Closed : Answer::Pending;
}

WorkerProcess::Answer WorkerProcess::waitForAnswer(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    const Answer answer = readAnswer();
    if (answer != Answer::Pending || deadline.hasExpired()) return answer;
    pollfd readable{m_answerFd, POLLIN, 0};
    ::poll(&readable, 1, remainingMs(deadline));
  }
}

QByteArray WorkerProcess::takeAnswer() {
  QByteArray bytes;
  bytes.swap(m_answer);
  return bytes;
}

bool WorkerProcess::endedBySignal(int timeoutMs) {
  if (!isRunning()) return false;
  // The output closes as the process exits; collecting it follows at once.
  const QDeadlineTimer deadline(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t result = ::waitpid(m_pid, &status, WNOHANG);
    if (result == m_pid) {
      m_pid = -1;
      closePipes();
      return WIFSIGNALED(status);
    }
    if (result < 0 || deadline.hasExpired()) break;
    QThread::msleep(1);
  }
  kill();
  return false;
}

void WorkerProcess::kill() {
  if (isRunning()) ::kill(m_pid, SIGKILL);
  release();
}

void WorkerProcess::stop() { release(); }

void WorkerProcess::closePipes() {
  closeDescriptor(m_requestFd);
  closeDescriptor(m_answerFd);
  m_answer.clear();
  m_closed = false;
}

void WorkerProcess::release() {
  closePipes();
  if (m_pid > 0) {
    const std::lock_guard<std::mutex> guard(unreapedLock());
    unreaped().push_back(m_pid);
  }
  m_pid = -1;
  reapWorkers();
}

}  // namespace db
