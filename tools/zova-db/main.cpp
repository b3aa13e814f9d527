// zova-db: a diagnostic tool over the system's own database access layer.
//
//   zova-db tables FILE          the user tables, one per line
//   zova-db query FILE "SQL"     the rows of a SELECT, one JSON object a line
//   zova-db exec FILE "UPDATE"   runs an update on the file itself
//   zova-db --help | --version
//
// Queries read a snapshot (Mode=READ), as the monitor reads its plan; exec
// opens the file shared, as the monitor writes notifications. Any failure is
// one line on stderr naming the file, and exit status 1; a wrong command line
// is the usage on stderr and exit status 2.
#include <QCoreApplication>
#include <QTextStream>

#include "RowJson.h"
#include "db/Database.h"
#include "platform/CommandLine.h"

namespace {

const cli::Program kProgram{
    "zova-db",
    "zova-db tables FILE\nzova-db query FILE \"SELECT ...\"\nzova-db exec FILE \"UPDATE ...\"\n"
    "zova-db --help | --version\n",
    "Looks into a Jet (Access) database through the monitor's own database layer.\n"
    "  tables  the user tables, one per line\n"
    "  query   the rows of a SELECT, one JSON object per line\n"
    "  exec    runs an UPDATE on the file itself\n"
    "Exit status: 0 done, 1 failure (one line on standard error), 2 wrong arguments.\n"
    "See zova-db(1).\n"};

// How many arguments follow the command name, or -1 for an unknown command.
int argumentsOf(const QString& command) {
  if (command == QLatin1String("tables")) return 1;
  if (command == QLatin1String("query") || command == QLatin1String("exec")) return 2;
  return -1;
}

QString connectionString(const QString& file, bool readOnly) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;%2Persist Security Info=False")
      .arg(file, readOnly ? QStringLiteral("Mode=READ;") : QStringLiteral("Mode=Share Deny None;"));
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList parameters = cli::arguments(argc, argv);
  if (const auto status = cli::answerHelpOrVersion(kProgram, parameters)) return *status;
  if (parameters.isEmpty()) return cli::usageError(kProgram, QStringLiteral("a command is missing"));
  const int expected = argumentsOf(parameters[0]);
  if (expected < 0) return cli::usageError(kProgram, QStringLiteral("unknown command ") + parameters[0]);
  if (parameters.size() != expected + 1)
    return cli::usageError(kProgram, parameters[0] + QStringLiteral(" takes %1 argument(s)").arg(expected));

  QCoreApplication app(argc, argv);
  const QString& command = parameters[0];
  const QString& file = parameters[1];
  QTextStream out(stdout);
  try {
    db::Connection connection;
    if (command == QLatin1String("tables")) {
      connection.setConnectionString(connectionString(file, true));
      connection.open();
      for (const QString& name : connection.tableNames()) out << name << '\n';
    } else if (command == QLatin1String("query")) {
      connection.setConnectionString(connectionString(file, true));
      connection.open();
      db::Dataset dataset(connection);
      dataset.setSql(parameters[2]);
      dataset.open();
      const QStringList columns = dataset.columnNames();
      for (dataset.first(); !dataset.eof(); dataset.next()) {
        QVector<db::Field> values;
        for (const QString& column : columns) values.append(dataset.field(column));
        out << zovadb::rowToJson(columns, values) << '\n';
      }
    } else {
      connection.setConnectionString(connectionString(file, false));
      connection.open();
      db::Command update(connection);
      update.setText(parameters[2]);
      update.execute();
    }
    connection.close();
  } catch (const db::Error& error) {
    out.flush();
    return cli::failure(kProgram, file, error.message());
  }
  return 0;
}
