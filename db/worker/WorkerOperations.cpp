// Dispatch of the worker's operations, the reading of requests and the
// writing of answers.
#include "db/worker/WorkerOperations.h"

#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <unistd.h>

#include "db/copy/CompleteExport.h"
#include "db/sql/Evaluator.h"
#include "db/file/JetFile.h"
#include "db/engine/MdbTable.h"
#include "db/engine/MdbUpdate.h"
#include "db/journal/PageJournal.h"
#include "db/sql/SqlParser.h"
#include "db/worker/WorkerProtocol.h"

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
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Reads up to `count` more bytes into `buffer`; false at the end of input.
bool readMore(int fd, QByteArray& buffer, qint64 count) {
  const qsizetype start = buffer.size();
  buffer.resize(start + count);
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data() + start, count);
    if (n < 0 && errno == EINTR) continue;
    buffer.resize(start + qMax<ssize_t>(n, 0));
    return n > 0;
  }
}

// The next request frame from standard input: false at the end of input
// between two requests; throws db::Error for a cut or unreadable frame.
bool readRequest(QByteArray& frame) {
  frame.clear();
  qint64 size = -1;
  while (size < 0 || frame.size() < size) {
    const qint64 wanted = size < 0 ? protocol::kFrameHeaderBytes - frame.size() : size - frame.size();
    if (!readMore(STDIN_FILENO, frame, wanted)) {
      if (frame.isEmpty()) return false;
      throw db::Error(QStringLiteral("The database worker got a request cut short"));
    }
    if (size < 0) size = protocol::requestFrameSize(frame);
  }
  return true;
}

protocol::CopyOutcome outcomeOf(CopyResult::Kind kind) {
  switch (kind) {
    case CopyResult::Kind::Copied: return protocol::CopyOutcome::Copied;
    case CopyResult::Kind::Unchanged: return protocol::CopyOutcome::Unchanged;
    case CopyResult::Kind::Incomplete: return protocol::CopyOutcome::Incomplete;
    case CopyResult::Kind::Unreachable: return protocol::CopyOutcome::Unreachable;
  }
  return protocol::CopyOutcome::None;
}

// Takes `mebibytes` of memory, touches every page and lets go of it.
void allocate(const QString& mebibytes) {
  bool ok = false;
  const qint64 size = mebibytes.toLongLong(&ok) << 20;
  if (!ok || size <= 0) throw db::Error(QStringLiteral("Cannot allocate \"%1\" MiB").arg(mebibytes));
  std::unique_ptr<char[]> block(new (std::nothrow) char[size]);
  if (!block) throw db::Error(QStringLiteral("The database worker cannot take %1 MiB of memory").arg(mebibytes));
  std::memset(block.get(), 1, size);
}

protocol::Reply perform(const protocol::Request& request) {
  const QString& operation = request.operation;
  const QString& path = request.file;
  const QString& statement = request.argument;
  protocol::Reply reply;
  // An update killed halfway is undone before anything else is done with its file.
  if (!path.isEmpty()) recoverInterruptedUpdate(path);
  if (operation == QLatin1String("check")) {
    checkJetFile(path);
  } else if (operation == QLatin1String("snapshot")) {
    const CopyResult copy = copyCompleteExport(path, statement, QByteArray());
    if (copy.kind != CopyResult::Kind::Copied) throw db::Error(copy.message);
  } else if (operation == QLatin1String("refresh")) {
    const CopyResult copy = copyCompleteExport(path, statement, request.previousHash);
    reply.copy = outcomeOf(copy.kind);
    reply.message = copy.message;
    reply.hash = copy.hash;
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
    executeUpdate(path, *update, request.expected, request.changedColumns);
  } else if (operation == QLatin1String("allocate")) {
    allocate(statement);
  } else {
    throw db::Error(QStringLiteral("Unknown worker operation %1").arg(operation));
  }
  reply.ok = true;
  return reply;
}

// The answer to one request: the operation's reply, or its failure.
protocol::Reply answer(const protocol::Request& request) {
  try {
    return perform(request);
  } catch (const db::Error& error) {
    protocol::Reply reply;
    reply.message = error.message();
    reply.failure = error.kind();
    return reply;
  } catch (const std::bad_alloc&) {
    protocol::Reply reply;
    reply.message = QStringLiteral("The database worker ran out of memory on %1").arg(request.file);
    return reply;
  } catch (const std::exception& error) {
    protocol::Reply reply;
    reply.message = QStringLiteral("Database engine failure: %1").arg(QString::fromLocal8Bit(error.what()));
    return reply;
  }
}

}  // namespace

int runWorker(int argc, char** argv) {
  (void)argv;
  const int answerChannel = takeAnswerChannel();
  if (answerChannel < 0 || argc > 1) {
    std::fprintf(stderr, "zova-db-worker takes no arguments; it serves the requests of the database layer on its "
                         "standard input\n");
    return 2;
  }
  QByteArray frame;
  for (;;) {
    protocol::Request request;
    try {
      if (!readRequest(frame)) return 0;
      request = protocol::decodeRequest(frame);
    } catch (const db::Error& error) {
      // The caller and this worker no longer agree where a frame starts.
      protocol::Reply reply;
      reply.message = error.message();
      writeAll(answerChannel, protocol::encodeReply(reply));
      return 2;
    }
    if (!writeAll(answerChannel, protocol::encodeReply(answer(request)))) return 3;
  }
}

}  // namespace db::engine
