// Starting, waiting for and reading the database worker.
#include "db/WorkerClient.h"

#include <QFileInfo>
#include <QProcess>

#include "platform/Folders.h"

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

int deadlineMs() { return overrides().deadlineMs > 0 ? overrides().deadlineMs : db::kDeadlineMs; }

QString describe(Operation operation, const QString& file) {
  switch (operation) {
    case Operation::Check: return QStringLiteral("the check of %1").arg(file);
    case Operation::Snapshot: return QStringLiteral("the copy of %1").arg(file);
    case Operation::Tables: return QStringLiteral("listing the tables of %1").arg(file);
    case Operation::Query: return QStringLiteral("the query on %1").arg(file);
    case Operation::Execute: return QStringLiteral("the update of %1").arg(file);
  }
  return file;
}

}  // namespace

QString operationName(Operation operation) {
  switch (operation) {
    case Operation::Check: return QStringLiteral("check");
    case Operation::Snapshot: return QStringLiteral("snapshot");
    case Operation::Tables: return QStringLiteral("tables");
    case Operation::Query: return QStringLiteral("query");
    case Operation::Execute: return QStringLiteral("execute");
  }
  return {};
}

QString workerProgram() {
  if (!overrides().program.isEmpty()) return overrides().program;
  return folders::programFolder() + QStringLiteral("zova-db-worker");
}

void setWorkerForTesting(const QString& program, const QStringList& leadingArguments) {
  overrides().program = program;
  overrides().leadingArguments = leadingArguments;
}

void setDeadlineForTesting(int milliseconds) { overrides().deadlineMs = milliseconds; }

protocol::Reply run(Operation operation, const QString& file, const QString& statement) {
  const QString program = workerProgram();
  if (!QFileInfo(program).isExecutable())
    throw db::Error(QStringLiteral("Database worker %1 is missing").arg(program));
  QStringList arguments = overrides().leadingArguments;
  arguments << operationName(operation) << file;
  if (!statement.isNull()) arguments << statement;

  QProcess process;
  // libmdb's warnings go to the worker's stderr; they are not part of the answer.
  process.setStandardErrorFile(QProcess::nullDevice());
  process.setStandardInputFile(QProcess::nullDevice());
  process.start(program, arguments, QIODevice::ReadOnly);
  if (!process.waitForStarted(deadlineMs()))
    throw db::Error(QStringLiteral("Database worker %1 could not be started: %2").arg(program, process.errorString()));
  if (!process.waitForFinished(deadlineMs())) {
    process.kill();
    process.waitForFinished(1000);
    const int seconds = (deadlineMs() + 999) / 1000;
    throw db::Error(QStringLiteral("The database engine did not answer within %1 s (%2)")
                        .arg(seconds)
                        .arg(describe(operation, file)));
  }
  const QByteArray output = process.readAllStandardOutput();
  if (process.exitStatus() == QProcess::CrashExit)
    throw db::Error(QStringLiteral("The database engine crashed during %1").arg(describe(operation, file)));
  protocol::Reply reply = protocol::decodeReply(output);
  if (!reply.ok) throw db::Error(reply.message);
  if (process.exitCode() != 0)
    throw db::Error(QStringLiteral("The database worker failed during %1").arg(describe(operation, file)));
  return reply;
}

}  // namespace db::worker
