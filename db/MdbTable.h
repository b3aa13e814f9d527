// Reading Jet tables with mdbtools' libmdb: the database file, its user
// tables, and the rows of one table decoded to exact values.
//
// Values are taken from the row on its page, not from libmdb's text
// formatting: Date/Time is the stored 8-byte double, texts are decoded here
// (Jet 4 and ACE: UCS-2, compressed or not; Jet 3: the file's code page
// through libmdb's converter), memos of any length are read by walking their
// LVAL chain with a bound on length and a guard against loops in a damaged
// file. Used only inside the worker process.
#pragma once

#include <QByteArray>
#include <QStringList>

#include "db/ResultTable.h"

struct _MdbHandle;
typedef struct S_MdbTableDef MdbTableDef;

namespace db::engine {

class MdbDatabase {
 public:
  // Opens the file with libmdb (writable for updates); throws db::Error.
  MdbDatabase(const QString& path, bool writable);
  ~MdbDatabase();
  MdbDatabase(const MdbDatabase&) = delete;
  MdbDatabase& operator=(const MdbDatabase&) = delete;

  void* handle() const { return m_handle; }  // the MdbHandle
  QString path() const { return m_path; }
  bool isJet3() const;
  QStringList tableNames() const;

 private:
  QString m_path;
  void* m_handle = nullptr;
};

// One row as read: where it lives, its bytes, and its decoded values.
struct ScannedRow {
  quint32 page = 0;
  int index = 0;                   // its entry in the page's row offset table
  QByteArray bytes;                // the row as stored on the page
  QVector<QByteArray> fieldBytes;  // per column: a null flag byte, then the stored bytes
  ResultRow values;
};

class MdbTable {
 public:
  // Opens the table (name without regard to case); throws db::Error when the
  // database has no such user table.
  MdbTable(MdbDatabase& database, const QString& name, bool withIndexes = false);
  ~MdbTable();
  MdbTable(const MdbTable&) = delete;
  MdbTable& operator=(const MdbTable&) = delete;

  QString name() const { return m_name; }
  const QVector<ColumnInfo>& columns() const { return m_columns; }
  MdbTableDef* definition() const { return m_table; }
  MdbDatabase& database() const { return m_database; }

  void rewind();
  // Fetches the next row into *row; false after the last one. The page of
  // the row stays in libmdb's page buffer until the next call.
  bool next(ScannedRow* row);

 private:
  MdbDatabase& m_database;
  MdbTableDef* m_table = nullptr;
  QString m_name;
  QVector<ColumnInfo> m_columns;
};

// Every row of the table, for a query.
ResultTable readTable(MdbTable& table);

}  // namespace db::engine
