// Rows of a Jet 4 table: checking values against their columns and encoding
// a row into the bytes a data page stores, with long values (memos) placed
// inline or on long-value pages.
//
// Internal to the writer. A table's columns are first turned into a
// RowLayout (column numbers, fixed offsets, variable-column positions); the
// layout then checks and encodes rows. Every refusal is a WriteError whose
// message names the table, the column and the row.
#pragma once

#include "jet/format/JetFormat.h"
#include "jet/JetWriter.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <map>
#include <optional>

namespace jet {

// One column as the writer stores it; the catalog also uses types a caller
// cannot choose (OLE, binary), which are always NULL.
struct FieldSpec {
  QString name;
  format::TypeCode type = format::TypeCode::Text;
  int textLength = 255;  // Text: characters; Binary: bytes
  bool primaryKey = false;
};

// The page images of a file under construction, by page number.
class PageImage {
 public:
  uint32_t allocate();
  void set(uint32_t page, const QByteArray& bytes);
  int pageCount() const { return int(m_pages.size()); }
  // The file: all pages in order. Precondition: every allocated page is set.
  QByteArray bytes() const;

 private:
  QVector<QByteArray> m_pages;
};

// Packs the long-value rows of one memo column into long-value pages of the
// image, and remembers which pages those are (the column's usage maps).
class LongValueStore {
 public:
  explicit LongValueStore(PageImage& image) : m_image(image) {}
  // Stores one long-value row and returns its row pointer.
  uint32_t addRow(const QByteArray& row);
  // Writes the page being filled into the image.
  void finish();
  // After finish(): the column's pages, and those with room for more data.
  const QVector<uint32_t>& pages() const { return m_pages; }
  const QVector<uint32_t>& pagesWithRoom() const { return m_pagesWithRoom; }

 private:
  PageImage& m_image;
  std::optional<format::RowPage> m_page;
  uint32_t m_pageNumber = 0;
  QVector<uint32_t> m_pages;
  QVector<uint32_t> m_pagesWithRoom;
};

// The long-value stores of a table, by column index.
using LongValueStores = std::map<int, LongValueStore>;

class RowLayout {
 public:
  // Refuses (WriteError) a column set the format cannot hold: no or too many
  // columns, empty, duplicate or over-long names, Text lengths outside 1..255.
  RowLayout(const QString& tableName, const QVector<FieldSpec>& fields);

  const QVector<format::ColumnDefinition>& columns() const { return m_columns; }
  const QVector<FieldSpec>& fields() const { return m_fields; }

  // Refuses (WriteError) a row with the wrong number of values, a value of
  // the wrong kind, out of range, or a text longer than its column allows.
  void check(const Row& row, int rowNumber) const;

  // The stored row. Memo data goes inline when short and when the row still
  // fits a page, else into the store of its column in `longValues` (one for
  // each of longValueColumns()). Precondition: check(row) passed.
  // Refuses (WriteError) a row that does not fit a data page.
  QByteArray encode(const Row& row, int rowNumber, LongValueStores& longValues) const;

  // Indexes of the columns whose values may live on long-value pages.
  QVector<int> longValueColumns() const;

  // Size of a row with every value NULL (the smallest row of the table).
  int minimumRowSize() const;

 private:
  QString where(int column, int rowNumber) const;
  QByteArray storeMemo(const QByteArray& data, LongValueStore& longValues) const;

  QString m_tableName;
  QVector<FieldSpec> m_fields;
  QVector<format::ColumnDefinition> m_columns;
  int m_fixedAreaSize = 0;
  int m_variableCount = 0;
};

}  // namespace jet
