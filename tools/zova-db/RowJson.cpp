// JSON text of result rows, written by hand to keep column order and exact doubles.
#include "RowJson.h"

#include <QLocale>
#include <cmath>

namespace zovadb {

namespace {

QString quoted(const QString& text) {
  QString out = QStringLiteral("\"");
  for (QChar c : text) {
    switch (c.unicode()) {
      case '"': out += QStringLiteral("\\\""); break;
      case '\\': out += QStringLiteral("\\\\"); break;
      case '\n': out += QStringLiteral("\\n"); break;
      case '\r': out += QStringLiteral("\\r"); break;
      case '\t': out += QStringLiteral("\\t"); break;
      default:
        if (c.unicode() < 0x20)
          out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
          out += c;
    }
  }
  return out + u'"';
}

QString number(double value) {
  if (!std::isfinite(value)) return QStringLiteral("null");
  // The shortest text that reads back as the same double.
  return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

QString rowToJson(const QStringList& columns, const QVector<db::Field>& values) {
  Q_ASSERT(columns.size() == values.size());
  QString out = QStringLiteral("{");
  for (int i = 0; i < columns.size(); ++i) {
    if (i > 0) out += u',';
    out += quoted(columns[i]) + u':';
    const db::Field& field = values[i];
    switch (field.type) {
      case db::Field::Type::Null: out += QStringLiteral("null"); break;
      case db::Field::Type::Integer: out += QString::number(field.value.toInt()); break;
      case db::Field::Type::Double:
      case db::Field::Type::DateTime: out += number(field.value.toDouble()); break;
      case db::Field::Type::Boolean: out += field.value.toBool() ? QStringLiteral("true") : QStringLiteral("false"); break;
      case db::Field::Type::Text: out += quoted(field.value.toString()); break;
    }
  }
  return out + u'}';
}

}  // namespace zovadb
