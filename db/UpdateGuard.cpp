// Encoding of an UPDATE's expected values for the worker's argument.
#include "db/UpdateGuard.h"

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>

#include "db/ResultTable.h"

namespace db {

const QString kRowChangedMessage = QStringLiteral("The row changed since it was read");

namespace {

const QString kPrefix = QStringLiteral("GUARD1:");
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
// Far more than the fourteen columns of a notification; bounds a damaged count.
constexpr quint32 kMaxValues = 4096;

void writeValue(QDataStream& out, const Field& field) {
  out << static_cast<quint8>(field.type);
  switch (field.type) {
    case Field::Type::Null: break;
    case Field::Type::Integer: out << static_cast<qint32>(field.value.toInt()); break;
    case Field::Type::Double:
    case Field::Type::DateTime: out << field.value.toDouble(); break;
    case Field::Type::Boolean: out << field.value.toBool(); break;
    case Field::Type::Text: out << field.value.toString(); break;
  }
}

// False for an unknown type byte.
bool readValue(QDataStream& in, Field& field) {
  quint8 type = 0;
  in >> type;
  switch (static_cast<Field::Type>(type)) {
    case Field::Type::Null: field = nullField(); return true;
    case Field::Type::Integer: {
      qint32 value = 0;
      in >> value;
      field = integerField(value);
      return true;
    }
    case Field::Type::Double: {
      double value = 0;
      in >> value;
      field = doubleField(value);
      return true;
    }
    case Field::Type::DateTime: {
      double value = 0;
      in >> value;
      field = dateTimeField(value);
      return true;
    }
    case Field::Type::Boolean: {
      bool value = false;
      in >> value;
      field = booleanField(value);
      return true;
    }
    case Field::Type::Text: {
      QString value;
      in >> value;
      field = textField(value);
      return true;
    }
  }
  return false;
}

}  // namespace

QString encodeGuardedStatement(const QString& statement, const ExpectedValues& expected) {
  if (expected.isEmpty()) return statement;
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setVersion(kStreamVersion);
  out << static_cast<quint32>(expected.size());
  for (const auto& [column, value] : expected) {
    out << column;
    writeValue(out, value);
  }
  return kPrefix + QString::fromLatin1(bytes.toBase64()) + u'\n' + statement;
}

GuardedStatement decodeGuardedStatement(const QString& argument) {
  if (!argument.startsWith(kPrefix)) return {argument, {}};
  const qsizetype end = argument.indexOf(u'\n');
  auto damaged = [&] { return db::Error(QStringLiteral("The guard of the update is damaged: %1").arg(argument.left(80))); };
  if (end < 0) throw damaged();
  const auto decoded = QByteArray::fromBase64Encoding(argument.mid(kPrefix.size(), end - kPrefix.size()).toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) throw damaged();
  QDataStream in(*decoded);
  in.setVersion(kStreamVersion);
  quint32 count = 0;
  in >> count;
  if (count == 0 || count > kMaxValues) throw damaged();
  GuardedStatement result;
  result.statement = argument.mid(end + 1);
  for (quint32 i = 0; i < count; ++i) {
    QString column;
    Field value;
    in >> column;
    if (!readValue(in, value) || in.status() != QDataStream::Ok || column.isEmpty()) throw damaged();
    result.expected.append({column, value});
  }
  if (!in.atEnd()) throw damaged();
  return result;
}

}  // namespace db
