// Runs one database operation in the worker process under the deadline.
//
// The worker (zova-db-worker, beside the running program) does the libmdb
// work; this side starts it, waits with QProcess::waitForFinished (no event
// loop is entered, so it is safe on the GUI thread) and kills it at the
// deadline. A hang, a crash, a non-zero exit without an answer or an
// unreadable answer is a db::Error of that one operation.
#pragma once

#include <QStringList>

#include "db/WorkerProtocol.h"

namespace db::worker {

// Check: the file is a Jet database. Snapshot: copy it into the file named
// by the statement argument. Tables, Query, Execute: the libmdb work.
enum class Operation { Check, Snapshot, Tables, Query, Execute };

// Runs the operation on the file; returns the worker's successful reply or
// throws db::Error (the worker's own message when it reported a failure).
protocol::Reply run(Operation operation, const QString& file, const QString& statement = {});

// The worker program path: zova-db-worker in the running program's folder.
QString workerProgram();

// Tests: run another program (with leading arguments) and use another
// deadline. An empty program and a deadline of 0 restore the defaults.
void setWorkerForTesting(const QString& program, const QStringList& leadingArguments = {});
void setDeadlineForTesting(int milliseconds);

// The operation names on the worker's command line.
QString operationName(Operation operation);

}  // namespace db::worker
