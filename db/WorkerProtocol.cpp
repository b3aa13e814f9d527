// Framing and (de)serialisation of the worker's answer.
#include "db/WorkerProtocol.h"

#include <QDataStream>
#include <QIODevice>

namespace db::protocol {

namespace {

const QByteArray kMagic("ZOVADB1\n");
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
// Far above any plan or notification table; guards the allocation against
// a garbage length.
constexpr quint32 kMaxPayload = 1u << 30;
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

[[noreturn]] void unreadable(const QString& why) {
  throw db::Error(QStringLiteral("The database worker gave an unreadable answer (%1)").arg(why));
}

}  // namespace

QByteArray encodeReply(const Reply& reply) {
  QByteArray payload;
  {
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << reply.ok << reply.message << reply.tableNames;
    out << static_cast<quint32>(reply.result.columns.size());
    for (const ColumnInfo& column : reply.result.columns)
      out << column.name << static_cast<quint8>(column.kind) << qint32(column.maxChars) << column.indexed;
    out << static_cast<quint32>(reply.result.rows.size());
    for (const ResultRow& row : reply.result.rows) {
      Q_ASSERT(row.size() == reply.result.columns.size());
      for (const Field& field : row) writeField(out, field);
    }
  }
  QByteArray frame = kMagic;
  QDataStream header(&frame, QIODevice::Append);
  header << static_cast<quint32>(payload.size());
  frame.append(payload);
  return frame;
}

Reply decodeReply(const QByteArray& bytes) {
  if (bytes.isEmpty()) unreadable(QStringLiteral("no output"));
  if (!bytes.startsWith(kMagic) || bytes.size() < kMagic.size() + 4)
    unreadable(QStringLiteral("no answer frame"));
  QDataStream header(bytes.mid(kMagic.size(), 4));
  quint32 length = 0;
  header >> length;
  if (length > kMaxPayload || bytes.size() != kMagic.size() + 4 + qint64(length))
    unreadable(QStringLiteral("frame length does not match"));
  const QByteArray payload = bytes.mid(kMagic.size() + 4);
  QDataStream in(payload);
  in.setVersion(kStreamVersion);
  Reply reply;
  quint32 columnCount = 0, rowCount = 0;
  in >> reply.ok >> reply.message >> reply.tableNames >> columnCount;
  if (in.status() != QDataStream::Ok || columnCount > kMaxCount) unreadable(QStringLiteral("bad header"));
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
  if (in.status() != QDataStream::Ok || rowCount > kMaxCount) unreadable(QStringLiteral("bad row count"));
  for (quint32 r = 0; r < rowCount; ++r) {
    ResultRow row(columnCount);
    for (quint32 c = 0; c < columnCount; ++c) {
      if (!readField(in, row[c])) unreadable(QStringLiteral("bad value in row %1").arg(r + 1));
    }
    reply.result.rows.append(row);
  }
  if (in.status() != QDataStream::Ok || !in.atEnd()) unreadable(QStringLiteral("trailing bytes"));
  return reply;
}

}  // namespace db::protocol
