// Dispatch of the worker's operations and the writing of its answer.
#include "db/WorkerOperations.h"

#include <QFile>
#include <QString>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "db/CompleteExport.h"
#include "db/Evaluator.h"
#include "db/JetFile.h"
#include "db/MdbTable.h"
#include "db/MdbUpdate.h"
#include "db/SqlParser.h"
#include "db/WorkerProtocol.h"

namespace db::engine {

namespace {

// Keeps the answer channel apart from anything the library writes to
// stdout: the answer goes to a duplicate of the original descriptor 1.
int takeAnswerChannel() {
  std::fflush(stdout);
  const int answer = ::dup(STDOUT_FILENO);
  const int sink = ::open("/dev/null", O_WRONLY);
  if (sink >= 0) {
    ::dup2(sink, STDOUT_FILENO);
    ::close(sink);
  }
  return answer;
}

bool writeAll(int fd, const QByteArray& bytes) {
  qint64 done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

protocol::Reply perform(const QString& operation, const QString& path, const QString& statement) {
  protocol::Reply reply;
  if (operation == QLatin1String("check")) {
    checkJetFile(path);
  } else if (operation == QLatin1String("snapshot")) {
    const CopyResult copy = copyCompleteExport(path, statement, QByteArray());
    if (copy.kind != CopyResult::Kind::Copied) throw db::Error(copy.message);
  } else if (operation == QLatin1String("tables")) {
    MdbDatabase database(path, false);
    reply.tableNames = database.tableNames();
  } else if (operation == QLatin1String("query")) {
    const sql::Statement parsed = sql::parseStatement(statement);
    const auto* select = std::get_if<sql::SelectStatement>(&parsed);
    if (!select) throw db::Error(QStringLiteral("A query must be a SELECT statement: %1").arg(statement));
    MdbDatabase database(path, false);
    MdbTable table(database, select->table);
    reply.result = selectRows(table, *select);
  } else if (operation == QLatin1String("execute")) {
    const sql::Statement parsed = sql::parseStatement(statement);
    const auto* update = std::get_if<sql::UpdateStatement>(&parsed);
    if (!update) throw db::Error(QStringLiteral("Only UPDATE statements can be executed: %1").arg(statement));
    executeUpdate(path, *update);
  } else {
    throw db::Error(QStringLiteral("Unknown worker operation %1").arg(operation));
  }
  reply.ok = true;
  return reply;
}

}  // namespace

int runWorker(int argc, char** argv) {
  const int answer = takeAnswerChannel();
  if (answer < 0 || argc < 3) {
    std::fprintf(stderr, "usage: zova-db-worker check|snapshot|tables|query|execute FILE [COPY|STATEMENT]\n");
    return 2;
  }
  const QString operation = QString::fromLocal8Bit(argv[1]);
  const QString path = QFile::decodeName(argv[2]);
  const QString statement = argc > 3 ? QString::fromUtf8(argv[3]) : QString();
  protocol::Reply reply;
  try {
    reply = perform(operation, path, statement);
  } catch (const db::Error& error) {
    reply = protocol::Reply();
    reply.message = error.message();
  } catch (const std::exception& error) {
    reply = protocol::Reply();
    reply.message = QStringLiteral("Database engine failure: %1").arg(QString::fromLocal8Bit(error.what()));
  }
  return writeAll(answer, protocol::encodeReply(reply)) ? 0 : 3;
}

}  // namespace db::engine
