// Jet 4 page formats: every offset, constant and page layout the writer uses.
//
// This is the one place that knows where a field sits on a page. Each page
// type (database definition, data and long-value pages, table definition,
// usage bitmap, index pages) has a small builder or function here; the
// layout of a row inside a data page is JetRows.cpp, the text encoding
// JetText.cpp. The writer (JetWriter.cpp) only decides what goes where and
// never touches a raw offset. Multi-byte values are little-endian unless a function says
// otherwise (index keys are big-endian). Only what the writer produces is
// covered: one 4 KiB page format, no encryption, no deleted rows.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>

namespace jet::format {

constexpr int kPageSize = 4096;

enum class PageType : uint8_t {
  DatabaseDefinition = 0x00,
  Data = 0x01,  // also long-value (LVAL) pages
  TableDefinition = 0x02,
  IndexNode = 0x03,
  IndexLeaf = 0x04,
  UsageBitmap = 0x05,
};

// The catalog MSysObjects always has its table definition on page 2; readers
// bootstrap from there.
constexpr uint32_t kCatalogDefinitionPage = 2;
// The usage maps of the catalog are rows of page 1.
constexpr uint32_t kCatalogUsageMapsPage = 1;

// Column type codes as stored in a column definition.
enum class TypeCode : uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  Long = 0x04,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
};

// Bytes a fixed-length type takes in a row (Boolean lives in the null mask).
int fixedSize(TypeCode type);
bool isFixedLength(TypeCode type);

// ---- little helpers for byte images -------------------------------------
void put8(QByteArray& page, int offset, uint8_t value);
void put16(QByteArray& page, int offset, uint16_t value);
void put32(QByteArray& page, int offset, uint32_t value);
void putDouble(QByteArray& page, int offset, double value);
void append16(QByteArray& bytes, uint16_t value);
void append32(QByteArray& bytes, uint32_t value);
void appendDouble(QByteArray& bytes, double value);
QByteArray blankPage();

// A row reference as readers follow it: page number in the upper three bytes,
// row number on that page in the low byte.
uint32_t rowPointer(uint32_t page, int row);

// ---- database definition page (page 0) -----------------------------------
// The header of a Jet 4 file: engine name, version 4, code page 1252, sort
// order General, no encryption key and no password (stored masked with the
// creation date, as the engine does), the region from 0x18 RC4-scrambled with
// the fixed header key as every reader expects.
QByteArray databaseDefinitionPage(double creationDate);

// ---- data and long-value pages -------------------------------------------
// Rows are stored from the page end towards the start; the row offset table
// grows from the header.
constexpr int kDataPageHeaderSize = 14;
constexpr int kRowOffsetSize = 2;
// The largest row a data page can hold.
constexpr int kMaxRowSize = kPageSize - kDataPageHeaderSize - kRowOffsetSize;
// Row pointers hold the row number in one byte.
constexpr int kMaxRowsPerPage = 255;
// Long-value rows of a chain start with the pointer to the next piece.
constexpr int kLongValueChainPointerSize = 4;

class RowPage {
 public:
  // A data page of the table whose definition is on `ownerPage`.
  static RowPage dataPage(uint32_t ownerPage);
  // A long-value page (marked "LVAL" instead of an owner).
  static RowPage longValuePage();

  bool fits(int rowSize) const;
  int freeSpace() const;
  int rowCount() const { return m_rowCount; }
  // Appends a row and returns its number on the page. Precondition: fits().
  int addRow(const QByteArray& row);
  const QByteArray& bytes() const { return m_page; }

 private:
  RowPage() : m_page(blankPage()) {}
  QByteArray m_page;
  int m_rowCount = 0;
  int m_dataStart = kPageSize;
};

// ---- memo fields (12-byte long-value header in the row) -------------------
constexpr int kMemoHeaderSize = 12;
enum class MemoStorage : uint32_t {
  Inline = 0x80000000u,     // the data follows the header in the row
  SingleRow = 0x40000000u,  // the data is one long-value row
  Chain = 0x00000000u,      // the data is a chain of long-value rows
};
constexpr uint32_t kMaxMemoLength = 0x00FFFFFF;
QByteArray memoHeader(MemoStorage storage, uint32_t length, uint32_t firstRow);

// ---- usage maps -------------------------------------------------------------
// A usage map is a row listing pages (those a table owns, or those of its
// pages with free space). Small spans use an inline bitmap (type 0); larger
// ones a list of bitmap pages (type 1), each bitmap page covering
// kPagesPerBitmapPage pages.
constexpr int kInlineMapRowSize = 64;
constexpr int kInlineMapHeaderSize = 5;
constexpr int kInlineMapPages = (kInlineMapRowSize - kInlineMapHeaderSize) * 8;
constexpr int kBitmapPageHeaderSize = 4;
constexpr int kPagesPerBitmapPage = (kPageSize - kBitmapPageHeaderSize) * 8;

// True when `pages` (sorted) fit an inline map.
bool fitsInlineMap(const QVector<uint32_t>& pages);
QByteArray inlineUsageMap(const QVector<uint32_t>& pages);
// A type-1 map naming one bitmap page per range of kPagesPerBitmapPage pages
// (0 for ranges without pages); `bitmapPages[i]` covers range i.
QByteArray referenceUsageMap(const QVector<uint32_t>& bitmapPages);
// The bitmap page for range `range` of a type-1 map.
QByteArray usageBitmapPage(const QVector<uint32_t>& pages, int range);
// How many ranges a type-1 map needs for `pages` (sorted, not empty).
int usageMapRanges(const QVector<uint32_t>& pages);

// ---- table definition page -----------------------------------------------
struct ColumnDefinition {
  QString name;
  TypeCode type = TypeCode::Text;
  int number = 0;          // column number, also its bit in the null mask
  int variableIndex = 0;   // position among variable-length columns
  int fixedOffset = 0;     // offset in the fixed area (fixed-length columns)
  int length = 0;          // bytes (Text: 2 per character; long values: 0)
  bool compressedText = false;
};

struct IndexDefinition {
  QString name;
  int columnNumber = 0;     // single ascending key column
  uint32_t usageMapRow = 0; // row pointer of the index's usage map
  uint32_t rootPage = 0;
  bool primaryKey = true;
};

// The usage maps of one long-value column: the long-value pages holding its
// data, and those of them with room for more.
struct LongValueColumnMaps {
  int columnNumber = 0;
  uint32_t ownedPagesMapRow = 0;
  uint32_t freePagesMapRow = 0;
};

struct TableDefinition {
  bool systemTable = false;
  uint32_t rowCount = 0;
  uint32_t ownedPagesMapRow = 0;  // row pointer of the owned-pages usage map
  uint32_t freePagesMapRow = 0;   // row pointer of the free-space usage map
  QVector<ColumnDefinition> columns;
  QVector<IndexDefinition> indexes;
  QVector<LongValueColumnMaps> longValueColumns;
};

// Size in bytes of the definition (to check it fits one page).
int tableDefinitionSize(const TableDefinition& table);
// The page image. Precondition: tableDefinitionSize(table) <= kPageSize.
QByteArray tableDefinitionPage(const TableDefinition& table);

// ---- index pages ---------------------------------------------------------------
// Entries are sorted by their bytes; each entry of a leaf is the key and the
// big-endian row pointer of its row; each entry of a node is the last entry of
// a child page followed by the child's page number (big-endian).
constexpr int kIndexEntriesStart = 0x1E0;
constexpr int kIndexPageCapacity = kPageSize - kIndexEntriesStart;
// Ascending key of a Long value: a flag byte then the value big-endian with
// its sign bit flipped, so that byte order is numeric order.
QByteArray longIndexKey(int32_t value);
QByteArray indexLeafEntry(const QByteArray& key, uint32_t page, int row);
QByteArray indexNodeEntry(const QByteArray& lastChildEntry, uint32_t childPage);
// An index page of `type` holding `entries` (their total size at most
// kIndexPageCapacity), linked to its neighbours on the same level.
QByteArray indexPage(PageType type, uint32_t ownerPage, const QVector<QByteArray>& entries,
                     uint32_t previousPage, uint32_t nextPage);

}  // namespace jet::format
