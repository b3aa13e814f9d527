// The frames the caller and the database worker exchange over the worker's
// pipes: requests on the worker's standard input, answers on its standard
// output, one answer for each request, in order.
//
// A frame is 8 magic bytes ("ZOVARQ1\n" for a request, "ZOVADB1\n" for an
// answer), a 32-bit big-endian payload length and the payload (a
// QDataStream). A request names the operation, the file, its argument (the
// statement, or the path of the copy to write) and, for a refresh, the hash
// of the copy taken before; for an update, the column values the row must
// still hold and the columns the caller changed. An answer carries a success
// flag, the message and the kind of a failure, table names, for
// a query the columns and rows, and for a copy its outcome and content hash.
// A frame is accepted only when it is complete and its payload parses to its
// last byte; anything else (a crash halfway, stray output) is an unreadable
// frame, never a partial result.
#pragma once

#include <QByteArray>
#include <QPair>
#include <QStringList>
#include <QVector>
#include <optional>

#include "db/sql/ResultTable.h"

namespace db::protocol {

// Column values an update expects the row to hold before it is changed.
using ExpectedValues = db::ExpectedValues;

struct Request {
  QString operation;          // "check", "snapshot", "refresh", "tables", "query", "execute", "allocate"
  QString file;               // the database file the operation works on
  QString argument;           // the statement, the copy path, or a size in MiB
  QByteArray previousHash;    // "refresh": the hash of the copy taken before, or empty
  ExpectedValues expected;    // "execute": values the row must still hold (empty: no condition)
  // "execute": the columns the caller changed (db::Command::setChangedColumns), when given.
  std::optional<QStringList> changedColumns;
};

// What a copy of a database file came to ("snapshot" and "refresh").
enum class CopyOutcome : quint8 { None, Copied, Unchanged, Incomplete, Unreachable };

struct Reply {
  bool ok = false;
  QString message;          // the error when !ok; why for an Incomplete or Unreachable copy
  Error::Kind failure = Error::Kind::Other;  // the error's kind when !ok
  QStringList tableNames;   // the "tables" operation
  ResultTable result;       // the "query" operation
  CopyOutcome copy = CopyOutcome::None;  // the "refresh" operation
  QByteArray hash;          // the "refresh" operation: content hash of the file copied or unchanged
};

// The magic and length in front of every frame.
constexpr int kFrameHeaderBytes = 12;

QByteArray encodeRequest(const Request& request);
QByteArray encodeReply(const Reply& reply);

// Decode one complete frame; throw db::Error when the bytes are not exactly one.
Request decodeRequest(const QByteArray& bytes);
Reply decodeReply(const QByteArray& bytes);

// How far the bytes received so far go towards one answer frame: the size of
// the whole frame once its header is in (-1 before), or throws db::Error when
// the bytes cannot start an answer frame (stray output, a length beyond any
// answer).
qint64 replyFrameSize(const QByteArray& received);
// The same for a request frame.
qint64 requestFrameSize(const QByteArray& received);

}  // namespace db::protocol
