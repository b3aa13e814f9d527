// zova-db-tickoff-writer FILE MODE ID: one writer of the shared notification
// file, for the tests of several screens writing at the same moment. It
// writes with the settings (and so the journal folder) its environment
// names, one update a round: it reads a line from its standard input ("go")
// and answers with one line, "ok" or "failed KIND MESSAGE" (KIND the number
// of db::Error::Kind).
//
// MODE tick: ticks row ID on as the notification store does - the whole
// row's UPDATE with whole-second times, the row as read as expected values
// and Status, one up each round, as the only changed column.
// MODE remark: writes a new Bemerkung into row ID each round ("Runde N"),
// guarded by the Bemerkung read, without changed columns, as a plain
// guarded update does.
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "db/Database.h"
#include "db/sql/ResultTable.h"

namespace {

const QString kTable = QStringLiteral("BenachrichtigungsTabelle");

QString connectionTo(const QString& path) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=Share Deny None;Persist Security Info=False")
      .arg(path);
}

// A value as the notification store writes it into its UPDATE (times to
// the whole second).
QString literal(const db::Field& field) {
  switch (field.type) {
    case db::Field::Type::Null: return QStringLiteral("''");
    case db::Field::Type::Boolean: return field.value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case db::Field::Type::DateTime: {
      const TDateTime value = field.value.toDouble();
      return u'#' + zdt::toDate(value).toString(QStringLiteral("MM/dd/yyyy")) + u' ' +
             zdt::toTime(value).toString(QStringLiteral("HH.mm.ss")) + u'#';
    }
    case db::Field::Type::Text: return u'\'' + field.value.toString().replace(u'\'', QStringLiteral("''")) + u'\'';
    default: return u'\'' + QString::number(field.value.toLongLong()) + u'\'';
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: zova-db-tickoff-writer FILE tick|remark ID\n");
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  const bool tick = std::string(argv[2]) == "tick";
  const int id = QString::fromLatin1(argv[3]).toInt();

  db::Connection connection;
  connection.setConnectionString(connectionTo(path));
  db::ExpectedValues asRead;
  QStringList names;
  {
    db::Dataset row(connection);
    row.setSql(QStringLiteral("SELECT * FROM %1 WHERE ID=%2").arg(kTable).arg(id));
    row.open();
    names = row.columnNames();
    for (const QString& name : names) asRead.append({name, row.field(name)});
  }
  connection.close();

  int round = 0;
  for (std::string line; std::getline(std::cin, line);) {
    ++round;
    db::Command command(connection);
    QString statement;
    db::ExpectedValues next = asRead;
    if (tick) {
      const int status = names.indexOf(QStringLiteral("Status"));
      next[status].second = db::integerField(next[status].second.value.toInt() + 1);
      QStringList assignments;
      for (int c = 1; c < next.size(); ++c) assignments.append(next[c].first + u'=' + literal(next[c].second));
      statement = QStringLiteral("UPDATE %1 SET %2 WHERE ID=%3").arg(kTable, assignments.join(QStringLiteral(", "))).arg(id);
      command.setExpectedValues(asRead);
      command.setChangedColumns({QStringLiteral("Status")});
    } else {
      const int bemerkung = names.indexOf(QStringLiteral("Bemerkung"));
      const QString text = QStringLiteral("Runde %1").arg(round, 4, 10, QLatin1Char('0'));
      next[bemerkung].second = db::textField(text);
      statement = QStringLiteral("UPDATE %1 SET Bemerkung='%2' WHERE ID=%3").arg(kTable, text).arg(id);
      command.setExpectedValues({asRead[bemerkung]});
    }
    command.setText(statement);
    try {
      command.execute();
      asRead = next;
      std::printf("ok\n");
    } catch (const db::Error& error) {
      std::printf("failed %d %s\n", static_cast<int>(error.kind()), error.message().simplified().toLocal8Bit().constData());
    }
    std::fflush(stdout);
    connection.close();
  }
  return 0;
}
