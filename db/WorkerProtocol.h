// The answer the database worker writes to its standard output.
//
// One frame: the 8 bytes "ZOVADB1\n", a 32-bit big-endian payload length and
// the payload (a QDataStream): success flag, message, table names, and for a
// query the columns and rows. The caller accepts an answer only when the
// frame is complete and the payload parses to its last byte; anything else
// (a crash halfway, stray output) is an unreadable answer, never a partial
// result.
#pragma once

#include <QByteArray>
#include <QStringList>

#include "db/ResultTable.h"

namespace db::protocol {

struct Reply {
  bool ok = false;
  QString message;          // the error when !ok
  QStringList tableNames;   // the "tables" operation
  ResultTable result;       // the "query" operation
};

QByteArray encodeReply(const Reply& reply);

// Decodes a complete frame; throws db::Error when the bytes are not exactly one.
Reply decodeReply(const QByteArray& bytes);

}  // namespace db::protocol
