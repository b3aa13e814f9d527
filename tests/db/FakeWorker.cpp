// A stand-in for zova-db-worker that misbehaves on purpose, for the tests of
// the deadline, of answer checking and of the worker's lifetime. It reads
// request frames from its standard input like the real worker; the first
// argument chooses how it answers:
//   hang        reads nothing, waits forever      crash      dies by SIGABRT
//   garbage     prints text                       truncated  a valid answer cut short
//   silent      exits 1 without output            answer     a valid one-row answer, for every request
//   echo        a row of what the request held    once       answers one request, then exits
//   incomplete  refreshes: Incomplete at odd requests, a copy of the file at even ones
//   allocate    tries to take the request's argument in MiB and says whether it could
#include <QByteArray>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "db/worker/WorkerProtocol.h"

namespace {

// The next whole request from standard input; false at its end.
bool readRequest(db::protocol::Request& request) {
  QByteArray frame;
  qint64 size = -1;
  while (size < 0 || frame.size() < size) {
    char byte;
    if (::read(STDIN_FILENO, &byte, 1) != 1) return false;
    frame.append(byte);
    if (size < 0) size = db::protocol::requestFrameSize(frame);
  }
  request = db::protocol::decodeRequest(frame);
  return true;
}

void write(const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

db::protocol::Reply oneRow() {
  db::protocol::Reply reply;
  reply.ok = true;
  reply.result.columns = {{"ID", db::ColumnKind::Long}, {"Lehrer", db::ColumnKind::Text, 50}};
  reply.result.rows = {{db::integerField(17), db::textField("Mus")}};
  return reply;
}

db::protocol::Reply echo(const db::protocol::Request& request) {
  db::protocol::Reply reply;
  reply.ok = true;
  reply.result.columns = {{"Operation", db::ColumnKind::Text}, {"File", db::ColumnKind::Text},
                          {"Argument", db::ColumnKind::Text},  {"Expected", db::ColumnKind::Text},
                          {"Process", db::ColumnKind::Long}};
  QString expected;
  for (const auto& [column, value] : request.expected) expected += column + u'=' + value.value.toString() + u';';
  reply.result.rows = {{db::textField(request.operation), db::textField(request.file),
                        db::textField(request.argument), db::textField(expected), db::integerField(::getpid())}};
  return reply;
}

db::protocol::Reply refresh(const db::protocol::Request& request, int count) {
  db::protocol::Reply reply;
  reply.ok = true;
  if (count % 2 == 1) {
    reply.copy = db::protocol::CopyOutcome::Incomplete;
    reply.message = request.file + QStringLiteral(" is being written");
  } else if (QFile::copy(request.file, request.argument)) {
    reply.copy = db::protocol::CopyOutcome::Copied;
    reply.hash = QByteArray::number(count);
  } else {
    reply.copy = db::protocol::CopyOutcome::Unreachable;
    reply.message = request.file + QStringLiteral(" cannot be copied");
  }
  return reply;
}

db::protocol::Reply allocate(const db::protocol::Request& request) {
  db::protocol::Reply reply;
  void* block = std::malloc(static_cast<size_t>(request.argument.toLongLong()) << 20);
  reply.ok = block != nullptr;
  if (!block) reply.message = QStringLiteral("cannot take %1 MiB").arg(request.argument);
  std::free(block);
  return reply;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* mode = argv[1];
  if (!std::strcmp(mode, "hang")) {
    for (;;) ::pause();
  }
  db::protocol::Request request;
  for (int count = 1; readRequest(request); ++count) {
    const QByteArray frame = db::protocol::encodeReply(oneRow());
    if (!std::strcmp(mode, "crash")) {
      std::abort();  // not SIGSEGV, which AddressSanitizer turns into an exit
    } else if (!std::strcmp(mode, "garbage")) {
      write("warning: Invalid page buffer detected in mdb_crack_row.\n");
      return 0;
    } else if (!std::strcmp(mode, "truncated")) {
      write(frame.left(frame.size() - 3));
      return 0;
    } else if (!std::strcmp(mode, "silent")) {
      return 1;
    } else if (!std::strcmp(mode, "answer")) {
      write(frame);
    } else if (!std::strcmp(mode, "echo")) {
      write(db::protocol::encodeReply(echo(request)));
    } else if (!std::strcmp(mode, "once")) {
      write(db::protocol::encodeReply(echo(request)));
      return 0;
    } else if (!std::strcmp(mode, "incomplete")) {
      write(db::protocol::encodeReply(refresh(request, count)));
    } else if (!std::strcmp(mode, "allocate")) {
      write(db::protocol::encodeReply(allocate(request)));
    }
  }
  return 0;
}
