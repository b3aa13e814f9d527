// libmdb access for reading: open, catalog, row scan and value decoding.
#include "db/engine/MdbTable.h"

#include <QElapsedTimer>

#include <QFile>
#include <QSet>
#include <QVarLengthArray>
#include <QtEndian>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <mdbtools.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "db/sql/Evaluator.h"
#include "db/engine/JetUsageMap.h"
#include "db/sql/RowFilter.h"
#include "jet/format/JetPages.h"
#include "jet/format/JetText.h"
#include "platform/Folders.h"

namespace db::engine {

namespace {

namespace format = jet::format;

// libmdb passes over rows whose offset carries this flag (deleted rows);
// rows with only the other flag bit are read as they are found.
constexpr quint16 kPassedOverFlag = format::kDeletedRowFlag;
static_assert(MDB_MEMO_OVERHEAD == format::kMemoHeaderSize);
// No plan notice comes near this; a larger length is a damaged header.
constexpr quint32 kLargestPlausibleNotice = 256u << 20;

MdbHandle* mdbOf(const MdbDatabase& database) { return static_cast<MdbHandle*>(database.handle()); }

MdbColumn* columnAt(MdbTableDef* table, int i) {
  return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
}

[[noreturn]] void damaged(const MdbTable& table, const QString& what) {
  throw db::Error(QStringLiteral("Table %1 in %2 is damaged: %3")
                      .arg(table.name(), table.database().path(), what));
}

// Reads `page` into libmdb's page buffer as mdb_read_pg does, with one
// read where libmdb seeks three times; an encrypted file is read by libmdb.
bool readPage(MdbHandle* mdb, quint32 page) {
  const int size = mdb->fmt->pg_size;
  if (mdb->f->db_key == 0 && page != mdb->cur_pg) {
    const off_t offset = off_t(page) * size;
    if (::pread(fileno(mdb->f->stream), mdb->pg_buf, size_t(size), offset) == size) {
      mdb->cur_pg = page;
      mdb->cur_pos = 0;
      return true;
    }
  }
  return mdb_read_pg(mdb, page) == size;
}

// Where the rows of a data or long-value page may start: after its row
// offset table. Precondition: the table fits the page.
int rowAreaStart(MdbHandle* mdb, unsigned int rowsOnPage) {
  return format::rowOffsetEntry(mdb->fmt->row_count_offset, int(rowsOnPage));
}

bool rowTableFits(MdbHandle* mdb, unsigned int rowsOnPage) {
  return rowAreaStart(mdb, rowsOnPage) <= mdb->fmt->pg_size;
}

ColumnKind kindOf(int type) {
  switch (type) {
    case MDB_BOOL: return ColumnKind::Boolean;
    case MDB_BYTE: return ColumnKind::Byte;
    case MDB_INT: return ColumnKind::Integer;
    case MDB_LONGINT: return ColumnKind::Long;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY: return ColumnKind::Double;
    case MDB_DATETIME: return ColumnKind::DateTime;
    case MDB_TEXT: return ColumnKind::Text;
    case MDB_MEMO: return ColumnKind::Memo;
    default: return ColumnKind::Other;
  }
}

QString decodeText(MdbHandle* mdb, const unsigned char* src, size_t length) {
  if (!IS_JET3(mdb)) return jet::text::decode(src, length);
  // Jet 3 stores the file's code page; libmdb's converter turns it into UTF-8.
  QByteArray utf8(static_cast<int>(length * 4 + 16), '\0');
  const int n = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(src), length, utf8.data(), utf8.size());
  return QString::fromUtf8(utf8.constData(), qMax(0, n));
}

// The bytes of the long-value row `pageRow` (page in the upper three bytes,
// row in the lowest), checked to be a live row of a long-value page inside
// the file. They lie in libmdb's second page buffer until its next use.
QByteArray longValueRow(const MdbTable& table, MdbHandle* mdb, quint32 pageRow) {
  const quint32 page = format::pageOfRowPointer(pageRow);
  const unsigned int row = format::rowOfRowPointer(pageRow);
  const QString where = QStringLiteral("memo row %1 on page %2").arg(row).arg(page);
  if (page == 0 || page >= table.database().pageCount()) damaged(table, where + QStringLiteral(" lies outside the file"));
  void* buffer = nullptr;
  int start = 0;
  size_t length = 0;
  if (mdb_find_pg_row(mdb, static_cast<int>(pageRow), &buffer, &start, &length) != 0)
    damaged(table, where + QStringLiteral(" lies outside its page"));
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  if (bytes[0] != uint8_t(format::PageType::Data) || std::memcmp(bytes + format::kPageOwnerOffset, format::kLongValueOwner, 4) != 0)
    damaged(table, where + QStringLiteral(": the page is not a long-value page"));
  const unsigned int rows = format::le16(bytes + mdb->fmt->row_count_offset);
  if (row >= rows || !rowTableFits(mdb, rows)) damaged(table, where + QStringLiteral(" is not on the page"));
  if (format::le16(bytes + format::rowOffsetEntry(mdb->fmt->row_count_offset, int(row))) & format::kRowFlags)
    damaged(table, where + QStringLiteral(" is deleted"));
  if (start < rowAreaStart(mdb, rows)) damaged(table, where + QStringLiteral(" overlaps the page header"));
  return QByteArray(reinterpret_cast<const char*>(bytes + start), static_cast<qsizetype>(length));
}

// The bytes of a memo: inline in the row, in one LVAL row, or in a chain of them.
QByteArray memoBytes(const MdbTable& table, MdbHandle* mdb, const QString& column, const unsigned char* field,
                     size_t size) {
  if (size < static_cast<size_t>(format::kMemoHeaderSize)) damaged(table, QStringLiteral("memo %1 is cut short").arg(column));
  const quint32 header = format::le32(field);
  const quint32 length = header & format::kMemoLengthMask;
  const format::MemoStorage storage = format::memoStorageOf(header);
  if (storage == format::MemoStorage::Inline) return QByteArray(reinterpret_cast<const char*>(field + format::kMemoHeaderSize), size - format::kMemoHeaderSize);
  const quint64 fileBytes = quint64(table.database().pageCount()) * quint64(mdb->fmt->pg_size);
  if (length > kLargestPlausibleNotice || length > fileBytes)
    damaged(table, QStringLiteral("memo %1 claims %2 bytes").arg(column).arg(length));
  quint32 pageRow = format::le32(field + format::kMemoFirstRowOffset);
  if (storage == format::MemoStorage::SingleRow) {
    const QByteArray bytes = longValueRow(table, mdb, pageRow);
    if (quint32(bytes.size()) < length)
      damaged(table, QStringLiteral("memo %1 has %2 of its %3 bytes").arg(column).arg(bytes.size()).arg(length));
    return bytes.left(static_cast<qsizetype>(length));
  }
  QByteArray bytes;
  QSet<quint32> visited;
  while (static_cast<quint32>(bytes.size()) < length) {
    if (pageRow == 0)
      damaged(table, QStringLiteral("memo %1 ends after %2 of its %3 bytes").arg(column).arg(bytes.size()).arg(length));
    if (visited.contains(pageRow)) damaged(table, QStringLiteral("memo %1: its pages form a loop").arg(column));
    visited.insert(pageRow);
    const QByteArray piece = longValueRow(table, mdb, pageRow);
    constexpr int pointer = format::kLongValueChainPointerSize;
    if (piece.size() < pointer) damaged(table, QStringLiteral("memo %1: a piece is cut short").arg(column));
    bytes.append(piece.constData() + pointer, piece.size() - pointer);
    pageRow = format::le32(piece.constData());
  }
  return bytes.left(static_cast<qsizetype>(length));
}

}  // namespace

// ---------------------------------------------------------------- database

MdbDatabase::MdbDatabase(const QString& path, bool writable) : m_path(path) {
  const QByteArray name = QFile::encodeName(path);
  m_handle = mdb_open(name.constData(), writable ? MDB_WRITABLE : MDB_NOFLAGS);
  if (!m_handle) throw db::Error(QStringLiteral("%1 cannot be opened as a Jet database").arg(path));
  MdbHandle* mdb = mdbOf(*this);
  struct stat status {};
  if (::fstat(fileno(mdb->f->stream), &status) == 0) {
    m_stamp = FileIdentity::of(status);
    if (status.st_size > 0)
      m_pageCount =
          static_cast<quint32>(qMin<quint64>(quint64(status.st_size) / quint64(mdb->fmt->pg_size), 0xffffffffu));
  }
  // Every catalog entry, not only tables, so that their number can be
  // compared with the catalog's definition.
  if (!mdb_read_catalog(mdb, MDB_ANY)) {
    mdb_close(mdb);
    m_handle = nullptr;
    throw db::Error(QStringLiteral("%1 has no readable table catalog").arg(path));
  }
}

MdbDatabase::~MdbDatabase() {
  if (m_handle) mdb_close(mdbOf(*this));
}

bool MdbDatabase::isJet3() const { return IS_JET3(mdbOf(*this)); }

QStringList MdbDatabase::tableNames() const {
  checkCatalogWhole();
  MdbHandle* mdb = mdbOf(*this);
  QStringList names;
  for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
      names.append(QString::fromUtf8(entry->object_name));
  }
  return names;
}

void MdbDatabase::checkCatalogWhole() const {
  MdbHandle* mdb = mdbOf(*this);
  if (format::kCatalogDefinitionPage >= m_pageCount || mdb_read_pg(mdb, format::kCatalogDefinitionPage) != mdb->fmt->pg_size)
    throw db::Error(QStringLiteral("%1 is cut short: its table catalog is missing").arg(m_path));
  const quint32 defined = format::le32(mdb->pg_buf + mdb->fmt->tab_num_rows_offset);
  if (defined != mdb->num_catalog)
    throw db::Error(QStringLiteral("%1 is cut short or damaged: its table catalog has %2 of %3 entries")
                        .arg(m_path)
                        .arg(mdb->num_catalog)
                        .arg(defined));
}

// ---------------------------------------------------------------- table

MdbTable::MdbTable(MdbDatabase& database, const QString& name, bool withIndexes) : m_database(database) {
  MdbHandle* mdb = mdbOf(database);
  MdbCatalogEntry* found = nullptr;
  for (unsigned int i = 0; i < mdb->num_catalog && !found; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry) &&
        QString::fromUtf8(entry->object_name).compare(name, Qt::CaseInsensitive) == 0)
      found = entry;
  }
  if (!found) throw db::Error(QStringLiteral("Table %1 does not exist in %2").arg(name, database.path()));
  m_name = QString::fromUtf8(found->object_name);
  if (found->table_pg >= database.pageCount())
    damaged(*this, QStringLiteral("its definition page %1 lies beyond the end of the file").arg(found->table_pg));
  m_table = mdb_read_table(found);
  try {
    checkDefinition();
  } catch (...) {
    mdb_free_tabledef(m_table);
    m_table = nullptr;
    throw;
  }
  // libmdb 1.0 leaves table->indices empty until asked; its update code
  // reads it, so a table meant for writing has to load it.
  if (withIndexes) mdb_read_indices(m_table);
  for (unsigned int i = 0; i < m_table->num_cols; ++i) {
    MdbColumn* column = columnAt(m_table, int(i));
    ColumnInfo info;
    info.name = QString::fromUtf8(column->name);
    info.kind = kindOf(column->col_type);
    if (info.kind == ColumnKind::Text) info.maxChars = database.isJet3() ? column->col_size : column->col_size / 2;
    if (withIndexes) {
      for (unsigned int k = 0; k < m_table->num_idxs && k < m_table->indices->len; ++k) {
        auto* index = static_cast<MdbIndex*>(g_ptr_array_index(m_table->indices, k));
        // key_col_num counts columns from 1.
        for (unsigned int j = 0; j < index->num_keys && j < MDB_MAX_IDX_COLS; ++j)
          info.indexed = info.indexed || index->key_col_num[j] - 1 == static_cast<int>(i);
      }
    }
    m_columns.append(info);
  }
  mdb_rewind_table(m_table);
}

void MdbTable::checkDefinition() {
  MdbHandle* mdb = mdbOf(m_database);
  if (!m_table || !mdb_read_columns(m_table))
    damaged(*this, QStringLiteral("its definition or its usage maps cannot be read"));
  if (m_table->num_cols == 0) damaged(*this, QStringLiteral("its definition has no columns"));
  for (const auto& [map, size, what] : {std::tuple(m_table->usage_map, m_table->map_sz, QStringLiteral("usage map")),
                                        std::tuple(m_table->free_usage_map, m_table->freemap_sz,
                                                   QStringLiteral("free-space map"))}) {
    const QString problem = usageMapProblem(mdb, map, size, m_database.pageCount(), what);
    if (!problem.isEmpty()) damaged(*this, problem);
  }
}

MdbTable::~MdbTable() {
  if (m_table) mdb_free_tabledef(m_table);
}

quint32 MdbTable::definedRowCount() const { return m_table->num_rows; }

void MdbTable::rewind() {
  mdb_rewind_table(m_table);
  m_fields.clear();
}

void MdbTable::damagedRow(unsigned int row, const QString& what) const {
  damaged(*this, QStringLiteral("row %1 on page %2: %3").arg(row).arg(m_table->cur_phys_pg).arg(what));
}

// The table scan of libmdb's mdb_fetch_row (same pages, same rows, same
// table cursor, so that libmdb's update works on the row last returned),
// except that a row it would pass over silently because its offsets or
// fields do not fit its page is an error here.
bool MdbTable::advance() {
  m_fields.clear();
  if (!m_table->cur_pg_num) {
    m_table->cur_pg_num = 1;
    m_table->cur_row = 0;
    if (!mdb_read_next_dpg(m_table)) return false;
  }
  while (!advanceOnPage()) {
    m_table->cur_row = 0;
    if (!mdb_read_next_dpg(m_table)) return false;
  }
  return true;
}

bool MdbTable::advanceOnPage() {
  MdbHandle* mdb = mdbOf(m_database);
  m_fields.clear();
  for (;;) {
    const unsigned int rows = format::le16(mdb->pg_buf + mdb->fmt->row_count_offset);
    if (m_table->cur_row >= rows) return false;
    if (!rowTableFits(mdb, rows))
      damaged(*this, QStringLiteral("page %1 claims %2 rows").arg(m_table->cur_phys_pg).arg(rows));
    const unsigned int row = m_table->cur_row++;
    if (takeRow(row, rows)) return true;
  }
}

quint32 MdbTable::currentPage() const { return m_table->cur_phys_pg; }

void MdbTable::moveToPage(quint32 page) {
  MdbHandle* mdb = mdbOf(m_database);
  m_fields.clear();
  if (page == 0 || page >= m_database.pageCount() || !readPage(mdb, page) || mdb->pg_buf[0] != uint8_t(format::PageType::Data) ||
      format::le32(mdb->pg_buf + format::kPageOwnerOffset) != m_table->entry->table_pg)
    damaged(*this, QStringLiteral("page %1 is not one of its data pages").arg(page));
  m_table->cur_pg_num = 1;
  m_table->cur_phys_pg = page;
  m_table->cur_row = 0;
}

// Cracks row `row` of the page in the buffer into checked field places;
// false for a row that is passed over.
bool MdbTable::takeRow(unsigned int row, unsigned int rowsOnPage) {
  MdbHandle* mdb = mdbOf(m_database);
  const quint16 entry = format::le16(mdb->pg_buf + format::rowOffsetEntry(mdb->fmt->row_count_offset, int(row)));
  if (entry & kPassedOverFlag) return false;
  // A flagged row that libmdb cannot take apart is passed over, as libmdb does.
  const bool flagged = entry & format::kRowFlags;
  int start = 0;
  size_t length = 0;
  if (mdb_find_row(mdb, int(row), &start, &length) != 0 || length == 0) {
    if (flagged) return false;
    damagedRow(row, QStringLiteral("its offsets lie outside the page"));
  }
  start &= format::kRowStartMask;
  if (start < rowAreaStart(mdb, rowsOnPage)) {
    if (flagged) return false;
    damagedRow(row, QStringLiteral("it overlaps the page header"));
  }
  QVarLengthArray<MdbField, 64> fields(m_table->num_cols);
  if (mdb_crack_row(m_table, start, length, fields.data()) < 0) {
    if (flagged) return false;
    damagedRow(row, QStringLiteral("its columns cannot be told apart"));
  }
  m_fields.resize(int(m_table->num_cols));
  for (unsigned int i = 0; i < m_table->num_cols; ++i) {
    const MdbField& field = fields[i];
    FieldPlace& place = m_fields[int(i)];
    place.isNull = field.is_null;
    place.present = field.value != nullptr;
    if (!place.present) continue;
    // libmdb checks only where a field ends, so a field may start outside
    // its row or have a negative length.
    const qptrdiff offset = static_cast<const unsigned char*>(field.value) - mdb->pg_buf;
    if (field.siz < 0 || offset < start || offset + field.siz > qptrdiff(start) + qptrdiff(length)) {
      damagedRow(row, QStringLiteral("column %1 has %2 bytes at offset %3, outside its row of %4 bytes")
                          .arg(m_columns.value(int(i)).name)
                          .arg(field.siz)
                          .arg(offset - start)
                          .arg(length));
    }
    place.start = int(offset);
    place.size = field.siz;
  }
  m_rowStart = start;
  m_rowLength = int(length);
  return true;
}

Field MdbTable::value(int index) const {
  assert(index >= 0 && index < m_fields.size());
  MdbHandle* mdb = mdbOf(m_database);
  MdbColumn* column = columnAt(m_table, index);
  const FieldPlace& place = m_fields[index];
  if (column->col_type == MDB_BOOL) return booleanField(!place.isNull);  // kept in the null mask
  if (place.isNull || !place.present) return nullField();
  const unsigned char* p = mdb->pg_buf + place.start;
  const size_t size = static_cast<size_t>(place.size);
  auto need = [&](size_t bytes) {
    if (size < bytes) damaged(*this, QStringLiteral("column %1 is too short").arg(QString::fromUtf8(column->name)));
  };
  switch (column->col_type) {
    case MDB_BYTE: need(1); return integerField(p[0]);
    case MDB_INT: need(2); return integerField(qFromLittleEndian<qint16>(p));
    case MDB_LONGINT: need(4); return integerField(qFromLittleEndian<qint32>(p));
    case MDB_FLOAT: need(4); return doubleField(std::bit_cast<float>(qFromLittleEndian<quint32>(p)));
    case MDB_DOUBLE: need(8); return doubleField(std::bit_cast<double>(qFromLittleEndian<quint64>(p)));
    case MDB_DATETIME: need(8); return dateTimeField(std::bit_cast<double>(qFromLittleEndian<quint64>(p)));
    case MDB_MONEY: need(8); return doubleField(qFromLittleEndian<qint64>(p) / 10000.0);
    case MDB_TEXT: return textField(decodeText(mdb, p, size));  // moved into the field
    case MDB_MEMO: {
      const QByteArray bytes = memoBytes(*this, mdb, QString::fromUtf8(column->name), p, size);
      return textField(decodeText(mdb, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size()));
    }
    case MDB_OLE:
    case MDB_BINARY: return nullField();  // binary data has no text form
    case MDB_REPID: need(16); break;
    case MDB_COMPLEX: need(4); break;
    default: break;
  }
  // Replication IDs, decimals: libmdb's own text form.
  char* text = mdb_col_to_string(mdb, mdb->pg_buf, place.start, column->col_type, place.size);
  const QString value = text ? QString::fromUtf8(text) : QString();
  g_free(text);
  return textField(value);
}

bool MdbTable::numberAt(int index, double* number) const {
  assert(index >= 0 && index < m_fields.size());
  MdbHandle* mdb = mdbOf(m_database);
  MdbColumn* column = columnAt(m_table, index);
  assert(kindOf(column->col_type) != ColumnKind::Boolean);
  const FieldPlace& place = m_fields[index];
  if (place.isNull || !place.present) return false;
  const unsigned char* p = mdb->pg_buf + place.start;
  const size_t size = static_cast<size_t>(place.size);
  auto need = [&](size_t bytes) {
    if (size < bytes) damaged(*this, QStringLiteral("column %1 is too short").arg(QString::fromUtf8(column->name)));
  };
  switch (column->col_type) {
    case MDB_BYTE: need(1); *number = p[0]; return true;
    case MDB_INT: need(2); *number = qFromLittleEndian<qint16>(p); return true;
    case MDB_LONGINT: need(4); *number = qFromLittleEndian<qint32>(p); return true;
    case MDB_FLOAT: need(4); *number = std::bit_cast<float>(qFromLittleEndian<quint32>(p)); return true;
    case MDB_DOUBLE:
    case MDB_DATETIME: need(8); *number = std::bit_cast<double>(qFromLittleEndian<quint64>(p)); return true;
    case MDB_MONEY: need(8); *number = qFromLittleEndian<qint64>(p) / 10000.0; return true;
    default: break;
  }
  assert(false && "numberAt() on a column that is not numeric");
  return false;
}

bool MdbTable::next(ScannedRow* row) {
  if (!advance()) return false;
  MdbHandle* mdb = mdbOf(m_database);
  row->page = m_table->cur_phys_pg;
  row->index = static_cast<int>(m_table->cur_row) - 1;
  row->bytes = QByteArray(reinterpret_cast<const char*>(mdb->pg_buf) + m_rowStart, m_rowLength);
  row->values.resize(m_fields.size());
  row->fieldBytes.resize(m_fields.size());
  for (int i = 0; i < m_fields.size(); ++i) {
    const FieldPlace& place = m_fields[i];
    QByteArray raw(1, place.isNull ? '\1' : '\0');
    if (place.present && place.size > 0)
      raw.append(reinterpret_cast<const char*>(mdb->pg_buf) + place.start, place.size);
    row->fieldBytes[i] = raw;
    row->values[i] = value(i);
  }
  return true;
}

ResultTable readTable(MdbTable& table) {
  ResultTable result;
  result.columns = table.columns();
  table.rewind();
  ScannedRow row;
  while (table.next(&row)) result.rows.append(row.values);
  return result;
}

namespace {

// ------------------------------------------------------- remembered pages

// A scan's pages are remembered only when this process had seen the file
// with the same stamp this long before the scan began: a write in the same
// tick of the file system's clock as that first look, which leaves the
// stamp as it was, then lies before the scan.
constexpr qint64 kSettledMs = 2000;
// Tests shorten that time through this variable (milliseconds, below
// kSettledMs; anything else keeps kSettledMs).
constexpr char kSettledVariable[] = "ZOVA_TEST_SETTLED_MS";
// Both audiences of the plan and the notification table, with room to spare.
constexpr int kRememberedTables = 8;

qint64 settledNs() {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(kSettledVariable, &ok);
  return qint64(ok && value >= 0 && value < kSettledMs ? value : kSettledMs) * 1000000;
}

// "column op value" of a WHERE whose rows all satisfy it.
struct KeyComparison {
  int column = -1;
  sql::CompareOp op = sql::CompareOp::Equal;
  double value = 0;
};

bool isNumericKind(ColumnKind kind) {
  return kind == ColumnKind::Byte || kind == ColumnKind::Integer || kind == ColumnKind::Long ||
         kind == ColumnKind::Double || kind == ColumnKind::DateTime;
}

sql::CompareOp mirrored(sql::CompareOp op) {
  switch (op) {
    case sql::CompareOp::Less: return sql::CompareOp::Greater;
    case sql::CompareOp::Greater: return sql::CompareOp::Less;
    case sql::CompareOp::LessOrEqual: return sql::CompareOp::GreaterOrEqual;
    case sql::CompareOp::GreaterOrEqual: return sql::CompareOp::LessOrEqual;
    case sql::CompareOp::Equal:
    case sql::CompareOp::NotEqual: break;
  }
  return op;
}

std::optional<KeyComparison> numericComparison(const sql::Condition& condition, const QVector<ColumnInfo>& columns);

// True when testing the condition cannot throw: every comparison in it is
// one of numericComparison().
bool cannotFail(const sql::Condition& condition, const QVector<ColumnInfo>& columns) {
  if (condition.kind != sql::Condition::Kind::Compare)
    return cannotFail(*condition.a, columns) && cannotFail(*condition.b, columns);
  return numericComparison(condition, columns).has_value();
}

// A comparison of a numeric column with a number or date that every row of
// the condition's result satisfies, and whose failing alone decides the
// row as testing the whole condition does (no error is passed over): the
// condition itself, or a side of an AND that the test reaches first or
// after a side that cannot fail.
std::optional<KeyComparison> keyComparison(const sql::Condition& condition, const QVector<ColumnInfo>& columns) {
  switch (condition.kind) {
    case sql::Condition::Kind::And: {
      if (const auto left = keyComparison(*condition.a, columns)) return left;
      if (!cannotFail(*condition.a, columns)) return std::nullopt;
      return keyComparison(*condition.b, columns);
    }
    case sql::Condition::Kind::Or: return std::nullopt;
    case sql::Condition::Kind::Compare: break;
  }
  return numericComparison(condition, columns);
}

// "column op literal" or "literal op column" of a numeric column that
// exists and a number or date; a comparison that cannot throw.
std::optional<KeyComparison> numericComparison(const sql::Condition& condition, const QVector<ColumnInfo>& columns) {
  assert(condition.kind == sql::Condition::Kind::Compare);
  const bool columnLeft = condition.left.isColumn && !condition.right.isColumn;
  const bool columnRight = condition.right.isColumn && !condition.left.isColumn;
  if (!columnLeft && !columnRight) return std::nullopt;
  const sql::Operand& column = columnLeft ? condition.left : condition.right;
  const sql::Literal& literal = columnLeft ? condition.right.literal : condition.left.literal;
  if (literal.kind != sql::Literal::Kind::Number && literal.kind != sql::Literal::Kind::Date) return std::nullopt;
  const int index = columnIndexIn(columns, column.column);
  if (index < 0 || !isNumericKind(columns[index].kind)) return std::nullopt;
  return KeyComparison{index, columnLeft ? condition.op : mirrored(condition.op), literal.number};
}

// The values of the key column on one data page.
struct PageRange {
  quint32 page = 0;
  double low = 0;
  double high = 0;
  bool hasValue = false;   // a row with a value that is not NULL
  bool unordered = false;  // a NaN: any comparison may hold
  void add(double value) {
    if (std::isnan(value)) unordered = true;
    low = hasValue ? qMin(low, value) : value;
    high = hasValue ? qMax(high, value) : value;
    hasValue = true;
  }
};

// Whether a value satisfies the comparison, as rowMatches() decides.
bool meets(double x, const KeyComparison& key) {
  const double y = key.value;
  const int order = x < y ? -1 : (x > y ? 1 : 0);
  switch (key.op) {
    case sql::CompareOp::Equal: return order == 0;
    case sql::CompareOp::NotEqual: return order != 0;
    case sql::CompareOp::Less: return order < 0;
    case sql::CompareOp::Greater: return order > 0;
    case sql::CompareOp::LessOrEqual: return order <= 0;
    case sql::CompareOp::GreaterOrEqual: return order >= 0;
  }
  return false;
}

// Whether a row of the page may satisfy the comparison.
bool mayMeet(const PageRange& range, const KeyComparison& key) {
  if (!range.hasValue) return false;  // NULL satisfies no comparison
  if (range.unordered) return true;
  const double y = key.value;
  switch (key.op) {
    case sql::CompareOp::Equal: return range.low <= y && y <= range.high;
    case sql::CompareOp::NotEqual: return !(range.low == y && range.high == y);
    case sql::CompareOp::Less: return range.low < y;
    case sql::CompareOp::Greater: return range.high > y;
    case sql::CompareOp::LessOrEqual: return range.low <= y;
    case sql::CompareOp::GreaterOrEqual: return range.high >= y;
  }
  return true;
}

struct RememberedTable {
  QString path;
  FileIdentity stamp;
  QString table;
  int column = -1;
  QVector<PageRange> pages;  // in scan order; pages without rows left out
};

std::mutex g_rememberedLock;
QList<RememberedTable> g_remembered;  // the latest first

std::optional<QVector<PageRange>> rememberedPages(const MdbTable& table, int column) {
  const std::lock_guard<std::mutex> guard(g_rememberedLock);
  for (const RememberedTable& entry : g_remembered) {
    if (entry.column == column && entry.table == table.name() && entry.path == table.database().path() &&
        entry.stamp == table.database().stamp())
      return entry.pages;
  }
  return std::nullopt;
}

// How long this process has seen the file with its stamp, on its own steady
// clock (never the file's time against this PC's clock): a stamp seen that
// long before a scan began cannot hide a write the scan missed.
struct Sighting {
  QString path;
  FileIdentity stamp;
  QElapsedTimer since;
};
std::mutex g_sightingLock;
QList<Sighting> g_sightings;

qint64 seenForNs(const QString& path, const FileIdentity& stamp) {
  const std::lock_guard<std::mutex> guard(g_sightingLock);
  for (Sighting& sighting : g_sightings)
    if (sighting.path == path) {
      if (!(sighting.stamp == stamp)) {
        sighting.stamp = stamp;
        sighting.since.start();
      }
      return sighting.since.nsecsElapsed();
    }
  g_sightings.prepend({path, stamp, {}});
  g_sightings.first().since.start();
  while (g_sightings.size() > kRememberedTables) g_sightings.removeLast();
  return 0;
}

// `seenNs`: how long the file had been seen with its stamp when the scan began.
void remember(const MdbTable& table, int column, const QVector<PageRange>& pages, qint64 seenNs) {
  const FileIdentity& stamp = table.database().stamp();
  if (!stamp.exists || seenNs < settledNs()) return;
  // Changes on a share may show late in the stamp.
  if (!folders::isLocalFileSystem(table.database().path())) return;
  const std::lock_guard<std::mutex> guard(g_rememberedLock);
  g_remembered.removeIf([&](const RememberedTable& entry) {
    return entry.column == column && entry.table == table.name() && entry.path == table.database().path();
  });
  g_remembered.prepend({table.database().path(), stamp, table.name(), column, pages});
  while (g_remembered.size() > kRememberedTables) g_remembered.removeLast();
}

}  // namespace

ResultTable selectRows(MdbTable& table, const sql::SelectStatement& select) {
  ResultTable result;
  result.columns = table.columns();
  const int columnCount = result.columns.size();
  std::optional<RowFilter> filter;
  if (select.where) filter.emplace(*select.where, result.columns);
  QVector<bool> tested(columnCount, false);
  if (filter) {
    for (int column : filter->columns()) tested[column] = true;
  }
  // Reading a memo may throw for a damaged one, also in a row the WHERE then
  // rejects: a WHERE naming a memo tests every row as it always has.
  bool namesMemo = false;
  if (filter) {
    for (int column : filter->columns()) namesMemo = namesMemo || result.columns[column].kind == ColumnKind::Memo;
  }
  const std::optional<KeyComparison> key =
      select.where && !namesMemo ? keyComparison(*select.where, result.columns) : std::nullopt;
  const int keyColumn = key ? key->column : -1;
  // A WHERE that is the key comparison alone is decided by it.
  const bool keyDecides = key && select.where->kind == sql::Condition::Kind::Compare;
  ResultRow probe(columnCount);
  // Tests the row advance() stands on and takes it when it matches; the key
  // comparison first, on the stored number, as a row failing it fails the
  // WHERE. `page` learns the key's value.
  auto take = [&](PageRange* page) {
    if (keyColumn >= 0) {
      double number = 0;
      const bool hasValue = table.numberAt(keyColumn, &number);
      if (hasValue && page) page->add(number);
      if (!hasValue || !meets(number, *key)) return;
    }
    const bool probed = filter && !keyDecides;
    if (probed) {
      for (int column : filter->columns()) probe[column] = table.value(column);
      if (!filter->matches(probe)) return;
    }
    ResultRow row(columnCount);
    if (probed) {
      for (int column = 0; column < columnCount; ++column)
        row[column] = tested[column] ? probe[column] : table.value(column);
    } else {
      for (int column = 0; column < columnCount; ++column) row[column] = table.value(column);
    }
    result.rows.append(std::move(row));
  };
  const std::optional<QVector<PageRange>> known = key ? rememberedPages(table, keyColumn) : std::nullopt;
  if (known) {
    for (const PageRange& range : *known) {
      if (!mayMeet(range, *key)) continue;
      table.moveToPage(range.page);
      while (table.advanceOnPage()) take(nullptr);
    }
  } else {
    const qint64 seenNs = keyColumn >= 0 ? seenForNs(table.database().path(), table.database().stamp()) : 0;
    QVector<PageRange> pages;
    table.rewind();
    while (table.advance()) {
      if (keyColumn >= 0 && (pages.isEmpty() || pages.last().page != table.currentPage()))
        pages.append(PageRange{table.currentPage()});
      take(keyColumn >= 0 ? &pages.last() : nullptr);
    }
    if (keyColumn >= 0) remember(table, keyColumn, pages, seenNs);
  }
  if (!select.orderBy.isEmpty()) sortRows(result, select.orderBy);
  return result;
}

}  // namespace db::engine
