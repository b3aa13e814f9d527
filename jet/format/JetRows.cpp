// Rows of a Jet 4 table: value checks, row encoding and long-value storage.
//
// A stored row is: the column count, the fixed-length area (every fixed
// column has its slot, NULL or not), the variable-length values, then, read
// from the row's end backwards, the null mask, the count of variable columns,
// their offsets and the end-of-data offset. Booleans are bits of the null
// mask, so a Boolean cannot be NULL: a NULL Boolean is stored as false.
#include "jet/format/JetRows.h"

#include "jet/format/JetText.h"

#include <QMetaType>
#include <QSet>
#include <cassert>
#include <cmath>
#include <limits>

namespace jet {

using namespace format;

namespace {

constexpr int kMaxColumns = 255;           // column numbers are one byte in rows and indexes
constexpr int kMaxNameLength = 64;         // longest table or column name the engine allows
constexpr int kMaxTextLength = 255;        // longest Text column, in characters
constexpr int kMaxCompressedMemo = 1024;   // the engine compresses memos only up to this length
constexpr int kMaxInlineMemoSize = 64;     // longer memo data goes to long-value pages
constexpr int kRowColumnCountSize = 2;
constexpr int kRowOffsetEntrySize = 2;
constexpr int kMinLongValueRoom = 64;     // a long-value page with less counts as full

std::optional<qint64> integralValue(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return value.toLongLong();
    case QMetaType::ULongLong: {
      const qulonglong v = value.toULongLong();
      if (v > qulonglong(std::numeric_limits<qint64>::max())) return std::numeric_limits<qint64>::max();
      return qint64(v);
    }
    default: return std::nullopt;
  }
}

std::optional<double> numberValue(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: return value.toDouble();
    default: break;
  }
  if (auto integral = integralValue(value)) return double(*integral);
  return std::nullopt;
}

QString typeName(TypeCode type) {
  switch (type) {
    case TypeCode::Boolean: return QStringLiteral("Boolean");
    case TypeCode::Byte: return QStringLiteral("Byte");
    case TypeCode::Integer: return QStringLiteral("Integer");
    case TypeCode::Long: return QStringLiteral("Long Integer");
    case TypeCode::Double: return QStringLiteral("Double");
    case TypeCode::DateTime: return QStringLiteral("Date/Time");
    case TypeCode::Binary: return QStringLiteral("Binary");
    case TypeCode::Text: return QStringLiteral("Text");
    case TypeCode::Ole: return QStringLiteral("OLE Object");
    case TypeCode::Memo: return QStringLiteral("Memo");
  }
  return QStringLiteral("unknown");
}

void setBit(QByteArray& mask, int bit) { mask[bit / 8] = char(mask[bit / 8] | (1 << (bit % 8))); }

}  // namespace

// ---- PageImage ----

uint32_t PageImage::allocate() {
  m_pages.append(QByteArray());
  return uint32_t(m_pages.size() - 1);
}

void PageImage::set(uint32_t page, const QByteArray& bytes) {
  assert(page < uint32_t(m_pages.size()) && bytes.size() == kPageSize);
  m_pages[int(page)] = bytes;
}

QByteArray PageImage::bytes() const {
  QByteArray file;
  file.reserve(qsizetype(m_pages.size()) * kPageSize);
  for (const QByteArray& page : m_pages) {
    assert(page.size() == kPageSize);
    file += page;
  }
  return file;
}

// ---- LongValueStore ----

uint32_t LongValueStore::addRow(const QByteArray& row) {
  assert(row.size() <= kMaxRowSize);
  if (!m_page || !m_page->fits(int(row.size()))) {
    finish();
    m_page = RowPage::longValuePage();
    m_pageNumber = m_image.allocate();
  }
  return rowPointer(m_pageNumber, m_page->addRow(row));
}

void LongValueStore::finish() {
  if (!m_page) return;
  m_image.set(m_pageNumber, m_page->bytes());
  m_pages.append(m_pageNumber);
  if (m_page->freeSpace() >= kMinLongValueRoom) m_pagesWithRoom.append(m_pageNumber);
  m_page.reset();
}

// ---- RowLayout ----

RowLayout::RowLayout(const QString& tableName, const QVector<FieldSpec>& fields)
    : m_tableName(tableName), m_fields(fields) {
  if (fields.isEmpty()) throw WriteError(QStringLiteral("Table '%1' has no columns").arg(tableName));
  if (fields.size() > kMaxColumns)
    throw WriteError(QStringLiteral("Table '%1' has %2 columns; at most %3 are possible")
                         .arg(tableName).arg(fields.size()).arg(kMaxColumns));
  QSet<QString> names;
  for (int i = 0; i < fields.size(); ++i) {
    const FieldSpec& field = fields[i];
    if (field.name.isEmpty() || field.name.size() > kMaxNameLength)
      throw WriteError(QStringLiteral("Table '%1', column %2: a column name needs 1 to %3 characters")
                           .arg(tableName).arg(i + 1).arg(kMaxNameLength));
    if (names.contains(field.name.toLower()))
      throw WriteError(QStringLiteral("Table '%1': column name '%2' is used twice").arg(tableName, field.name));
    names.insert(field.name.toLower());
    if (field.type == TypeCode::Text && (field.textLength < 1 || field.textLength > kMaxTextLength))
      throw WriteError(QStringLiteral("Table '%1', column '%2': a Text column holds 1 to 255 characters, not %3")
                           .arg(tableName, field.name).arg(field.textLength));

    ColumnDefinition column;
    column.name = field.name;
    column.type = field.type;
    column.number = i;
    if (isFixedLength(field.type)) {
      column.fixedOffset = m_fixedAreaSize;
      column.length = fixedSize(field.type);
      m_fixedAreaSize += fixedSize(field.type);
    } else {
      column.variableIndex = m_variableCount++;
      if (field.type == TypeCode::Text) column.length = 2 * field.textLength;
      if (field.type == TypeCode::Binary) column.length = field.textLength;
    }
    column.compressedText = field.type == TypeCode::Text || field.type == TypeCode::Memo;
    m_columns.append(column);
  }
}

QString RowLayout::where(int column, int rowNumber) const {
  return QStringLiteral("Table '%1', column '%2', row %3").arg(m_tableName, m_fields[column].name).arg(rowNumber + 1);
}

void RowLayout::check(const Row& row, int rowNumber) const {
  if (row.size() != m_fields.size())
    throw WriteError(QStringLiteral("Table '%1', row %2: %3 values for %4 columns")
                         .arg(m_tableName).arg(rowNumber + 1).arg(row.size()).arg(m_fields.size()));
  for (int i = 0; i < row.size(); ++i) {
    const QVariant& value = row[i];
    const FieldSpec& field = m_fields[i];
    if (value.isNull()) continue;
    const auto wrongKind = [&] {
      return WriteError(QStringLiteral("%1: a %2 value cannot be stored in a %3 column")
                            .arg(where(i, rowNumber), QString::fromLatin1(value.typeName()), typeName(field.type)));
    };
    const auto outOfRange = [&](const QString& range) {
      return WriteError(QStringLiteral("%1: %2 is outside the range %3 of a %4 column")
                            .arg(where(i, rowNumber), value.toString(), range, typeName(field.type)));
    };
    switch (field.type) {
      case TypeCode::Boolean:
        if (value.metaType().id() != QMetaType::Bool) throw wrongKind();
        break;
      case TypeCode::Byte:
      case TypeCode::Integer:
      case TypeCode::Long: {
        const auto integral = integralValue(value);
        if (!integral) throw wrongKind();
        if (field.type == TypeCode::Byte && (*integral < 0 || *integral > 255)) throw outOfRange("0..255");
        if (field.type == TypeCode::Integer && (*integral < -32768 || *integral > 32767))
          throw outOfRange("-32768..32767");
        if (field.type == TypeCode::Long &&
            (*integral < std::numeric_limits<int32_t>::min() || *integral > std::numeric_limits<int32_t>::max()))
          throw outOfRange("-2147483648..2147483647");
        break;
      }
      case TypeCode::Double:
      case TypeCode::DateTime: {
        const auto number = numberValue(value);
        if (!number) throw wrongKind();
        if (field.type == TypeCode::DateTime && !std::isfinite(*number))
          throw WriteError(QStringLiteral("%1: a date-time must be a finite day count").arg(where(i, rowNumber)));
        break;
      }
      case TypeCode::Text:
      case TypeCode::Memo: {
        if (value.metaType().id() != QMetaType::QString) throw wrongKind();
        const QString text = value.toString();
        if (field.type == TypeCode::Text && text.size() > field.textLength)
          throw WriteError(QStringLiteral("%1: the text has %2 characters, the column holds at most %3")
                               .arg(where(i, rowNumber)).arg(text.size()).arg(field.textLength));
        if (field.type == TypeCode::Memo && 2 * qint64(text.size()) > qint64(kMaxMemoLength))
          throw WriteError(QStringLiteral("%1: the memo has %2 characters, more than a memo holds")
                               .arg(where(i, rowNumber)).arg(text.size()));
        break;
      }
      case TypeCode::Binary:
      case TypeCode::Ole: throw wrongKind();  // the writer keeps these NULL
    }
  }
}

int RowLayout::minimumRowSize() const {
  int size = kRowColumnCountSize + m_fixedAreaSize + (int(m_fields.size()) + 7) / 8;
  if (m_variableCount > 0) size += 2 + kRowOffsetEntrySize * m_variableCount + 2;
  return size;
}

QByteArray RowLayout::storeMemo(const QByteArray& data, LongValueStore& longValues) const {
  if (data.size() <= kMaxRowSize)
    return memoHeader(MemoStorage::SingleRow, uint32_t(data.size()), longValues.addRow(data));
  // A chain is stored from its last piece on, so each piece knows its successor.
  constexpr int kPieceSize = kMaxRowSize - kLongValueChainPointerSize;
  const int pieces = int((data.size() + kPieceSize - 1) / kPieceSize);
  uint32_t next = 0;
  for (int piece = pieces - 1; piece >= 0; --piece) {
    QByteArray row;
    append32(row, next);
    row += data.mid(qsizetype(piece) * kPieceSize, kPieceSize);
    next = longValues.addRow(row);
  }
  return memoHeader(MemoStorage::Chain, uint32_t(data.size()), next);
}

QVector<int> RowLayout::longValueColumns() const {
  QVector<int> columns;
  for (int i = 0; i < m_fields.size(); ++i)
    if (m_fields[i].type == TypeCode::Memo || m_fields[i].type == TypeCode::Ole) columns.append(i);
  return columns;
}

QByteArray RowLayout::encode(const Row& row, int rowNumber, LongValueStores& longValues) const {
  assert(row.size() == m_fields.size());
  QByteArray nullMask((m_fields.size() + 7) / 8, '\0');
  QByteArray fixedArea(m_fixedAreaSize, '\0');
  QVector<QByteArray> variable(m_variableCount);
  QVector<int> memoColumns;
  int size = minimumRowSize();

  for (int i = 0; i < m_fields.size(); ++i) {
    const QVariant& value = row[i];
    const ColumnDefinition& column = m_columns[i];
    if (column.type == TypeCode::Boolean) {
      if (!value.isNull() && value.toBool()) setBit(nullMask, column.number);
      continue;
    }
    if (value.isNull()) continue;
    setBit(nullMask, column.number);
    switch (column.type) {
      case TypeCode::Byte: put8(fixedArea, column.fixedOffset, uint8_t(value.toLongLong())); break;
      case TypeCode::Integer: put16(fixedArea, column.fixedOffset, uint16_t(int16_t(value.toLongLong()))); break;
      case TypeCode::Long: put32(fixedArea, column.fixedOffset, uint32_t(int32_t(value.toLongLong()))); break;
      case TypeCode::Double:
      case TypeCode::DateTime: putDouble(fixedArea, column.fixedOffset, *numberValue(value)); break;
      case TypeCode::Text:
        variable[column.variableIndex] = text::encode(value.toString(), true);
        size += int(variable[column.variableIndex].size());
        break;
      case TypeCode::Memo: {
        const QString memo = value.toString();
        variable[column.variableIndex] = text::encode(memo, memo.size() <= kMaxCompressedMemo);
        memoColumns.append(i);
        size += kMemoHeaderSize;
        break;
      }
      case TypeCode::Boolean:
      case TypeCode::Binary:
      case TypeCode::Ole: assert(false && "checked before encoding"); break;
    }
  }
  if (size > kMaxRowSize)
    throw WriteError(QStringLiteral("Table '%1', row %2: the row needs %3 bytes, a data page holds at most %4")
                         .arg(m_tableName).arg(rowNumber + 1).arg(size).arg(kMaxRowSize));
  for (int i : memoColumns) {
    QByteArray& slot = variable[m_columns[i].variableIndex];
    const QByteArray data = slot;
    if (data.size() <= kMaxInlineMemoSize && size + data.size() <= kMaxRowSize) {
      slot = memoHeader(MemoStorage::Inline, uint32_t(data.size()), 0) + data;
      size += int(data.size());
    } else {
      slot = storeMemo(data, longValues.at(i));
    }
  }

  QByteArray bytes;
  bytes.reserve(size);
  append16(bytes, uint16_t(m_fields.size()));
  bytes += fixedArea;
  if (m_variableCount > 0) {
    QVector<int> offsets;
    for (const QByteArray& value : variable) {
      offsets.append(int(bytes.size()));
      bytes += value;
    }
    append16(bytes, uint16_t(bytes.size()));  // end of the variable data
    for (int v = m_variableCount - 1; v >= 0; --v) append16(bytes, uint16_t(offsets[v]));
    append16(bytes, uint16_t(m_variableCount));
  }
  bytes += nullMask;
  assert(bytes.size() == size);
  return bytes;
}

}  // namespace jet
