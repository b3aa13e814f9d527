// Framing and (de)serialisation of the worker's requests and answers.
#include "db/worker/WorkerProtocol.h"

#include <QDataStream>
#include <QIODevice>

namespace db::protocol {

namespace {

const QByteArray kRequestMagic("ZOVARQ1\n");
const QByteArray kReplyMagic("ZOVADB1\n");
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
// Far above any plan or notification table; guards the allocation against
// a garbage length.
constexpr quint32 kMaxPayload = 1u << 30;
// A request holds a statement and a few paths.
constexpr quint32 kMaxRequestPayload = 16u << 20;
constexpr quint32 kMaxCount = 1u << 24;

void writeField(QDataStream& out, const Field& field) {
  out << static_cast<quint8>(field.type);
  switch (field.type) {
    case Field::Type::Null: break;
    case Field::Type::Integer: out << field.value.toInt(); break;
    case Field::Type::Double:
    case Field::Type::DateTime: out << field.value.toDouble(); break;
    case Field::Type::Boolean: out << field.value.toBool(); break;
    case Field::Type::Text: out << field.value.toString(); break;
  }
}

bool readField(QDataStream& in, Field& field) {
  quint8 type = 0;
  in >> type;
  switch (static_cast<Field::Type>(type)) {
    case Field::Type::Null: field = nullField(); break;
    case Field::Type::Integer: {
      qint32 v = 0;
      in >> v;
      field = integerField(v);
      break;
    }
    case Field::Type::Double:
    case Field::Type::DateTime: {
      double v = 0;
      in >> v;
      field = static_cast<Field::Type>(type) == Field::Type::Double ? doubleField(v) : dateTimeField(v);
      break;
    }
    case Field::Type::Boolean: {
      bool v = false;
      in >> v;
      field = booleanField(v);
      break;
    }
    case Field::Type::Text: {
      QString v;
      in >> v;
      field = textField(v);
      break;
    }
    default: return false;
  }
  return in.status() == QDataStream::Ok;
}

// Bytes not yet read from the payload: a count read from a damaged frame is
// checked against them before anything is allocated for it.
qint64 remaining(const QDataStream& in) { return in.device()->bytesAvailable(); }

// A string list, its count checked first (each string takes at least 4 bytes).
bool readStringList(QDataStream& in, QStringList& list) {
  quint32 count = 0;
  in >> count;
  if (in.status() != QDataStream::Ok || count > remaining(in) / 4) return false;
  for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
    QString text;
    in >> text;
    list.append(text);
  }
  return in.status() == QDataStream::Ok;
}

[[noreturn]] void unreadable(const QString& why) {
  throw db::Error(QStringLiteral("The database worker gave an unreadable answer (%1)").arg(why));
}

[[noreturn]] void unreadableRequest(const QString& why) {
  throw db::Error(QStringLiteral("The database worker got an unreadable request (%1)").arg(why));
}

QByteArray frame(const QByteArray& magic, const QByteArray& payload) {
  QByteArray bytes = magic;
  QDataStream header(&bytes, QIODevice::Append);
  header << static_cast<quint32>(payload.size());
  bytes.append(payload);
  return bytes;
}

// The frame size announced by the header, -1 while the header is not in;
// an empty QString in *why when the bytes can start a frame.
qint64 frameSize(const QByteArray& magic, quint32 maxPayload, const QByteArray& received, QString* why) {
  if (!magic.startsWith(received.left(magic.size()))) {
    *why = received.isEmpty() ? QStringLiteral("no output") : QStringLiteral("no answer frame");
    return -1;
  }
  if (received.size() < kFrameHeaderBytes) return -1;
  QDataStream header(received.mid(magic.size(), 4));
  quint32 length = 0;
  header >> length;
  if (length > maxPayload) {
    *why = QStringLiteral("frame length does not match");
    return -1;
  }
  return kFrameHeaderBytes + qint64(length);
}

// The payload of exactly one frame; `fail` is called for anything else.
QByteArray payloadOf(const QByteArray& magic, quint32 maxPayload, const QByteArray& bytes,
                     void (*fail)(const QString&)) {
  QString why;
  const qint64 size = frameSize(magic, maxPayload, bytes, &why);
  if (!why.isEmpty()) fail(why);
  if (size < 0) fail(bytes.isEmpty() ? QStringLiteral("no output") : QStringLiteral("no answer frame"));
  if (bytes.size() != size) fail(QStringLiteral("frame length does not match"));
  return bytes.mid(kFrameHeaderBytes);
}

}  // namespace

QByteArray encodeRequest(const Request& request) {
  QByteArray payload;
  {
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << request.operation << request.file << request.argument << request.previousHash;
    out << static_cast<quint32>(request.expected.size());
    for (const auto& [column, value] : request.expected) {
      out << column;
      writeField(out, value);
    }
    out << request.changedColumns.has_value() << request.changedColumns.value_or(QStringList());
  }
  return frame(kRequestMagic, payload);
}

QByteArray encodeReply(const Reply& reply) {
  QByteArray payload;
  {
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << reply.ok << reply.message << static_cast<quint8>(reply.failure) << reply.tableNames;
    out << static_cast<quint32>(reply.result.columns.size());
    for (const ColumnInfo& column : reply.result.columns)
      out << column.name << static_cast<quint8>(column.kind) << qint32(column.maxChars) << column.indexed;
    out << static_cast<quint32>(reply.result.rows.size());
    for (const ResultRow& row : reply.result.rows) {
      Q_ASSERT(row.size() == reply.result.columns.size());
      for (const Field& field : row) writeField(out, field);
    }
    out << static_cast<quint8>(reply.copy) << reply.hash;
  }
  return frame(kReplyMagic, payload);
}

Request decodeRequest(const QByteArray& bytes) {
  const QByteArray payload =
      payloadOf(kRequestMagic, kMaxRequestPayload, bytes, [](const QString& why) { unreadableRequest(why); });
  QDataStream in(payload);
  in.setVersion(kStreamVersion);
  Request request;
  quint32 expectedCount = 0;
  in >> request.operation >> request.file >> request.argument >> request.previousHash >> expectedCount;
  // An expected value takes at least 5 bytes.
  if (in.status() != QDataStream::Ok || expectedCount > remaining(in) / 5)
    unreadableRequest(QStringLiteral("bad header"));
  for (quint32 i = 0; i < expectedCount; ++i) {
    QString column;
    Field value;
    in >> column;
    if (!readField(in, value)) unreadableRequest(QStringLiteral("bad expected value %1").arg(i + 1));
    request.expected.append({column, value});
  }
  bool changedGiven = false;
  QStringList changed;
  in >> changedGiven;
  if (!readStringList(in, changed)) unreadableRequest(QStringLiteral("bad changed columns"));
  if (changedGiven) request.changedColumns = changed;
  if (in.status() != QDataStream::Ok || !in.atEnd()) unreadableRequest(QStringLiteral("trailing bytes"));
  return request;
}

Reply decodeReply(const QByteArray& bytes) {
  const QByteArray payload = payloadOf(kReplyMagic, kMaxPayload, bytes, [](const QString& why) { unreadable(why); });
  QDataStream in(payload);
  in.setVersion(kStreamVersion);
  Reply reply;
  quint32 columnCount = 0, rowCount = 0;
  quint8 failure = 0;
  in >> reply.ok >> reply.message >> failure;
  if (failure > static_cast<quint8>(Error::Kind::NoAnswer)) unreadable(QStringLiteral("bad failure kind"));
  reply.failure = static_cast<Error::Kind>(failure);
  if (!readStringList(in, reply.tableNames)) unreadable(QStringLiteral("bad table names"));
  in >> columnCount;
  // A column takes at least 10 bytes.
  if (in.status() != QDataStream::Ok || columnCount > kMaxCount || columnCount > remaining(in) / 10)
    unreadable(QStringLiteral("bad header"));
  for (quint32 i = 0; i < columnCount; ++i) {
    ColumnInfo column;
    quint8 kind = 0;
    qint32 maxChars = 0;
    in >> column.name >> kind >> maxChars >> column.indexed;
    if (kind > static_cast<quint8>(ColumnKind::Other)) unreadable(QStringLiteral("bad column kind"));
    column.kind = static_cast<ColumnKind>(kind);
    column.maxChars = maxChars;
    reply.result.columns.append(column);
  }
  in >> rowCount;
  // A value takes at least one byte.
  if (in.status() != QDataStream::Ok || rowCount > kMaxCount ||
      (columnCount > 0 && rowCount > remaining(in) / columnCount))
    unreadable(QStringLiteral("bad row count"));
  for (quint32 r = 0; r < rowCount; ++r) {
    ResultRow row(columnCount);
    for (quint32 c = 0; c < columnCount; ++c) {
      if (!readField(in, row[c])) unreadable(QStringLiteral("bad value in row %1").arg(r + 1));
    }
    reply.result.rows.append(row);
  }
  quint8 copy = 0;
  in >> copy >> reply.hash;
  if (copy > static_cast<quint8>(CopyOutcome::Unreachable)) unreadable(QStringLiteral("bad copy outcome"));
  reply.copy = static_cast<CopyOutcome>(copy);
  if (in.status() != QDataStream::Ok || !in.atEnd()) unreadable(QStringLiteral("trailing bytes"));
  return reply;
}

qint64 replyFrameSize(const QByteArray& received) {
  QString why;
  const qint64 size = frameSize(kReplyMagic, kMaxPayload, received, &why);
  if (!why.isEmpty() && !received.isEmpty()) unreadable(why);
  return size;
}

qint64 requestFrameSize(const QByteArray& received) {
  QString why;
  const qint64 size = frameSize(kRequestMagic, kMaxRequestPayload, received, &why);
  if (!why.isEmpty() && !received.isEmpty()) unreadableRequest(why);
  return size;
}

}  // namespace db::protocol
