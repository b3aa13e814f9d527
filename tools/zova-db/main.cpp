// zova-db: a diagnostic tool over the system's own database access layer.
//
//   zova-db tables FILE          the user tables, one per line
//   zova-db query FILE "SQL"     the rows of a SELECT, one JSON object a line
//   zova-db exec FILE "UPDATE"   runs an update on the file itself
//
// Queries read a snapshot (Mode=READ), as the monitor reads its plan; exec
// opens the file shared, as the monitor writes notifications. Any failure is
// one line on stderr and exit status 1.
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "RowJson.h"
#include "db/Database.h"

namespace {

QString connectionString(const QString& file, bool readOnly) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;%2Persist Security Info=False")
      .arg(file, readOnly ? QStringLiteral("Mode=READ;") : QStringLiteral("Mode=Share Deny None;"));
}

int usage() {
  std::fputs("usage: zova-db tables FILE | query FILE \"SELECT ...\" | exec FILE \"UPDATE ...\"\n", stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) return usage();
  const QString command = args[1];
  const QString file = args[2];
  QTextStream out(stdout);
  try {
    db::Connection connection;
    if (command == QLatin1String("tables") && args.size() == 3) {
      connection.setConnectionString(connectionString(file, true));
      connection.open();
      for (const QString& name : connection.tableNames()) out << name << '\n';
    } else if (command == QLatin1String("query") && args.size() == 4) {
      connection.setConnectionString(connectionString(file, true));
      connection.open();
      db::Dataset dataset(connection);
      dataset.setSql(args[3]);
      dataset.open();
      const QStringList columns = dataset.columnNames();
      for (dataset.first(); !dataset.eof(); dataset.next()) {
        QVector<db::Field> values;
        for (const QString& column : columns) values.append(dataset.field(column));
        out << zovadb::rowToJson(columns, values) << '\n';
      }
    } else if (command == QLatin1String("exec") && args.size() == 4) {
      connection.setConnectionString(connectionString(file, false));
      connection.open();
      db::Command update(connection);
      update.setText(args[3]);
      update.execute();
    } else {
      return usage();
    }
    connection.close();
  } catch (const db::Error& error) {
    out.flush();
    std::fprintf(stderr, "zova-db: %s\n", QString(error.message()).simplified().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
