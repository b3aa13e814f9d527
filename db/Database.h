// Access to Jet (Access) database files: connection, dataset and command.
//
// This is the whole interface the system's own code sees. The connection
// string is the Jet OLE DB form ("Provider=Microsoft.Jet.OLEDB.4.0;Data
// Source=<file>;Mode=...;Persist Security Info=False;"); statements are the
// Jet SQL subset the monitor sends (SELECT * FROM one table with WHERE and
// ORDER BY, UPDATE one table SET ... WHERE ID=n). Every failure is thrown as
// db::Error with a message naming the file, table, column or statement.
//
// Reading works on a private copy of the file, so a file that is being
// rewritten never yields a mixed version: the copy kept current by a
// LocalCopy (db/copy/LocalCopy.h) that the caller opens the connection with,
// else a snapshot taken when the connection opens in read mode. Each operation on a file runs
// under a deadline in a long-lived worker process; a hang or crash of the
// engine is a failed operation, never a frozen monitor.
#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <stdexcept>

#include "platform/DateTime.h"

namespace db {

class Error : public std::runtime_error {
 public:
  // Why an operation failed, as far as a caller may act on it: the row
  // changed or is gone since it was read (RowChangedError), the file or its
  // folder takes no writes, the disk or quota is full, the file, the share or
  // the worker gave no answer in time (the deadline, a lock another program
  // holds), anything else.
  enum class Kind { Other, RowChanged, ReadOnly, NoSpace, NoAnswer };

  explicit Error(const QString& message, Kind kind = Kind::Other)
      : std::runtime_error(message.toStdString()), m_kind(kind) {}
  QString message() const { return QString::fromStdString(what()); }
  Kind kind() const { return m_kind; }

 private:
  Kind m_kind;
};

// The row an UPDATE was meant for no longer holds the values read from it,
// or is gone (Command::setExpectedValues). Nothing was written.
class RowChangedError : public Error {
 public:
  explicit RowChangedError(const QString& message) : Error(message, Kind::RowChanged) {}
};

// The longest one open, query or update may take, in milliseconds.
constexpr int kDeadlineMs = 10000;

class LocalCopy;

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setConnectionString(const QString& text);
  QString connectionString() const;

  // Parses the connection string and opens the database file; throws db::Error
  // for an unknown provider, a missing Data Source, a missing file or a file
  // that is not a Jet 3, Jet 4 or ACE database. In read mode the worker
  // first takes a snapshot of the file, which may take as long as the
  // deadline on a slow share.
  void open();
  // Opens the connection on the copy `planCopy` adopted (it must keep the
  // file the connection string names, in read mode); starts no process and
  // never waits for the file. Throws db::Error as LocalCopy::readableCopy
  // when there is no readable copy, and for a connection string that is not
  // for reading. The connection holds the copy while it is open.
  void open(const LocalCopy& planCopy);
  // Releases the file (and its copy); no effect when closed.
  void close();
  bool isOpen() const;

  // The database file named by the connection string (valid after open).
  QString dataSource() const;
  // The user tables of the open database, as the file names them.
  QStringList tableNames();

 private:
  friend class Dataset;
  friend class Command;
  struct Private;
  std::unique_ptr<Private> d;
};

// One column value of a result row. Date/Time values are day-count doubles.
struct Field {
  enum class Type { Null, Integer, Double, DateTime, Boolean, Text };
  Type type = Type::Null;
  QVariant value;
};

// Field constructors for the value kinds.
inline Field nullField() { return Field{}; }
inline Field integerField(qint32 value) { return Field{Field::Type::Integer, QVariant(value)}; }
inline Field doubleField(double value) { return Field{Field::Type::Double, QVariant(value)}; }
inline Field dateTimeField(double value) { return Field{Field::Type::DateTime, QVariant(value)}; }
inline Field booleanField(bool value) { return Field{Field::Type::Boolean, QVariant(value)}; }
inline Field textField(const QString& value) { return Field{Field::Type::Text, QVariant(value)}; }
inline Field textField(QString&& value) { return Field{Field::Type::Text, QVariant(std::move(value))}; }

// The guard of an UPDATE: each column name with the value read from it,
// which the row must still hold when the update is carried out. A NULL in
// the row equals the value it reads as (0, false, the empty text), as the
// reader saw it.
using ExpectedValues = QVector<QPair<QString, Field>>;

class Dataset {
 public:
  explicit Dataset(Connection& connection);
  ~Dataset();
  Dataset(const Dataset&) = delete;
  Dataset& operator=(const Dataset&) = delete;

  void close();
  void setSql(const QString& sql);
  QString sql() const;
  // Runs the query on the open connection and stands on the first row.
  void open();
  bool isOpen() const;
  // Reorders the opened result: "Datum ASC", "ID", "A DESC, B" ...
  void sort(const QString& expression);

  void first();
  void next();
  bool eof() const;

  // Column values of the current row by name (case-insensitive). NULL reads
  // as 0, false or the empty text; a missing column or a value that does not
  // convert throws db::Error.
  TDateTime asDateTime(const QString& column) const;
  qint32 asInteger(const QString& column) const;
  bool asBoolean(const QString& column) const;
  QString asText(const QString& column) const;

  QStringList columnNames() const;
  int rowCount() const;
  // The raw value of the current row's column (for tools that print rows).
  Field field(const QString& column) const;

 private:
  struct Private;
  std::unique_ptr<Private> d;
};

class Command {
 public:
  explicit Command(Connection& connection);
  ~Command();
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  void setText(const QString& statement);
  QString text() const;
  // The values the row must still hold for the UPDATE to be carried out
  // (column and value as read); empty: no such check. A caller that writes
  // back a whole row it read earlier (the notification store) hands them
  // over, so that a change another program made in between is never
  // overwritten: the worker compares them with the row just before it
  // writes and writes nothing when any differs or the row is gone. They
  // stay set until replaced.
  void setExpectedValues(const ExpectedValues& values);
  // The columns whose values the caller changed since it read the row (any
  // letter case). Given together with expected values, the update is carried
  // out on the row as it is in the file at that moment: each of these
  // columns must still hold the value read (or already the new one), the
  // other columns are neither compared nor written whatever the statement
  // assigns them, and only these columns are written. An empty list writes
  // nothing and only checks that the row is still there. They stay set until
  // replaced or cleared; cleared, the statement is carried out as it stands.
  void setChangedColumns(const QStringList& columns);
  void clearChangedColumns();
  // Runs a statement that returns no rows; throws db::Error on any failure,
  // including an update that did not reach the file exactly as asked, and
  // db::RowChangedError when the row no longer holds the expected values
  // (nothing is written then). The error's kind says why it failed.
  void execute();

 private:
  struct Private;
  std::unique_ptr<Private> d;
};

}  // namespace db
