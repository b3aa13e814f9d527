// A stand-in for zova-db-worker that misbehaves on purpose, for the tests of
// the deadline and of answer checking. The first argument chooses how:
//   hang      spins forever          crash     dies by SIGSEGV
//   garbage   prints text            truncated a valid answer cut short
//   silent    exits 1 without output answer    a valid one-row answer
#include <QByteArray>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "db/WorkerProtocol.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* mode = argv[1];
  db::protocol::Reply reply;
  reply.ok = true;
  reply.result.columns = {{"ID", db::ColumnKind::Long}, {"Lehrer", db::ColumnKind::Text, 50}};
  reply.result.rows = {{db::integerField(17), db::textField("Mus")}};
  const QByteArray frame = db::protocol::encodeReply(reply);
  if (!std::strcmp(mode, "hang")) {
    for (volatile unsigned long i = 0;; i = i + 1) {
    }
  } else if (!std::strcmp(mode, "crash")) {
    std::raise(SIGSEGV);
  } else if (!std::strcmp(mode, "garbage")) {
    std::fputs("warning: Invalid page buffer detected in mdb_crack_row.\n", stdout);
  } else if (!std::strcmp(mode, "truncated")) {
    fwrite(frame.constData(), 1, frame.size() - 3, stdout);
  } else if (!std::strcmp(mode, "silent")) {
    return 1;
  } else if (!std::strcmp(mode, "answer")) {
    fwrite(frame.constData(), 1, frame.size(), stdout);
  }
  return 0;
}
