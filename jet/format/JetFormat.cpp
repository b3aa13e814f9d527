// Jet 4 page formats: the builders declared in JetFormat.h.
//
// Offsets follow the Jet 4 layout as mdbtools (HACKING.md, libmdb) and the
// independent readers document it; where a field's meaning is unknown the
// value an empty engine-made file carries is written (usually zero).
#include "jet/format/JetFormat.h"

#include "jet/format/JetPages.h"

#include <cassert>
#include <cmath>
#include <cstring>

namespace jet::format {

namespace {

// ---- database definition page ----
constexpr char kEngineName[] = "Standard Jet DB";
constexpr int kHeaderMagicOffset = 0x00;
constexpr uint32_t kHeaderMagic = 0x00000100;
constexpr int kHeaderEngineNameOffset = 0x04;
constexpr int kHeaderVersionOffset = 0x14;
constexpr uint8_t kJet3Version = 0x00;
constexpr uint8_t kJet4Version = 0x01;
constexpr char kAceEngineName[] = "Standard ACE DB";
constexpr uint8_t kFirstAceVersion = 0x02;
constexpr uint8_t kLastAceVersion = 0x06;
constexpr int kHeaderScrambledOffset = 0x18;
constexpr int kHeaderScrambledLength = 128;
constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr int kHeaderCodePageOffset = 0x3C;
constexpr uint16_t kCodePageWindows1252 = 1252;
constexpr int kHeaderDatabaseKeyOffset = 0x3E;  // 0: pages are not encrypted
constexpr int kHeaderPasswordOffset = 0x42;
constexpr int kHeaderPasswordLength = 40;
constexpr int kHeaderSortOrderOffset = 0x6E;
constexpr uint16_t kSortOrderGeneral = 0x0409;
constexpr int kHeaderCreationDateOffset = 0x72;

// ---- data pages ----
constexpr int kPageTypeOffset = 0;
constexpr int kPageMarkerOffset = 1;  // always 0x01
constexpr int kDataFreeSpaceOffset = 2;
constexpr int kDataOwnerOffset = 4;
constexpr int kDataRowCountOffset = 12;
constexpr int kDataRowOffsetsOffset = 14;
constexpr char kLongValueMarker[] = "LVAL";
static_assert(kDataRowOffsetsOffset == kDataPageHeaderSize);

// ---- table definition ----
constexpr int kTdefFreeSpaceOffset = 2;
constexpr int kTdefNextPageOffset = 4;
constexpr int kTdefLengthOffset = 8;
constexpr int kTdefMagicOffset = 12;
constexpr uint32_t kTableMagic = 1625;
constexpr int kTdefRowCountOffset = 16;
constexpr int kTdefAutonumberFlagOffset = 24;
constexpr int kTdefTableTypeOffset = 40;
constexpr uint8_t kUserTable = 0x4E;
constexpr uint8_t kSystemTable = 0x53;
constexpr int kTdefMaxColumnsOffset = 41;
constexpr int kTdefVariableColumnsOffset = 43;
constexpr int kTdefColumnCountOffset = 45;
constexpr int kTdefLogicalIndexCountOffset = 47;
constexpr int kTdefRealIndexCountOffset = 51;
constexpr int kTdefOwnedMapOffset = 55;
constexpr int kTdefFreeMapOffset = 59;
constexpr int kTdefHeaderSize = 63;
constexpr int kRealIndexCountEntrySize = 12;
constexpr int kColumnEntrySize = 25;
constexpr int kRealIndexEntrySize = 52;
constexpr int kLogicalIndexEntrySize = 28;
constexpr int kLongValueMapsEntrySize = 10;
constexpr uint32_t kIndexMagic = 1923;
constexpr int kIndexColumnSlots = 10;
constexpr uint16_t kNoColumn = 0xFFFF;
constexpr uint8_t kAscending = 0x01;
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexRequired = 0x08;
constexpr uint8_t kLogicalIndexPrimaryKey = 0x01;
constexpr uint8_t kColumnFixed = 0x01;
constexpr uint8_t kColumnUpdatable = 0x02;
constexpr uint8_t kColumnCompressedText = 0x01;  // extended flags

// ---- index pages ----
constexpr int kIndexFreeSpaceOffset = 2;
constexpr int kIndexOwnerOffset = 4;
constexpr int kIndexPreviousOffset = 8;
constexpr int kIndexNextOffset = 12;
constexpr int kIndexEntryMaskOffset = 0x1B;
constexpr uint8_t kKeyPresentAscending = 0x7F;

int nameSize(const QString& name) { return 2 + 2 * int(name.size()); }

void appendName(QByteArray& bytes, const QString& name) {
  append16(bytes, uint16_t(2 * name.size()));
  for (QChar c : name) append16(bytes, c.unicode());
}

void appendBigEndian(QByteArray& bytes, uint32_t value, int size) {
  for (int i = size - 1; i >= 0; --i) bytes.append(char((value >> (8 * i)) & 0xFF));
}

// RC4 as the engine applies it to the header region.
void rc4(const uint8_t* key, int keyLength, uint8_t* data, int length) {
  uint8_t state[256];
  for (int i = 0; i < 256; ++i) state[i] = uint8_t(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + state[i] + key[i % keyLength]) & 0xFF;
    std::swap(state[i], state[j]);
  }
  for (int n = 0, i = 0, j = 0; n < length; ++n) {
    i = (i + 1) & 0xFF;
    j = (j + state[i]) & 0xFF;
    std::swap(state[i], state[j]);
    data[n] ^= state[(state[i] + state[j]) & 0xFF];
  }
}

}  // namespace

int fixedSize(TypeCode type) {
  switch (type) {
    case TypeCode::Boolean: return 0;
    case TypeCode::Byte: return 1;
    case TypeCode::Integer: return 2;
    case TypeCode::Long: return 4;
    case TypeCode::Double:
    case TypeCode::DateTime: return 8;
    default: return 0;
  }
}

bool isFixedLength(TypeCode type) {
  switch (type) {
    case TypeCode::Boolean:
    case TypeCode::Byte:
    case TypeCode::Integer:
    case TypeCode::Long:
    case TypeCode::Double:
    case TypeCode::DateTime: return true;
    default: return false;
  }
}

void put8(QByteArray& page, int offset, uint8_t value) {
  assert(offset >= 0 && offset < page.size());
  page[offset] = char(value);
}

void put16(QByteArray& page, int offset, uint16_t value) {
  put8(page, offset, value & 0xFF);
  put8(page, offset + 1, value >> 8);
}

void put32(QByteArray& page, int offset, uint32_t value) {
  put16(page, offset, value & 0xFFFF);
  put16(page, offset + 2, value >> 16);
}

void putDouble(QByteArray& page, int offset, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  put32(page, offset, uint32_t(bits));
  put32(page, offset + 4, uint32_t(bits >> 32));
}

void append16(QByteArray& bytes, uint16_t value) {
  bytes.append(char(value & 0xFF));
  bytes.append(char(value >> 8));
}

void append32(QByteArray& bytes, uint32_t value) {
  append16(bytes, value & 0xFFFF);
  append16(bytes, value >> 16);
}

void appendDouble(QByteArray& bytes, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  append32(bytes, uint32_t(bits));
  append32(bytes, uint32_t(bits >> 32));
}

QByteArray blankPage() { return QByteArray(kPageSize, '\0'); }

uint32_t rowPointer(uint32_t page, int row) {
  assert(page < (1u << 24) && row >= 0 && row < 256);
  return (page << 8) | uint32_t(row);
}

// ---- database definition page ---------------------------------------------

QByteArray databaseDefinitionPage(double creationDate) {
  QByteArray page = blankPage();
  put8(page, kPageTypeOffset, uint8_t(PageType::DatabaseDefinition));
  put32(page, kHeaderMagicOffset, kHeaderMagic);
  std::memcpy(page.data() + kHeaderEngineNameOffset, kEngineName, sizeof kEngineName);
  put8(page, kHeaderVersionOffset, kJet4Version);
  put16(page, kHeaderCodePageOffset, kCodePageWindows1252);
  put32(page, kHeaderDatabaseKeyOffset, 0);
  // An empty password is stored as the mask the engine derives from the
  // creation date (the whole day count, repeated), so unmasking yields zeros.
  const uint32_t mask = uint32_t(int32_t(std::floor(creationDate)));
  for (int i = 0; i < kHeaderPasswordLength; i += 4) put32(page, kHeaderPasswordOffset + i, mask);
  put16(page, kHeaderSortOrderOffset, kSortOrderGeneral);
  putDouble(page, kHeaderCreationDateOffset, creationDate);
  rc4(kHeaderKey, sizeof kHeaderKey, reinterpret_cast<uint8_t*>(page.data()) + kHeaderScrambledOffset,
      kHeaderScrambledLength);
  return page;
}

// ---- data and long-value pages ----------------------------------------------

RowPage RowPage::dataPage(uint32_t ownerPage) {
  RowPage page;
  put8(page.m_page, kPageTypeOffset, uint8_t(PageType::Data));
  put8(page.m_page, kPageMarkerOffset, 0x01);
  put32(page.m_page, kDataOwnerOffset, ownerPage);
  put16(page.m_page, kDataFreeSpaceOffset, uint16_t(page.freeSpace()));
  return page;
}

RowPage RowPage::longValuePage() {
  RowPage page;
  put8(page.m_page, kPageTypeOffset, uint8_t(PageType::Data));
  put8(page.m_page, kPageMarkerOffset, 0x01);
  std::memcpy(page.m_page.data() + kDataOwnerOffset, kLongValueMarker, 4);
  put16(page.m_page, kDataFreeSpaceOffset, uint16_t(page.freeSpace()));
  return page;
}

int RowPage::freeSpace() const {
  return m_dataStart - (kDataRowOffsetsOffset + kRowOffsetSize * m_rowCount);
}

bool RowPage::fits(int rowSize) const {
  return m_rowCount < kMaxRowsPerPage && rowSize + kRowOffsetSize <= freeSpace();
}

int RowPage::addRow(const QByteArray& row) {
  assert(fits(int(row.size())));
  m_dataStart -= int(row.size());
  std::memcpy(m_page.data() + m_dataStart, row.constData(), size_t(row.size()));
  put16(m_page, kDataRowOffsetsOffset + kRowOffsetSize * m_rowCount, uint16_t(m_dataStart));
  ++m_rowCount;
  put16(m_page, kDataRowCountOffset, uint16_t(m_rowCount));
  put16(m_page, kDataFreeSpaceOffset, uint16_t(freeSpace()));
  return m_rowCount - 1;
}

// ---- memo fields ---------------------------------------------------------------

QByteArray memoHeader(MemoStorage storage, uint32_t length, uint32_t firstRow) {
  assert(length <= kMaxMemoLength);
  QByteArray header;
  append32(header, length | uint32_t(storage));
  append32(header, storage == MemoStorage::Inline ? 0 : firstRow);
  append32(header, 0);
  return header;
}

// ---- usage maps ------------------------------------------------------------------

bool fitsInlineMap(const QVector<uint32_t>& pages) {
  return pages.isEmpty() || pages.last() - pages.first() < uint32_t(kInlineMapPages);
}

QByteArray inlineUsageMap(const QVector<uint32_t>& pages) {
  assert(fitsInlineMap(pages));
  QByteArray map(kInlineMapRowSize, '\0');
  const uint32_t start = pages.isEmpty() ? 0 : pages.first();
  put8(map, 0, 0x00);
  put32(map, 1, start);
  for (uint32_t page : pages) {
    const uint32_t bit = page - start;
    assert(bit < uint32_t(kInlineMapPages));
    map[kInlineMapHeaderSize + int(bit / 8)] = char(map[kInlineMapHeaderSize + int(bit / 8)] | (1 << (bit % 8)));
  }
  return map;
}

int usageMapRanges(const QVector<uint32_t>& pages) {
  assert(!pages.isEmpty());
  return int(pages.last() / uint32_t(kPagesPerBitmapPage)) + 1;
}

QByteArray referenceUsageMap(const QVector<uint32_t>& bitmapPages) {
  QByteArray map;
  map.append(char(0x01));
  for (uint32_t page : bitmapPages) append32(map, page);
  return map;
}

QByteArray usageBitmapPage(const QVector<uint32_t>& pages, int range) {
  QByteArray page = blankPage();
  put8(page, kPageTypeOffset, uint8_t(PageType::UsageBitmap));
  put8(page, kPageMarkerOffset, 0x01);
  const uint32_t first = uint32_t(range) * uint32_t(kPagesPerBitmapPage);
  for (uint32_t p : pages) {
    if (p < first || p >= first + uint32_t(kPagesPerBitmapPage)) continue;
    const uint32_t bit = p - first;
    const int at = kBitmapPageHeaderSize + int(bit / 8);
    page[at] = char(page[at] | (1 << (bit % 8)));
  }
  return page;
}

// ---- table definition page --------------------------------------------------------

int tableDefinitionSize(const TableDefinition& table) {
  int size = kTdefHeaderSize + kRealIndexCountEntrySize * int(table.indexes.size()) +
             kColumnEntrySize * int(table.columns.size());
  for (const ColumnDefinition& column : table.columns) size += nameSize(column.name);
  size += (kRealIndexEntrySize + kLogicalIndexEntrySize) * int(table.indexes.size());
  for (const IndexDefinition& index : table.indexes) size += nameSize(index.name);
  size += kLongValueMapsEntrySize * int(table.longValueColumns.size());
  return size + 2;  // end marker
}

QByteArray tableDefinitionPage(const TableDefinition& table) {
  const int size = tableDefinitionSize(table);
  assert(size <= kPageSize);
  int variableColumns = 0;
  for (const ColumnDefinition& column : table.columns)
    if (!isFixedLength(column.type)) ++variableColumns;

  QByteArray page = blankPage();
  put8(page, kPageTypeOffset, uint8_t(PageType::TableDefinition));
  put8(page, kPageMarkerOffset, 0x01);
  put16(page, kTdefFreeSpaceOffset, uint16_t(kPageSize - size));
  put32(page, kTdefNextPageOffset, 0);
  put32(page, kTdefLengthOffset, uint32_t(size));
  put32(page, kTdefMagicOffset, kTableMagic);
  put32(page, kTdefRowCountOffset, table.rowCount);
  put8(page, kTdefAutonumberFlagOffset, 0x01);
  put8(page, kTdefTableTypeOffset, table.systemTable ? kSystemTable : kUserTable);
  put16(page, kTdefMaxColumnsOffset, uint16_t(table.columns.size()));
  put16(page, kTdefVariableColumnsOffset, uint16_t(variableColumns));
  put16(page, kTdefColumnCountOffset, uint16_t(table.columns.size()));
  put32(page, kTdefLogicalIndexCountOffset, uint32_t(table.indexes.size()));
  put32(page, kTdefRealIndexCountOffset, uint32_t(table.indexes.size()));
  put32(page, kTdefOwnedMapOffset, table.ownedPagesMapRow);
  put32(page, kTdefFreeMapOffset, table.freePagesMapRow);

  QByteArray body;
  for (int i = 0; i < table.indexes.size(); ++i) {
    append32(body, 0);
    append32(body, table.rowCount);  // rows in the index
    append32(body, 0);
  }
  for (const ColumnDefinition& column : table.columns) {
    const bool fixed = isFixedLength(column.type);
    const bool textual = column.type == TypeCode::Text || column.type == TypeCode::Memo;
    body.append(char(column.type));
    append32(body, kTableMagic);
    append16(body, uint16_t(column.number));
    append16(body, uint16_t(fixed ? 0 : column.variableIndex));
    append16(body, uint16_t(column.number));
    append16(body, textual ? kSortOrderGeneral : 0);  // sort order, or precision/scale
    append16(body, 0);                                 // sort order version 0
    body.append(char((fixed ? kColumnFixed : 0) | kColumnUpdatable));
    body.append(char(column.compressedText ? kColumnCompressedText : 0));
    append32(body, 0);
    append16(body, uint16_t(fixed ? column.fixedOffset : 0));
    append16(body, uint16_t(column.length));
  }
  for (const ColumnDefinition& column : table.columns) appendName(body, column.name);
  for (const IndexDefinition& index : table.indexes) {
    append32(body, kIndexMagic);
    for (int slot = 0; slot < kIndexColumnSlots; ++slot) {
      append16(body, slot == 0 ? uint16_t(index.columnNumber) : kNoColumn);
      body.append(char(slot == 0 ? kAscending : 0));
    }
    append32(body, index.usageMapRow);
    append32(body, index.rootPage);
    append32(body, 0);
    body.append(char(kIndexUnique | kIndexRequired));
    body.append(QByteArray(5, '\0'));
  }
  for (int i = 0; i < table.indexes.size(); ++i) {
    append32(body, kTableMagic);
    append32(body, uint32_t(i));  // logical index number
    append32(body, uint32_t(i));  // the real index behind it
    body.append(char(0));         // no foreign key
    append32(body, 0xFFFFFFFFu);
    append32(body, 0);
    body.append(char(0));
    body.append(char(0));
    body.append(char(table.indexes[i].primaryKey ? kLogicalIndexPrimaryKey : 0));
    append32(body, 0);
  }
  for (const IndexDefinition& index : table.indexes) appendName(body, index.name);
  for (const LongValueColumnMaps& column : table.longValueColumns) {
    append16(body, uint16_t(column.columnNumber));
    append32(body, column.ownedPagesMapRow);
    append32(body, column.freePagesMapRow);
  }
  append16(body, kNoColumn);  // end of the long-value column usage maps
  assert(kTdefHeaderSize + body.size() == size);
  std::memcpy(page.data() + kTdefHeaderSize, body.constData(), size_t(body.size()));
  return page;
}

// ---- index pages --------------------------------------------------------------------

QByteArray longIndexKey(int32_t value) {
  QByteArray key;
  key.append(char(kKeyPresentAscending));
  appendBigEndian(key, uint32_t(value) ^ 0x80000000u, 4);
  return key;
}

QByteArray indexLeafEntry(const QByteArray& key, uint32_t page, int row) {
  QByteArray entry = key;
  appendBigEndian(entry, page, 3);
  entry.append(char(row));
  return entry;
}

QByteArray indexNodeEntry(const QByteArray& lastChildEntry, uint32_t childPage) {
  QByteArray entry = lastChildEntry;
  appendBigEndian(entry, childPage, 4);
  return entry;
}

QByteArray indexPage(PageType type, uint32_t ownerPage, const QVector<QByteArray>& entries,
                     uint32_t previousPage, uint32_t nextPage) {
  assert(type == PageType::IndexLeaf || type == PageType::IndexNode);
  QByteArray page = blankPage();
  put8(page, kPageTypeOffset, uint8_t(type));
  put8(page, kPageMarkerOffset, 0x01);
  put32(page, kIndexOwnerOffset, ownerPage);
  put32(page, kIndexPreviousOffset, previousPage);
  put32(page, kIndexNextOffset, nextPage);
  int used = 0;
  for (const QByteArray& entry : entries) {
    assert(used + entry.size() <= kIndexPageCapacity);
    std::memcpy(page.data() + kIndexEntriesStart + used, entry.constData(), size_t(entry.size()));
    used += int(entry.size());
    // The mask marks where each entry ends (= where the next one starts).
    const int at = kIndexEntryMaskOffset + used / 8;
    page[at] = char(page[at] | (1 << (used % 8)));
  }
  put16(page, kIndexFreeSpaceOffset, uint16_t(kIndexPageCapacity - used));
  return page;
}

bool isJetHeader(const QByteArray& header) {
  static_assert(kHeaderVersionOffset < kFileHeaderBytes);
  if (header.size() < kFileHeaderBytes || le32(header.constData() + kHeaderMagicOffset) != kHeaderMagic) return false;
  const QByteArray engine = header.mid(kHeaderEngineNameOffset, sizeof kEngineName);
  return engine == QByteArray(kEngineName, sizeof kEngineName) ||
         engine == QByteArray(kAceEngineName, sizeof kAceEngineName);
}

int fileVersionByte(const QByteArray& header) { return uint8_t(header.at(kHeaderVersionOffset)); }

std::optional<FileVersion> fileVersionOf(const QByteArray& header) {
  if (!isJetHeader(header)) return std::nullopt;
  const int version = fileVersionByte(header);
  if (header.mid(kHeaderEngineNameOffset, sizeof kEngineName) == QByteArray(kEngineName, sizeof kEngineName)) {
    if (version == kJet3Version) return FileVersion::Jet3;
    if (version == kJet4Version) return FileVersion::Jet4;
  } else if (version >= kFirstAceVersion && version <= kLastAceVersion) {
    return FileVersion::Ace;
  }
  return std::nullopt;
}

}  // namespace jet::format
