// Connection, dataset and command: the caller's side of the access layer.
//
// The connection parses its string and has the worker check the file on
// open; in read mode it reads the copy adopted by the LocalCopy it was
// opened with, else the worker copies the file into a private snapshot that
// every query of the connection reads. Every query and update is carried out
// by the worker under the deadline; the dataset holds the rows it returned,
// so walking, sorting and reading columns never touch the file.
#include "db/Database.h"

#include <QDir>
#include <algorithm>
#include <cmath>

#include "db/ConnectionString.h"
#include "db/sql/Evaluator.h"
#include "db/copy/LocalCopy.h"
#include "db/file/PrivateFile.h"
#include "db/sql/SqlParser.h"
#include "db/worker/WorkerClient.h"
#include "platform/Logging.h"

namespace db {

namespace {

// Runs a worker operation; messages name the database file, not its copy.
protocol::Reply runOn(worker::Operation operation, const QString& workFile, const QString& dataSource,
                      const QString& statement = QString(), const protocol::ExpectedValues& expected = {},
                      const std::optional<QStringList>& changedColumns = std::nullopt) {
  try {
    return worker::run(operation, workFile, statement, expected, changedColumns);
  } catch (const db::Error& error) {
    QString message = error.message();
    throw db::Error(message.replace(workFile, dataSource), error.kind());
  }
}

}  // namespace

// ---------------------------------------------------------------- Connection

struct Connection::Private {
  QString connectionString;
  ConnectionSettings settings;
  bool open = false;
  SharedFile copy;  // read mode: the snapshot or the keeper's copy, held while open
  // The file operations run on: the copy, or the original when updating.
  QString workFile() const { return copy ? copy->path() : settings.dataSource; }
};

Connection::Connection() : d(std::make_unique<Private>()) {}

Connection::~Connection() { close(); }

void Connection::setConnectionString(const QString& text) { d->connectionString = text; }

QString Connection::connectionString() const { return d->connectionString; }

void Connection::open() {
  close();
  try {
    ConnectionSettings settings = parseConnectionString(d->connectionString);
    d->settings = settings;
    qCDebug(lcDb).noquote() << "Opening" << settings.dataSource << (settings.readOnly ? "to read" : "to update");
    // All file access runs in a worker: a file on a stalled network share
    // must not freeze the caller either.
    if (!settings.readOnly) {
      runOn(worker::Operation::Check, settings.dataSource, settings.dataSource);
    } else {
      SharedFile snapshot = PrivateFile::reserve(QStringLiteral("zova-db-snapshot"), QStringLiteral(".mdb"));
      runOn(worker::Operation::Snapshot, settings.dataSource, settings.dataSource, snapshot->path());
      d->copy = std::move(snapshot);
    }
  } catch (const db::Error& error) {
    qCInfo(lcDb).noquote() << "Open failed:" << error.message();
    d->copy.reset();
    throw;
  }
  d->open = true;
}

void Connection::open(const LocalCopy& planCopy) {
  close();
  try {
    ConnectionSettings settings = parseConnectionString(d->connectionString);
    d->settings = settings;
    qCInfo(lcDb).noquote() << "Opening the copy of" << settings.dataSource << "to read";
    if (!settings.readOnly)
      throw db::Error(QStringLiteral("A copy of %1 is only for reading; the connection is for updating")
                          .arg(settings.dataSource));
    if (QDir::cleanPath(planCopy.source()) != QDir::cleanPath(settings.dataSource))
      qCWarning(lcDb).noquote() << "The copy of" << planCopy.source() << "is read for" << settings.dataSource;
    d->copy = planCopy.readableCopy();
  } catch (const db::Error& error) {
    qCInfo(lcDb).noquote() << "Open failed:" << error.message();
    d->copy.reset();
    throw;
  }
  d->open = true;
}

void Connection::close() {
  if (!d->open) return;
  d->copy.reset();
  d->open = false;
}

bool Connection::isOpen() const { return d->open; }

QString Connection::dataSource() const { return d->settings.dataSource; }

QStringList Connection::tableNames() {
  if (!d->open) open();
  return runOn(worker::Operation::Tables, d->workFile(), d->settings.dataSource).tableNames;
}

// ------------------------------------------------------------------- Dataset

struct Dataset::Private {
  Connection* connection = nullptr;
  QString sql;
  bool open = false;
  ResultTable result;
  int current = 0;
  // The result's column index of each name asked for so far, as written:
  // the rows are read column by column, row after row, by a few names.
  mutable QVector<QPair<QString, int>> indexOf;

  const Field& fieldOf(const QString& column) const {
    if (!open) throw db::Error(QStringLiteral("Dataset is not open (reading column %1)").arg(column));
    if (current >= result.rows.size())
      throw db::Error(QStringLiteral("No current row (reading column %1)").arg(column));
    int index = -1;
    auto known =
        std::find_if(indexOf.cbegin(), indexOf.cend(), [&](const auto& entry) { return entry.first == column; });
    if (known != indexOf.cend()) {
      index = known->second;
    } else {
      index = result.columnIndex(column);
      indexOf.append({column, index});
    }
    if (index < 0) throw db::Error(QStringLiteral("Column %1 does not exist").arg(column));
    return result.rows[current][index];
  }
};

Dataset::Dataset(Connection& connection) : d(std::make_unique<Private>()) { d->connection = &connection; }

Dataset::~Dataset() = default;

void Dataset::close() {
  d->open = false;
  d->result = ResultTable();
  d->indexOf.clear();
  d->current = 0;
}

void Dataset::setSql(const QString& sql) { d->sql = sql; }

QString Dataset::sql() const { return d->sql; }

void Dataset::open() {
  close();
  Connection& connection = *d->connection;
  try {
    const sql::Statement statement = sql::parseStatement(d->sql);
    if (!std::holds_alternative<sql::SelectStatement>(statement))
      throw db::Error(QStringLiteral("A dataset runs only SELECT statements: %1").arg(d->sql));
    // Like the OLE DB provider, a query on a closed connection connects first.
    if (!connection.isOpen()) connection.open();
    d->result = runOn(worker::Operation::Query, connection.d->workFile(), connection.dataSource(), d->sql).result;
  } catch (const db::Error& error) {
    qCInfo(lcDb).noquote() << "Query failed:" << error.message();
    throw;
  }
  d->current = 0;
  d->open = true;
}

bool Dataset::isOpen() const { return d->open; }

void Dataset::sort(const QString& expression) {
  if (!d->open) throw db::Error(QStringLiteral("Dataset is not open (sorting by %1)").arg(expression));
  sortRows(d->result, sql::parseSortExpression(expression));
  d->current = 0;
}

void Dataset::first() { d->current = 0; }

void Dataset::next() {
  if (d->open && d->current < d->result.rows.size()) ++d->current;
}

bool Dataset::eof() const { return !d->open || d->current >= d->result.rows.size(); }

TDateTime Dataset::asDateTime(const QString& column) const {
  const Field& field = d->fieldOf(column);
  switch (field.type) {
    case Field::Type::Null: return 0;
    case Field::Type::DateTime:
    case Field::Type::Double:
    case Field::Type::Integer: return field.value.toDouble();
    case Field::Type::Boolean:
    case Field::Type::Text: break;
  }
  throw db::Error(QStringLiteral("Column %1 does not hold a date").arg(column));
}

qint32 Dataset::asInteger(const QString& column) const {
  const Field& field = d->fieldOf(column);
  switch (field.type) {
    case Field::Type::Null: return 0;
    case Field::Type::Integer: return field.value.toInt();
    case Field::Type::Boolean: return field.value.toBool() ? 1 : 0;
    case Field::Type::Double: {
      const double value = std::round(field.value.toDouble());
      if (std::fabs(value) <= 2147483647.0) return static_cast<qint32>(value);
      break;
    }
    case Field::Type::Text: {
      bool ok = false;
      const qint32 value = field.value.toString().trimmed().toInt(&ok);
      if (ok) return value;
      break;
    }
    case Field::Type::DateTime: break;
  }
  throw db::Error(QStringLiteral("Column %1 does not hold a 32-bit integer").arg(column));
}

bool Dataset::asBoolean(const QString& column) const {
  const Field& field = d->fieldOf(column);
  switch (field.type) {
    case Field::Type::Null: return false;
    case Field::Type::Boolean: return field.value.toBool();
    case Field::Type::Integer:
    case Field::Type::Double: return field.value.toDouble() != 0;
    case Field::Type::Text: {
      const QString text = field.value.toString().trimmed();
      if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
      if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
      bool ok = false;
      const int number = text.toInt(&ok);
      if (ok) return number != 0;
      break;
    }
    case Field::Type::DateTime: break;
  }
  throw db::Error(QStringLiteral("Column %1 does not hold a Boolean").arg(column));
}

QString Dataset::asText(const QString& column) const {
  const Field& field = d->fieldOf(column);
  switch (field.type) {
    case Field::Type::Null: return {};
    case Field::Type::Text: return field.value.toString();
    case Field::Type::Integer: return QString::number(field.value.toInt());
    case Field::Type::Double: return QString::number(field.value.toDouble(), 'g', 15);
    case Field::Type::Boolean: return field.value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case Field::Type::DateTime: {
      // As Jet shows a Date/Time as text: the date alone at midnight.
      const TDateTime value = field.value.toDouble();
      const QString date = zdt::toDate(value).toString(QStringLiteral("dd.MM.yyyy"));
      if (zdt::timeOf(value) == 0) return date;
      return date + u' ' + zdt::toTime(value).toString(QStringLiteral("HH:mm:ss"));
    }
  }
  return {};
}

QStringList Dataset::columnNames() const { return d->result.columnNames(); }

int Dataset::rowCount() const { return d->open ? d->result.rows.size() : 0; }

Field Dataset::field(const QString& column) const { return d->fieldOf(column); }

// ------------------------------------------------------------------- Command

struct Command::Private {
  Connection* connection = nullptr;
  QString text;
  ExpectedValues expected;
  std::optional<QStringList> changedColumns;
};

Command::Command(Connection& connection) : d(std::make_unique<Private>()) { d->connection = &connection; }

Command::~Command() = default;

void Command::setText(const QString& statement) { d->text = statement; }

QString Command::text() const { return d->text; }

void Command::setExpectedValues(const ExpectedValues& values) { d->expected = values; }

void Command::setChangedColumns(const QStringList& columns) { d->changedColumns = columns; }

void Command::clearChangedColumns() { d->changedColumns.reset(); }

void Command::execute() {
  Connection& connection = *d->connection;
  try {
    const sql::Statement statement = sql::parseStatement(d->text);
    if (!std::holds_alternative<sql::UpdateStatement>(statement))
      throw db::Error(QStringLiteral("A command runs only UPDATE statements: %1").arg(d->text));
    if (!connection.isOpen()) connection.open();
    if (connection.d->settings.readOnly)
      throw db::Error(QStringLiteral("The connection to %1 is read-only (Mode=Read)").arg(connection.dataSource()));
    runOn(worker::Operation::Execute, connection.d->workFile(), connection.dataSource(), d->text, d->expected,
          d->changedColumns);
  } catch (const db::Error& error) {
    qCInfo(lcDb).noquote() << "Update failed:" << error.message();
    if (error.kind() == Error::Kind::RowChanged) throw RowChangedError(error.message());
    throw;
  }
}

}  // namespace db
