// Runs database operations in the long-lived worker process, each under
// the deadline.
//
// The worker (zova-db-worker, in the running program's folder) does the
// libmdb work; each thread that runs operations has one, started at its
// first operation, which then serves one operation after the other over its
// pipes, so a poll of an unchanged plan starts no process. Waiting uses poll() and never enters an event loop, so
// it is safe on the GUI thread. A worker that misses the deadline, crashes or
// answers garbage is killed (without waiting for it) and that one operation
// fails with db::Error; the next operation starts a new worker. A worker
// that ended while it was idle is replaced before the next operation without
// any failure.
#pragma once

#include <QStringList>

#include "db/worker/WorkerProtocol.h"

namespace db {
class WorkerProcess;
}

namespace db::worker {

// Check: the file is a Jet database. Snapshot: copy it into the file named
// by the statement argument. Refresh: the same unless its content is
// unchanged (see db/copy/LocalCopy.h). Tables, Query, Execute: the libmdb work.
// Allocate: take the number of MiB in the argument and let go (shows the
// worker's memory bound).
enum class Operation { Check, Snapshot, Refresh, Tables, Query, Execute, Allocate };

// Runs the operation on the file in the shared worker; returns the worker's
// successful reply or throws db::Error (the worker's own message when it
// reported a failure, with its kind; Error::Kind::NoAnswer at the deadline).
// `expected`, `changedColumns`: for Execute, the column values the row must
// still hold and the columns the caller changed.
protocol::Reply run(Operation operation, const QString& file, const QString& statement = {},
                    const protocol::ExpectedValues& expected = {},
                    const std::optional<QStringList>& changedColumns = std::nullopt);

// The request frame's fields for an operation.
protocol::Request request(Operation operation, const QString& file, const QString& argument = {});

// The two halves of run() for a caller that waits in its event loop: send()
// starts the worker when needed and sends the request (throws db::Error when
// the worker is missing or cannot be started or fed; the process then is not
// running); finish() turns a whole answer into the reply or throws db::Error
// (killing a worker that crashed or gave garbage); timedOut() kills the worker
// and gives the deadline's message.
void send(WorkerProcess& process, const protocol::Request& request);
protocol::Reply finish(WorkerProcess& process, Operation operation, const QString& file);
QString timedOut(WorkerProcess& process, Operation operation, const QString& file);

// The worker program path: zova-db-worker in the running program's folder.
QString workerProgram();

// The deadline of one operation in milliseconds (db::kDeadlineMs unless a test set another).
int deadlineMs();

// How many worker processes this program has started so far.
quint64 processesStarted();
// Collects killed workers that have ended; returns how many are still not collected.
int unreapedWorkers();

// Tests: run another program (with leading arguments) and use another
// deadline. An empty program and a deadline of 0 restore the defaults.
// Changing the program ends the calling thread's worker.
void setWorkerForTesting(const QString& program, const QStringList& leadingArguments = {});
void setDeadlineForTesting(int milliseconds);

// The operation names in the request frame.
QString operationName(Operation operation);

}  // namespace db::worker
