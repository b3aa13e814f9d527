// Row update through libmdb on a scratch copy, with the row guard, the
// read-back check, and the journalled write into the file.
#include "db/engine/MdbUpdate.h"

#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mdbtools.h>
#include <unistd.h>

#include "db/sql/Evaluator.h"
#include "db/engine/MdbTable.h"
#include "db/journal/PageJournal.h"
#include "jet/format/JetPages.h"
#include "jet/format/JetText.h"

// Exported by libmdb 1.0 but missing from its header.
extern "C" ssize_t mdb_write_pg(MdbHandle* mdb, unsigned long pg);

namespace db::engine {

namespace {

namespace format = jet::format;

// The start of every message of a refused guarded update; the refusal
// itself travels as Error::Kind::RowChanged.
const QString kRowChangedMessage = QStringLiteral("The row changed since it was read");

struct Change {
  int column = 0;
  Field value;
  QByteArray stored;  // the value as libmdb copies it into the row
  int storedLength = 0;
};

MdbColumn* columnAt(MdbTableDef* table, int i) {
  return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
}

[[noreturn]] void refuse(const QString& table, const QString& column, const QString& why) {
  throw db::Error(QStringLiteral("Update of %1.%2 not supported: %3").arg(table, column, why));
}

// True when the value read back as `current` already is `wanted`, so the
// column is left alone. A NULL equals the value it reads as (0, false, the
// empty text): the system writes back what it read.
bool sameValue(const Field& current, const Field& wanted) {
  if (current.type == Field::Type::Null) {
    switch (wanted.type) {
      case Field::Type::Null: return true;
      case Field::Type::Text: return wanted.value.toString().isEmpty();
      case Field::Type::Boolean: return !wanted.value.toBool();
      default: return wanted.value.toDouble() == 0;
    }
  }
  if (wanted.type == Field::Type::Null) return false;
  if (current.type == Field::Type::DateTime) {
    // Literals carry whole seconds; within a millisecond is the same moment.
    return std::llround(current.value.toDouble() * 86400000.0) ==
           std::llround(wanted.value.toDouble() * 86400000.0);
  }
  if (current.type == Field::Type::Text) return current.value.toString() == wanted.value.toString();
  if (current.type == Field::Type::Boolean) return current.value.toBool() == wanted.value.toBool();
  return current.value.toDouble() == wanted.value.toDouble();
}

QByteArray storedForm(const MdbTable& table, MdbColumn* column, const ColumnInfo& info, const Field& value) {
  QByteArray bytes;
  auto append = [&](auto number) {
    char buffer[sizeof(number)];
    qToLittleEndian(number, buffer);
    bytes.append(buffer, sizeof(number));
  };
  switch (column->col_type) {
    case MDB_BYTE: bytes.append(static_cast<char>(value.value.toInt())); break;
    case MDB_INT: append(static_cast<qint16>(value.value.toInt())); break;
    case MDB_LONGINT: append(static_cast<qint32>(value.value.toInt())); break;
    case MDB_DOUBLE:
    case MDB_DATETIME: append(std::bit_cast<quint64>(value.value.toDouble())); break;
    case MDB_FLOAT: append(std::bit_cast<quint32>(static_cast<float>(value.value.toDouble()))); break;
    case MDB_TEXT: {
      const QString text = value.value.toString();
      if (table.database().isJet3()) {
        for (QChar c : text) {
          if (c.unicode() > 0x7f) refuse(table.name(), info.name, QStringLiteral("non-ASCII text in a Jet 3 file"));
        }
        bytes = text.toLatin1();
      } else {
        bytes = jet::text::ucs2(text);
      }
      if (bytes.size() > column->col_size)
        refuse(table.name(), info.name, QStringLiteral("text longer than the column"));
      break;
    }
    default: refuse(table.name(), info.name, QStringLiteral("libmdb cannot write this column type"));
  }
  return bytes;
}

// Refuses rows that mdb_pack_row would not rebuild byte for byte: it lays
// out fixed columns, variable columns and null bits in column order.
void checkRowLayout(const MdbTable& table, const ScannedRow& row) {
  MdbTableDef* def = table.definition();
  const bool jet3 = table.database().isJet3();
  const auto* bytes = reinterpret_cast<const unsigned char*>(row.bytes.constData());
  const unsigned int rowColumns = jet3 ? bytes[0] : format::le16(bytes);
  auto layout = [&](const QString& why) {
    throw db::Error(QStringLiteral("Update of %1 not supported: the row's layout (%2) cannot be rewritten by libmdb")
                        .arg(table.name(), why));
  };
  if (rowColumns != def->num_cols) layout(QStringLiteral("column count"));
  int fixedOffset = 0;
  unsigned int variable = 0;
  for (unsigned int i = 0; i < def->num_cols; ++i) {
    MdbColumn* column = columnAt(def, i);
    if (column->col_num != static_cast<int>(i)) layout(QStringLiteral("column order"));
    if (column->is_fixed) {
      if (column->fixed_offset != fixedOffset) layout(QStringLiteral("fixed column offsets"));
      fixedOffset += column->col_size;
    } else if (column->var_col_num != variable++) {
      layout(QStringLiteral("variable column order"));
    }
  }
}

// Collects what libmdb prints on stderr while it works (it reports refusals
// only there).
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    m_file = std::tmpfile();
    m_saved = ::dup(STDERR_FILENO);
    if (m_file && m_saved >= 0) ::dup2(::fileno(m_file), STDERR_FILENO);
  }
  ~StderrCapture() { finish(); }
  QString finish() {
    if (m_saved < 0) return m_text;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
    m_saved = -1;
    if (m_file) {
      std::rewind(m_file);
      char buffer[512];
      size_t n = 0;
      while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) m_text += QString::fromLocal8Bit(buffer, n);
      std::fclose(m_file);
      m_file = nullptr;
    }
    return m_text = m_text.trimmed();
  }

 private:
  std::FILE* m_file = nullptr;
  int m_saved = -1;
  QString m_text;
};

QVector<ScannedRow> scanAll(MdbTable& table) {
  QVector<ScannedRow> rows;
  table.rewind();
  ScannedRow row;
  while (table.next(&row)) rows.append(row);
  return rows;
}

// Describes the first difference between the rows before and after, or
// returns an empty text when only the changes arrived.
QString verify(const QVector<ScannedRow>& before, const QVector<ScannedRow>& after, int target,
               const QVector<Change>& changes, const QVector<ColumnInfo>& columns) {
  if (before.size() != after.size()) return QStringLiteral("the number of rows changed");
  for (int r = 0; r < before.size(); ++r) {
    if (before[r].page != after[r].page || before[r].index != after[r].index)
      return QStringLiteral("the rows moved");
    if (r != target) {
      if (before[r].bytes != after[r].bytes) return QStringLiteral("another row changed");
      continue;
    }
    for (int c = 0; c < columns.size(); ++c) {
      const Change* change = nullptr;
      for (const Change& candidate : changes) {
        if (candidate.column == c) change = &candidate;
      }
      if (change) {
        if (!sameValue(after[r].values[c], change->value) || after[r].values[c].type == Field::Type::Null)
          return QStringLiteral("column %1 did not receive the new value").arg(columns[c].name);
      } else if (before[r].fieldBytes[c] != after[r].fieldBytes[c]) {
        return QStringLiteral("column %1 changed although it was not assigned").arg(columns[c].name);
      }
    }
  }
  return {};
}

// libmdb packs a row without writing the slots of its NULL fixed columns,
// which then hold whatever its stack held; every reader ignores them, but
// the file must not change beyond the new values. Puts their old bytes back
// into the updated row on the page in libmdb's buffer and writes the page.
// NULL columns are never assigned (refused before), so every such slot is
// one to restore.
void restoreNullSlots(MdbHandle* mdb, MdbTableDef* def, int rowIndex, const ScannedRow& before, bool jet3) {
  const int rco = mdb->fmt->row_count_offset;
  const int pageSize = static_cast<int>(mdb->fmt->pg_size);
  const int start = format::le16(mdb->pg_buf + format::rowOffsetEntry(rco, rowIndex)) & format::kRowStartMask;
  const int fixedStart = start + format::rowColumnCountSize(jet3);
  bool patched = false;
  for (unsigned int i = 0; i < def->num_cols; ++i) {
    MdbColumn* column = columnAt(def, i);
    if (!column->is_fixed || before.values[i].type != Field::Type::Null) continue;
    const QByteArray slot = before.fieldBytes[i].mid(1);
    const int at = fixedStart + column->fixed_offset;
    if (slot.size() != column->col_size || at < 0 || at + slot.size() > pageSize) continue;
    if (std::memcmp(mdb->pg_buf + at, slot.constData(), slot.size()) == 0) continue;
    std::memcpy(mdb->pg_buf + at, slot.constData(), slot.size());
    patched = true;
  }
  if (patched) mdb_write_pg(mdb, def->cur_phys_pg);
}

QString describe(const Field& field) {
  switch (field.type) {
    case Field::Type::Null: return QStringLiteral("NULL");
    case Field::Type::Text: return u'\'' + field.value.toString() + u'\'';
    case Field::Type::DateTime: return QString::number(field.value.toDouble(), 'f', 8);
    default: return field.value.toString();
  }
}

// The index of column `name` (any letter case); throws naming the table
// when it has no such column.
int existingColumn(const QVector<ColumnInfo>& columns, const QString& name, const QString& tableName) {
  const int index = columnIndexIn(columns, name);
  if (index < 0) throw db::Error(QStringLiteral("Column %1 does not exist in table %2").arg(name, tableName));
  return index;
}

// Refuses the update (RowChangedError) when the row no longer holds the
// values it was read with; a NULL equals the value it reads as. With the
// caller's changed columns (`changed`, column indexes), only those are
// compared, and one that already holds its new value (`assigned`) passes.
void checkExpected(const QString& tableName, const sql::UpdateStatement& update, const QVector<ColumnInfo>& columns,
                   const ResultRow& row, const ExpectedValues& expected, const std::optional<QVector<int>>& changed,
                   const QVector<std::pair<int, Field>>& assigned) {
  for (const auto& [name, value] : expected) {
    const int index = existingColumn(columns, name, tableName);
    if (changed && !changed->contains(index)) continue;
    if (sameValue(row[index], value)) continue;
    if (changed && std::any_of(assigned.cbegin(), assigned.cend(), [&](const std::pair<int, Field>& a) {
          return a.first == index && sameValue(row[index], a.second);
        }))
      continue;
    throw RowChangedError(QStringLiteral("%1: %2 row %3=%4, column %5 holds %6 instead of %7")
                              .arg(kRowChangedMessage, tableName, update.keyColumn)
                              .arg(update.keyValue)
                              .arg(columns[index].name, describe(row[index]), describe(value)));
  }
}

// What one update changes: the table's columns, the rows as they were, the
// target row among them and the columns whose stored value changes.
struct UpdatePlan {
  QString tableName;
  QVector<ColumnInfo> columns;
  QVector<ScannedRow> before;
  int target = -1;
  QVector<Change> changes;
};

// The statement's assignments that are carried out, as (column index, new
// value): all of them, or with the caller's changed columns (`changed`)
// only those.
QVector<std::pair<int, Field>> assignedValues(const UpdatePlan& plan, const sql::UpdateStatement& update,
                                              const std::optional<QVector<int>>& changed) {
  QVector<std::pair<int, Field>> assigned;
  for (const sql::Assignment& assignment : update.assignments) {
    const int index = existingColumn(plan.columns, assignment.column, plan.tableName);
    const Field value = assignedValue(plan.columns[index], assignment.value);
    if (!changed || changed->contains(index)) assigned.append({index, value});
  }
  return assigned;
}

// The index of the one row whose key column holds the statement's key.
// Throws RowChangedError when it is gone and the caller read it before
// (expected values), db::Error when it never was or is there twice.
int targetRow(const UpdatePlan& plan, const sql::UpdateStatement& update, int key, bool guarded) {
  int target = -1;
  for (int r = 0; r < plan.before.size(); ++r) {
    const Field& id = plan.before[r].values[key];
    if (id.type == Field::Type::Integer && id.value.toLongLong() == update.keyValue) {
      if (target >= 0)
        throw db::Error(QStringLiteral("Table %1 has more than one row with %2=%3")
                            .arg(plan.tableName, update.keyColumn)
                            .arg(update.keyValue));
      target = r;
    }
  }
  if (target < 0 && guarded)
    throw RowChangedError(QStringLiteral("%1: %2 has no row with %3=%4 any more")
                              .arg(kRowChangedMessage, plan.tableName, update.keyColumn)
                              .arg(update.keyValue));
  if (target < 0)
    throw db::Error(
        QStringLiteral("Table %1 has no row with %2=%3").arg(plan.tableName, update.keyColumn).arg(update.keyValue));
  return target;
}

// Reads the table and decides what the update changes; refuses (before
// anything is written) what libmdb cannot write. No changes: the row
// already holds every value.
UpdatePlan planUpdate(MdbTable& table, const sql::UpdateStatement& update, const ExpectedValues& expected,
                      const std::optional<QStringList>& changedColumns) {
  UpdatePlan plan;
  plan.tableName = table.name();
  plan.columns = table.columns();
  const int key = existingColumn(plan.columns, update.keyColumn, plan.tableName);

  // The caller's changed columns; the statement's other assignments are left out.
  std::optional<QVector<int>> changed;
  if (changedColumns) {
    changed.emplace();
    for (const QString& name : *changedColumns) changed->append(existingColumn(plan.columns, name, plan.tableName));
  }
  const QVector<std::pair<int, Field>> assigned = assignedValues(plan, update, changed);

  plan.before = scanAll(table);
  plan.target = targetRow(plan, update, key, !expected.isEmpty());
  const ResultRow& row = plan.before[plan.target].values;
  checkExpected(plan.tableName, update, plan.columns, row, expected, changed, assigned);

  for (const auto& [index, value] : assigned) {
    const Field& current = row[index];
    if (sameValue(current, value)) continue;
    const ColumnInfo& info = plan.columns[index];
    if (info.kind == ColumnKind::Boolean)
      refuse(plan.tableName, info.name, QStringLiteral("libmdb cannot change a Boolean (it is kept in the null mask)"));
    if (current.type == Field::Type::Null || value.type == Field::Type::Null)
      refuse(plan.tableName, info.name, QStringLiteral("libmdb cannot change whether a value is NULL"));
    if (info.indexed) refuse(plan.tableName, info.name, QStringLiteral("the column is part of an index"));
    Change change;
    change.column = index;
    change.value = value;
    change.stored = storedForm(table, columnAt(table.definition(), index), info, value);
    change.storedLength = change.stored.size();
    plan.changes.append(change);
  }
  if (!plan.changes.isEmpty()) checkRowLayout(table, plan.before[plan.target]);
  return plan;
}

// libmdb's page rebuild copies rows from their raw offsets, so the deleted
// and overflow flags of the row offset table on the page in its buffer are
// cleared while it works and set again (and the page written) afterwards.
class RowFlagsCleared {
 public:
  explicit RowFlagsCleared(MdbHandle* mdb) : m_mdb(mdb), m_rowCountOffset(mdb->fmt->row_count_offset) {
    const int rows = format::le16(mdb->pg_buf + m_rowCountOffset);
    m_flags.resize(rows);
    for (int i = 0; i < rows; ++i) {
      unsigned char* entry = entryOf(i);
      const quint16 offset = format::le16(entry);
      m_flags[i] = offset & format::kRowFlags;
      m_flagged = m_flagged || m_flags[i] != 0;
      format::setLe16(entry, offset & ~format::kRowFlags);
    }
  }
  bool flagged(int row) const { return m_flags.value(row) != 0; }
  // Sets the flags again and writes the page when any were set.
  void restore(MdbTableDef* def) {
    if (!m_flagged) return;
    for (int i = 0; i < m_flags.size(); ++i) format::setLe16(entryOf(i), format::le16(entryOf(i)) | m_flags[i]);
    mdb_write_pg(m_mdb, def->cur_phys_pg);
  }

 private:
  unsigned char* entryOf(int row) const { return m_mdb->pg_buf + format::rowOffsetEntry(m_rowCountOffset, row); }
  MdbHandle* m_mdb;
  int m_rowCountOffset;
  QVector<quint16> m_flags;
  bool m_flagged = false;
};

void unbindAll(MdbTableDef* def) {
  for (unsigned int i = 0; i < def->num_cols; ++i) {
    columnAt(def, i)->bind_ptr = nullptr;
    columnAt(def, i)->len_ptr = nullptr;
  }
}

// Has libmdb rewrite the row last fetched with the changed columns bound
// alone; returns what libmdb printed meanwhile.
QString rewriteRow(MdbTableDef* def, QVector<Change>& changes) {
  unbindAll(def);
  for (Change& change : changes) mdb_bind_column(def, change.column + 1, change.stored.data(), &change.storedLength);
  // libmdb 1.0 compares 1-based index key numbers with 0-based column
  // numbers and so refuses the column after an indexed one; indexed columns
  // were refused before, so its check is switched off for the call.
  const unsigned int indexCount = def->num_idxs;
  def->num_idxs = 0;
  QString engineMessage;
  {
    StderrCapture capture;
    mdb_update_row(def);
    engineMessage = capture.finish();
  }
  def->num_idxs = indexCount;
  return engineMessage;
}

// Writes the plan's changes into the row on the scratch copy at `path`;
// returns what libmdb printed meanwhile.
QString writeChanges(MdbDatabase& database, MdbTable& table, UpdatePlan& plan, const sql::UpdateStatement& update) {
  MdbTableDef* def = table.definition();
  MdbHandle* mdb = static_cast<MdbHandle*>(database.handle());
  const ScannedRow& target = plan.before[plan.target];

  // Stand on the row again: libmdb updates the row last fetched, on the page in its buffer.
  table.rewind();
  ScannedRow row;
  bool found = false;
  while (!found && table.next(&row)) found = row.page == target.page && row.index == target.index;
  if (!found)
    throw db::Error(
        QStringLiteral("Row %1=%2 of %3 vanished").arg(update.keyColumn).arg(update.keyValue).arg(plan.tableName));

  RowFlagsCleared flags(mdb);
  if (flags.flagged(row.index))
    throw db::Error(QStringLiteral("Row %1=%2 of %3 is an overflow row")
                        .arg(update.keyColumn)
                        .arg(update.keyValue)
                        .arg(plan.tableName));
  const QString engineMessage = rewriteRow(def, plan.changes);
  flags.restore(def);
  restoreNullSlots(mdb, def, row.index, target, database.isJet3());
  unbindAll(def);
  return engineMessage;
}

// The update on the file at `path` in place: the scratch copy, which the
// caller throws away when this throws db::Error. The copy is read back
// afterwards: only the changes may have arrived.
void updateInPlace(const QString& path, const sql::UpdateStatement& update, const ExpectedValues& expected,
                   const std::optional<QStringList>& changedColumns) {
  UpdatePlan plan;
  QString engineMessage;
  {  // the database is closed before the update is read back
    MdbDatabase database(path, true);
    MdbTable table(database, update.table, true);
    plan = planUpdate(table, update, expected, changedColumns);
    if (plan.changes.isEmpty()) return;  // the row already holds every value
    engineMessage = writeChanges(database, table, plan, update);
  }

  QString problem;
  try {
    MdbDatabase database(path, false);
    MdbTable table(database, update.table);
    problem = verify(plan.before, scanAll(table), plan.target, plan.changes, plan.columns);
  } catch (const db::Error& error) {
    problem = error.message();
  }
  if (!problem.isEmpty()) {
    QString message = QStringLiteral("Update of %1 row %2=%3 failed and was undone: %4")
                          .arg(plan.tableName, update.keyColumn)
                          .arg(update.keyValue)
                          .arg(problem);
    if (!engineMessage.isEmpty()) message += QStringLiteral(" (libmdb: %1)").arg(engineMessage.simplified());
    throw db::Error(message);
  }
}

}  // namespace

void executeUpdate(const QString& path, const sql::UpdateStatement& update, const ExpectedValues& expected,
                   const std::optional<QStringList>& changedColumns) {
  updateThroughJournal(path, [&](const QString& scratchPath) {
    updateInPlace(scratchPath, update, expected, changedColumns);
  });
}

}  // namespace db::engine
