// Writes new Jet 4 (Access 2000-2003) database files.
//
// Test fixtures and the demo plan are real .mdb files made by this writer:
// a header page, the system catalog readers use to find tables, and user
// tables with their rows. It writes whole new files only; it never edits an
// existing one. What it cannot write faithfully (an over-long Text value, a
// row whose fixed part does not fit a page, an unknown type) is refused with
// jet::WriteError before any file is created.
#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <stdexcept>

namespace jet {

class WriteError : public std::runtime_error {
 public:
  explicit WriteError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

enum class ColumnType { Long, Integer, Byte, Boolean, Double, DateTime, Text, Memo };

struct Column {
  QString name;
  ColumnType type = ColumnType::Text;
  int textLength = 255;     // Text columns: the longest value in characters (1..255)
  bool primaryKey = false;  // Long columns only: a primary-key index on this column
};

// One row: one value per column, in column order. A null QVariant is NULL;
// DateTime values are day-count doubles (see platform/DateTime.h); texts are
// QStrings; Boolean a bool; the integer types any integral QVariant.
using Row = QVector<QVariant>;

struct Table {
  QString name;
  QVector<Column> columns;
  QVector<Row> rows;
};

class Database {
 public:
  // Adds an empty table and returns it for filling in its rows. The reference
  // stays valid only until the next addTable (the tables live in one vector).
  Table& addTable(const QString& name, const QVector<Column>& columns);
  const QVector<Table>& tables() const { return m_tables; }

  // Writes the file: to a temporary name in the same folder, renamed over
  // `path` only when complete. Throws WriteError (and leaves nothing behind)
  // on a value it cannot store or a folder it cannot write.
  void write(const QString& path) const;

 private:
  QVector<Table> m_tables;
};

}  // namespace jet
