// One running database worker process and its two pipes, on the caller's
// side.
//
// The worker is started with fork and exec (never QProcess, whose
// destructor waits for the process): its standard input receives request
// frames, its standard output gives answer frames, its standard error goes
// to /dev/null, and it runs under an address-space bound. A worker that has
// to go (deadline missed, crash, garbage) is sent SIGKILL and handed to the
// reaper without waiting: a process stuck in the kernel on a hung share may
// not die at once. reapWorkers() collects such processes later, without
// blocking.
//
// Nothing here knows the operations; WorkerClient.h sends requests and
// turns failures into messages. Not thread-safe: one thread uses an object.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace db {

// The address space a worker may take (RLIMIT_AS), in bytes; 0 when this
// build does not bound it (AddressSanitizer reserves far more than this).
qint64 workerAddressSpaceLimit();

class WorkerProcess {
 public:
  WorkerProcess() = default;
  // Closes the pipes, so an idle worker ends by itself; never waits.
  ~WorkerProcess();
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // What the last answer read came to.
  enum class Answer {
    Pending,   // not complete yet
    Complete,  // one whole frame: takeAnswer()
    Garbage,   // bytes that are no answer frame
    Closed,    // the worker closed its output (exited or crashed) before a whole frame
  };

  bool isRunning() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }

  // Starts `program` with `arguments`; throws db::Error naming the program
  // and the reason when it cannot be started. Precondition: not running.
  void start(const QString& program, const QStringList& arguments);

  // True when the idle worker is gone or has written something unasked
  // (it then cannot be trusted with the next request).
  bool isSpoilt();

  // Sends one request frame, waiting at most `timeoutMs` for room in the
  // pipe. False when the worker does not take it (gone, or its input full).
  bool send(const QByteArray& frame, int timeoutMs);

  // The descriptor the answer arrives on (for poll or a socket notifier).
  int answerDescriptor() const { return m_answerFd; }

  // Reads what has arrived, without blocking.
  Answer readAnswer();
  // Waits up to `timeoutMs` for the answer to end (complete, garbage or closed).
  Answer waitForAnswer(int timeoutMs);
  // The bytes received so far (the whole frame once Complete); clears them.
  QByteArray takeAnswer();

  // After Closed: waits up to `timeoutMs` for the process to exit and tells
  // whether a signal ended it; the process is reaped or handed to the reaper.
  bool endedBySignal(int timeoutMs);

  // Sends SIGKILL, closes the pipes and hands the process to the reaper.
  void kill();
  // Closes the pipes (the worker ends at end of input) and hands the process
  // to the reaper.
  void stop();

  // How many workers this process has started in all.
  static quint64 startedCount();

 private:
  void closePipes();
  void release();

  pid_t m_pid = -1;
  int m_requestFd = -1;
  int m_answerFd = -1;
  QByteArray m_answer;
  bool m_closed = false;
};

// Collects ended workers handed to the reaper, without blocking; returns how
// many are still not collected.
int reapWorkers();

}  // namespace db
