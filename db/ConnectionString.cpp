// Parsing of the Jet OLE DB connection string.
#include "db/ConnectionString.h"

#include "db/Database.h"

namespace db {

namespace {

QString unquoted(const QString& value) {
  const QString v = value.trimmed();
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
    return v.mid(1, v.size() - 2);
  return v;
}

// Splits at ";" outside quotes.
QStringList properties(const QString& text) {
  QStringList parts;
  QString current;
  QChar quote;
  for (QChar c : text) {
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
      current.append(c);
    } else if (c == u'"' || c == u'\'') {
      quote = c;
      current.append(c);
    } else if (c == u';') {
      parts.append(current);
      current.clear();
    } else {
      current.append(c);
    }
  }
  if (!quote.isNull()) throw db::Error(QStringLiteral("Connection string has an unclosed quote: %1").arg(text));
  parts.append(current);
  return parts;
}

}  // namespace

ConnectionSettings parseConnectionString(const QString& text) {
  ConnectionSettings settings;
  bool haveDataSource = false;
  for (const QString& part : properties(text)) {
    if (part.trimmed().isEmpty()) continue;
    const int equals = part.indexOf(u'=');
    if (equals <= 0)
      throw db::Error(QStringLiteral("Connection string property \"%1\" has no value").arg(part.trimmed()));
    const QString name = part.left(equals).simplified();
    const QString value = unquoted(part.mid(equals + 1));
    if (name.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0) {
      settings.provider = value;
    } else if (name.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0) {
      settings.dataSource = value;
      haveDataSource = true;
    } else if (name.compare(QLatin1String("Mode"), Qt::CaseInsensitive) == 0) {
      settings.mode = value;
    }
  }
  static const char* const providers[] = {"Microsoft.Jet.OLEDB.4.0", "Microsoft.ACE.OLEDB.12.0",
                                          "Microsoft.ACE.OLEDB.16.0"};
  bool known = false;
  for (const char* provider : providers)
    known = known || settings.provider.compare(QLatin1String(provider), Qt::CaseInsensitive) == 0;
  if (!known) {
    throw db::Error(settings.provider.isEmpty()
                        ? QStringLiteral("Connection string names no Provider")
                        : QStringLiteral("Provider %1 is not supported (only Microsoft.Jet.OLEDB.4.0)")
                              .arg(settings.provider));
  }
  if (!haveDataSource || settings.dataSource.isEmpty())
    throw db::Error(QStringLiteral("Connection string names no Data Source"));
  settings.readOnly = settings.mode.simplified().compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
  return settings;
}

}  // namespace db
