// Reading Jet tables with mdbtools' libmdb: the database file, its user
// tables, and the rows of one table decoded to exact values.
//
// Values are taken from the row on its page, not from libmdb's text
// formatting: Date/Time is the stored 8-byte double, texts are decoded here
// (Jet 4 and ACE: UCS-2, compressed or not; Jet 3: the file's code page
// through libmdb's converter), memos of any length are read by walking their
// LVAL chain with a bound on length and a guard against loops in a damaged
// file. Every offset and length taken from the file (row offsets, field
// places and sizes, memo headers, long-value rows, usage maps) is checked
// against its page and the file before it is used; a damaged file is a
// db::Error naming the table and what is damaged, never a read outside a
// buffer. Used only inside the worker process.
#pragma once

#include <QByteArray>
#include <QStringList>

#include "db/sql/ResultTable.h"
#include "db/sql/SqlParser.h"
#include "platform/FileIdentity.h"

struct _MdbHandle;
typedef struct S_MdbTableDef MdbTableDef;

namespace db::engine {

class MdbDatabase {
 public:
  // Opens the file with libmdb (writable for updates) and reads its table
  // catalog; throws db::Error when the file cannot be opened or has no
  // readable catalog.
  MdbDatabase(const QString& path, bool writable);
  ~MdbDatabase();
  MdbDatabase(const MdbDatabase&) = delete;
  MdbDatabase& operator=(const MdbDatabase&) = delete;

  void* handle() const { return m_handle; }  // the MdbHandle
  QString path() const { return m_path; }
  bool isJet3() const;
  // The user tables. Throws db::Error when the catalog is cut short or
  // damaged (checkCatalogWhole), as a list with tables missing is no answer.
  QStringList tableNames() const;
  // Throws db::Error naming the file when the catalog holds fewer or more
  // entries than its definition counts: libmdb passes over catalog rows on
  // missing or damaged pages without a word.
  void checkCatalogWhole() const;
  // Whole pages the file held when it was opened.
  quint32 pageCount() const { return m_pageCount; }

  // What the file system said about the file when it was opened: the same
  // stamp later means the same content, once the file has settled.
  const FileIdentity& stamp() const { return m_stamp; }

 private:
  QString m_path;
  void* m_handle = nullptr;
  quint32 m_pageCount = 0;
  FileIdentity m_stamp;
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
  // database has no such user table, or when its definition or usage maps
  // are damaged or name pages beyond the end of the file.
  MdbTable(MdbDatabase& database, const QString& name, bool withIndexes = false);
  ~MdbTable();
  MdbTable(const MdbTable&) = delete;
  MdbTable& operator=(const MdbTable&) = delete;

  QString name() const { return m_name; }
  const QVector<ColumnInfo>& columns() const { return m_columns; }
  MdbTableDef* definition() const { return m_table; }
  MdbDatabase& database() const { return m_database; }
  // The number of rows the table's definition records.
  quint32 definedRowCount() const;

  void rewind();
  // Moves to the next row and checks where its fields lie; false after the
  // last row. Deleted rows are passed over. Throws db::Error when a row or
  // one of its fields lies outside its page. The row's page stays in
  // libmdb's page buffer until the next call.
  bool advance();
  // The value of one column of the row advance() stands on. Throws
  // db::Error for a value that is cut short or a damaged memo.
  Field value(int column) const;
  // The value of a numeric column (Byte, Integer, Long, Float, Double,
  // Currency, Date/Time) of that row as the number value(column) holds;
  // false for NULL. Throws db::Error as value() does.
  bool numberAt(int column, double* number) const;
  // Fetches the next row with its stored bytes into *row (what an update
  // needs); false after the last one.
  bool next(ScannedRow* row);

  // The data page the current row lies on.
  quint32 currentPage() const;
  // Stands before the first row of `page`, a data page of this table that
  // advance() has come to before in the same file; throws db::Error when it
  // is not. advanceOnPage() then walks its rows as advance() does, and gives
  // false after the page's last row.
  void moveToPage(quint32 page);
  bool advanceOnPage();

 private:
  // Where one field of the current row lies on the page buffer; checked to
  // lie inside its row.
  struct FieldPlace {
    int start = 0;
    int size = 0;
    bool isNull = true;
    bool present = false;  // stored in the row (a row may hold fewer columns)
  };

  // Reads the columns and checks the definition and both usage maps; throws
  // db::Error naming what is damaged.
  void checkDefinition();
  bool takeRow(unsigned int row, unsigned int rowsOnPage);
  [[noreturn]] void damagedRow(unsigned int row, const QString& what) const;

  MdbDatabase& m_database;
  MdbTableDef* m_table = nullptr;
  QString m_name;
  QVector<ColumnInfo> m_columns;
  QVector<FieldPlace> m_fields;
  int m_rowStart = 0;
  int m_rowLength = 0;
};

// Every row of the table, for a query.
ResultTable readTable(MdbTable& table);

// The rows of a SELECT on the table: WHERE is tested on the columns it
// names before the rest of a row is decoded, then ORDER BY applies. Gives
// exactly the rows readTable() followed by applySelect() gives.
//
// A WHERE that compares a numeric column with a number or date (alone or
// under AND, as "Datum = 39083") leaves, after a whole scan of a settled
// file on a local file system, the least and greatest value of that column
// on each data page. A later SELECT on the same table and column of the
// unchanged file (same device, inode, size and time stamps) reads only the
// pages whose range the comparison can meet, in the same order. A file
// changed less than two seconds before the scan is not remembered: within
// one tick of the file system's clock a change may leave its time stamps.
ResultTable selectRows(MdbTable& table, const sql::SelectStatement& select);

}  // namespace db::engine
