// Sending operations to the database worker and reading its answers.
#include "db/worker/WorkerClient.h"

#include <QFileInfo>

#include "db/worker/WorkerProcess.h"
#include "platform/Folders.h"
#include "platform/Logging.h"

namespace db::worker {

namespace {

struct Overrides {
  QString program;
  QStringList leadingArguments;
  int deadlineMs = 0;
};

Overrides& overrides() {
  static Overrides value;
  return value;
}

// The worker that serves the connections' operations of the calling
// thread: the display thread's and a background thread's operations never
// wait for each other.
WorkerProcess& sharedWorker() {
  thread_local WorkerProcess process;
  return process;
}

QString describe(Operation operation, const QString& file) {
  switch (operation) {
    case Operation::Check: return QStringLiteral("the check of %1").arg(file);
    case Operation::Snapshot:
    case Operation::Refresh: return QStringLiteral("the copy of %1").arg(file);
    case Operation::Tables: return QStringLiteral("listing the tables of %1").arg(file);
    case Operation::Query: return QStringLiteral("the query on %1").arg(file);
    case Operation::Execute: return QStringLiteral("the update of %1").arg(file);
    case Operation::Allocate: return QStringLiteral("a memory allocation");
  }
  return file;
}

void start(WorkerProcess& process) {
  const QString program = workerProgram();
  if (!QFileInfo(program).isExecutable()) {
    qCInfo(lcDb).noquote() << "Database worker" << program << "is missing";
    throw db::Error(QStringLiteral("Database worker %1 is missing").arg(program));
  }
  try {
    process.start(program, overrides().leadingArguments);
  } catch (const db::Error& error) {
    qCInfo(lcDb).noquote() << error.message();
    throw;
  }
  qCInfo(lcDb).noquote() << "Started database worker" << program << "as process" << process.pid();
}

}  // namespace

QString operationName(Operation operation) {
  switch (operation) {
    case Operation::Check: return QStringLiteral("check");
    case Operation::Snapshot: return QStringLiteral("snapshot");
    case Operation::Refresh: return QStringLiteral("refresh");
    case Operation::Tables: return QStringLiteral("tables");
    case Operation::Query: return QStringLiteral("query");
    case Operation::Execute: return QStringLiteral("execute");
    case Operation::Allocate: return QStringLiteral("allocate");
  }
  return {};
}

QString workerProgram() {
  if (!overrides().program.isEmpty()) return overrides().program;
  return folders::programFolder() + QStringLiteral("zova-db-worker");
}

int deadlineMs() { return overrides().deadlineMs > 0 ? overrides().deadlineMs : db::kDeadlineMs; }

quint64 processesStarted() { return WorkerProcess::startedCount(); }

int unreapedWorkers() { return reapWorkers(); }

void setWorkerForTesting(const QString& program, const QStringList& leadingArguments) {
  overrides().program = program;
  overrides().leadingArguments = leadingArguments;
  sharedWorker().stop();
}

void setDeadlineForTesting(int milliseconds) { overrides().deadlineMs = milliseconds; }

protocol::Request request(Operation operation, const QString& file, const QString& argument) {
  protocol::Request request;
  request.operation = operationName(operation);
  request.file = file;
  request.argument = argument;
  return request;
}

void send(WorkerProcess& process, const protocol::Request& request) {
  reapWorkers();
  // A worker that ended or misbehaved while idle is replaced; the operation
  // has not started, so it does not fail for that.
  if (process.isSpoilt()) process.kill();
  const QByteArray frame = protocol::encodeRequest(request);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!process.isRunning()) start(process);
    if (process.send(frame, deadlineMs())) return;
    process.kill();
  }
  throw db::Error(QStringLiteral("The database worker %1 does not take requests").arg(workerProgram()));
}

protocol::Reply finish(WorkerProcess& process, Operation operation, const QString& file) {
  const WorkerProcess::Answer answer = process.readAnswer();
  Q_ASSERT(answer != WorkerProcess::Answer::Pending);
  const QByteArray bytes = process.takeAnswer();
  if (answer == WorkerProcess::Answer::Closed && process.endedBySignal(1000)) {
    qCInfo(lcDb).noquote() << "The database engine crashed during" << describe(operation, file);
    throw db::Error(QStringLiteral("The database engine crashed during %1").arg(describe(operation, file)));
  }
  protocol::Reply reply;
  try {
    reply = protocol::decodeReply(bytes);
  } catch (const db::Error& error) {
    qCInfo(lcDb).noquote() << error.message() << "during" << describe(operation, file);
    process.kill();
    throw;
  } catch (const std::bad_alloc&) {
    process.kill();
    throw db::Error(QStringLiteral("The answer of the database worker to %1 does not fit into memory")
                        .arg(describe(operation, file)));
  }
  if (answer != WorkerProcess::Answer::Complete) process.kill();
  if (!reply.ok) throw db::Error(reply.message, reply.failure);
  return reply;
}

QString timedOut(WorkerProcess& process, Operation operation, const QString& file) {
  qCInfo(lcDb).noquote() << "Killed database worker" << process.pid() << "at the deadline of"
                         << describe(operation, file);
  process.kill();
  const int seconds = (deadlineMs() + 999) / 1000;
  return QStringLiteral("The database engine did not answer within %1 s (%2)").arg(seconds).arg(describe(operation, file));
}

namespace {

// One request on `process` (started when not running), waited for up to the deadline.
protocol::Reply runOn(WorkerProcess& process, Operation operation, const protocol::Request& request) {
  send(process, request);
  if (process.waitForAnswer(deadlineMs()) == WorkerProcess::Answer::Pending)
    throw db::Error(timedOut(process, operation, request.file), db::Error::Kind::NoAnswer);
  return finish(process, operation, request.file);
}

}  // namespace

protocol::Reply run(Operation operation, const QString& file, const QString& statement,
                    const protocol::ExpectedValues& expected, const std::optional<QStringList>& changedColumns) {
  protocol::Request frame = request(operation, file, statement);
  frame.expected = expected;
  frame.changedColumns = changedColumns;
  return runOn(sharedWorker(), operation, frame);
}

}  // namespace db::worker
