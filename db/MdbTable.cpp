// libmdb access for reading: open, catalog, row scan and value decoding.
#include "db/MdbTable.h"

#include <QFile>
#include <QSet>
#include <QtEndian>
#include <bit>
#include <cstring>
#include <mdbtools.h>

namespace db::engine {

namespace {

constexpr int kOffsetMask = 0x1fff;
constexpr int kMemoHeader = MDB_MEMO_OVERHEAD;
// No plan notice comes near this; a larger length is a damaged header.
constexpr quint32 kMaxMemoBytes = 256u << 20;

MdbHandle* mdbOf(const MdbDatabase& database) { return static_cast<MdbHandle*>(database.handle()); }

quint32 le32(const void* p) { return qFromLittleEndian<quint32>(p); }

[[noreturn]] void damaged(const MdbTable& table, const QString& what) {
  throw db::Error(QStringLiteral("Table %1 in %2 is damaged: %3")
                      .arg(table.name(), table.database().path(), what));
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

// Jet 4 / ACE text: UCS-2 little-endian, or "compressed" (FF FE, then runs
// of one-byte characters and two-byte characters switched by a 00 byte).
QString decodeUcs2(const unsigned char* src, size_t length) {
  QVector<char16_t> units;
  if (length >= 2 && src[0] == 0xff && src[1] == 0xfe) {
    units.reserve(length);
    bool compressed = true;
    size_t i = 2;
    while (i < length) {
      if (src[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units.append(src[i]);
        ++i;
      } else if (i + 1 < length) {
        units.append(static_cast<char16_t>(src[i] | (src[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    units.reserve(length / 2);
    for (size_t i = 0; i + 1 < length; i += 2) units.append(static_cast<char16_t>(src[i] | (src[i + 1] << 8)));
  }
  return QString::fromUtf16(units.constData(), units.size());
}

QString decodeText(MdbHandle* mdb, const unsigned char* src, size_t length) {
  if (!IS_JET3(mdb)) return decodeUcs2(src, length);
  // Jet 3 stores the file's code page; libmdb's converter turns it into UTF-8.
  QByteArray utf8(static_cast<int>(length * 4 + 16), '\0');
  const int n = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(src), length, utf8.data(), utf8.size());
  return QString::fromUtf8(utf8.constData(), qMax(0, n));
}

// The bytes of a memo: inline in the row, in one LVAL row, or in a chain of them.
QByteArray memoBytes(const MdbTable& table, MdbHandle* mdb, const unsigned char* field, size_t size) {
  if (size < static_cast<size_t>(kMemoHeader)) return {};
  const quint32 header = le32(field);
  const quint32 length = header & 0x3fffffff;
  if (header & 0x80000000) return QByteArray(reinterpret_cast<const char*>(field + kMemoHeader), size - kMemoHeader);
  if (length > kMaxMemoBytes) damaged(table, QStringLiteral("memo length %1").arg(length));
  quint32 pageRow = le32(field + 4);
  void* buf = nullptr;
  int start = 0;
  size_t len = 0;
  if (header & 0x40000000) {
    if (mdb_find_pg_row(mdb, pageRow, &buf, &start, &len) != 0) damaged(table, QStringLiteral("memo page missing"));
    return QByteArray(static_cast<const char*>(buf) + start, static_cast<int>(qMin<size_t>(len, length)));
  }
  if (header & 0xc0000000) damaged(table, QStringLiteral("memo flags"));
  QByteArray bytes;
  QSet<quint32> visited;
  while (pageRow != 0 && static_cast<quint32>(bytes.size()) < length) {
    if (visited.contains(pageRow)) damaged(table, QStringLiteral("memo pages form a loop"));
    visited.insert(pageRow);
    if (mdb_find_pg_row(mdb, pageRow, &buf, &start, &len) != 0 || len < 4)
      damaged(table, QStringLiteral("memo page missing"));
    const unsigned char* row = static_cast<const unsigned char*>(buf) + start;
    bytes.append(reinterpret_cast<const char*>(row + 4), static_cast<int>(len - 4));
    pageRow = le32(row);
  }
  return bytes.left(static_cast<int>(length));
}

Field decodeField(const MdbTable& table, MdbHandle* mdb, MdbColumn* column, const MdbField& field) {
  if (column->col_type == MDB_BOOL) return booleanField(!field.is_null);  // kept in the null mask
  if (field.is_null) return nullField();
  const auto* p = static_cast<const unsigned char*>(field.value);
  const size_t size = static_cast<size_t>(field.siz);
  auto need = [&](size_t bytes) {
    if (size < bytes) damaged(table, QStringLiteral("column %1 is too short").arg(QString::fromUtf8(column->name)));
  };
  switch (column->col_type) {
    case MDB_BYTE: need(1); return integerField(p[0]);
    case MDB_INT: need(2); return integerField(qFromLittleEndian<qint16>(p));
    case MDB_LONGINT: need(4); return integerField(qFromLittleEndian<qint32>(p));
    case MDB_FLOAT: need(4); return doubleField(std::bit_cast<float>(qFromLittleEndian<quint32>(p)));
    case MDB_DOUBLE: need(8); return doubleField(std::bit_cast<double>(qFromLittleEndian<quint64>(p)));
    case MDB_DATETIME: need(8); return dateTimeField(std::bit_cast<double>(qFromLittleEndian<quint64>(p)));
    case MDB_MONEY: need(8); return doubleField(qFromLittleEndian<qint64>(p) / 10000.0);
    case MDB_TEXT: return textField(decodeText(mdb, p, size));
    case MDB_MEMO: {
      const QByteArray bytes = memoBytes(table, mdb, p, size);
      return textField(decodeText(mdb, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size()));
    }
    case MDB_OLE:
    case MDB_BINARY: return nullField();  // binary data has no text form
    default: {
      // Replication IDs, decimals: libmdb's own text form.
      char* text = mdb_col_to_string(mdb, mdb->pg_buf, field.start, column->col_type, field.siz);
      const QString value = text ? QString::fromUtf8(text) : QString();
      g_free(text);
      return textField(value);
    }
  }
}

}  // namespace

MdbDatabase::MdbDatabase(const QString& path, bool writable) : m_path(path) {
  const QByteArray name = QFile::encodeName(path);
  m_handle = mdb_open(name.constData(), writable ? MDB_WRITABLE : MDB_NOFLAGS);
  if (!m_handle) throw db::Error(QStringLiteral("%1 cannot be opened as a Jet database").arg(path));
  if (!mdb_read_catalog(mdbOf(*this), MDB_TABLE)) {
    mdb_close(mdbOf(*this));
    m_handle = nullptr;
    throw db::Error(QStringLiteral("%1 has no readable table catalog").arg(path));
  }
}

MdbDatabase::~MdbDatabase() {
  if (m_handle) mdb_close(mdbOf(*this));
}

bool MdbDatabase::isJet3() const { return IS_JET3(mdbOf(*this)); }

QStringList MdbDatabase::tableNames() const {
  MdbHandle* mdb = mdbOf(*this);
  QStringList names;
  for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
      names.append(QString::fromUtf8(entry->object_name));
  }
  return names;
}

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
  m_table = mdb_read_table(found);
  if (!m_table || !mdb_read_columns(m_table))
    throw db::Error(QStringLiteral("Table %1 in %2 cannot be read").arg(m_name, database.path()));
  // libmdb 1.0 leaves table->indices empty until asked; its update code
  // reads it, so a table meant for writing has to load it.
  if (withIndexes) mdb_read_indices(m_table);
  for (unsigned int i = 0; i < m_table->num_cols; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, i));
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

MdbTable::~MdbTable() {
  if (m_table) mdb_free_tabledef(m_table);
}

void MdbTable::rewind() { mdb_rewind_table(m_table); }

bool MdbTable::next(ScannedRow* row) {
  MdbHandle* mdb = mdbOf(m_database);
  if (!mdb_fetch_row(m_table)) return false;
  int start = 0;
  size_t length = 0;
  if (mdb_find_row(mdb, m_table->cur_row - 1, &start, &length) != 0) damaged(*this, QStringLiteral("row offsets"));
  start &= kOffsetMask;
  QVector<MdbField> fields(m_table->num_cols);
  if (mdb_crack_row(m_table, start, length, fields.data()) < 0) damaged(*this, QStringLiteral("row layout"));
  row->page = m_table->cur_phys_pg;
  row->index = static_cast<int>(m_table->cur_row) - 1;
  row->bytes = QByteArray(reinterpret_cast<const char*>(mdb->pg_buf) + start, static_cast<int>(length));
  row->values.resize(m_table->num_cols);
  row->fieldBytes.resize(m_table->num_cols);
  for (unsigned int i = 0; i < m_table->num_cols; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, i));
    QByteArray raw(1, fields[i].is_null ? '\1' : '\0');
    if (fields[i].value && fields[i].siz > 0) raw.append(static_cast<const char*>(fields[i].value), fields[i].siz);
    row->fieldBytes[i] = raw;
    row->values[i] = decodeField(*this, mdb, column, fields[i]);
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

}  // namespace db::engine
