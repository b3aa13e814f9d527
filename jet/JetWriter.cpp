// Jet 4 database writer: lays out a whole file in memory, then writes it.
//
// Layout of a file: page 0 the database definition, page 1 the usage maps of
// the catalog, page 2 the catalog's table definition, then for each user
// table its table definition and a page for its usage maps, then the
// catalog's rows, then each table's data pages, long-value pages, index
// pages and (for large tables) usage bitmap pages. Every check happens while
// the image is built, so a refused database never reaches the disk.
#include "jet/JetWriter.h"

#include "jet/format/JetFormat.h"
#include "jet/format/JetRows.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cassert>

namespace jet {

using namespace format;

namespace {

constexpr int kMaxNameLength = 64;
const QString kCatalogName = QStringLiteral("MSysObjects");
const QString kPrimaryKeyName = QStringLiteral("PrimaryKey");

// Catalog entries: the three containers, the catalog itself, the user tables.
constexpr int32_t kSystemParentId = 0x0F000000;
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabasesContainerId = 0x0F000002;
constexpr int32_t kRelationshipsContainerId = 0x0F000003;
constexpr int16_t kObjectTypeTable = 1;
constexpr int16_t kObjectTypeContainer = 3;
constexpr int32_t kSystemObjectFlags = int32_t(0x80000000u);


// The moment of writing as a day count, for the catalog and the header.
double currentDayCount() {
  const QDateTime now = QDateTime::currentDateTime();
  const double days = double(QDate(1899, 12, 30).daysTo(now.date()));
  return days + now.time().msecsSinceStartOfDay() / 86400000.0;
}

TypeCode typeCode(const QString& table, const Column& column) {
  switch (column.type) {
    case ColumnType::Long: return TypeCode::Long;
    case ColumnType::Integer: return TypeCode::Integer;
    case ColumnType::Byte: return TypeCode::Byte;
    case ColumnType::Boolean: return TypeCode::Boolean;
    case ColumnType::Double: return TypeCode::Double;
    case ColumnType::DateTime: return TypeCode::DateTime;
    case ColumnType::Text: return TypeCode::Text;
    case ColumnType::Memo: return TypeCode::Memo;
  }
  throw WriteError(QStringLiteral("Table '%1', column '%2': unknown column type %3")
                       .arg(table, column.name).arg(int(column.type)));
}

QVector<FieldSpec> userFields(const Table& table) {
  QVector<FieldSpec> fields;
  int primaryKeys = 0;
  for (const Column& column : table.columns) {
    FieldSpec field{column.name, typeCode(table.name, column), column.textLength, column.primaryKey};
    if (field.primaryKey && field.type != TypeCode::Long)
      throw WriteError(QStringLiteral("Table '%1', column '%2': only a Long Integer column can be the primary key")
                           .arg(table.name, column.name));
    if (field.primaryKey && ++primaryKeys > 1)
      throw WriteError(QStringLiteral("Table '%1': only one column can be the primary key").arg(table.name));
    fields.append(field);
  }
  return fields;
}

// The catalog's columns, in the engine's (alphabetical) order. The writer
// fills only what readers use to find tables; the rest stays NULL.
enum CatalogColumn {
  kConnect, kDatabase, kDateCreate, kDateUpdate, kFlags, kForeignName, kId, kLv, kLvExtra, kLvModule,
  kLvProp, kName, kOwner, kParentId, kRmtInfoLong, kRmtInfoShort, kType, kCatalogColumnCount
};

QVector<FieldSpec> catalogFields() {
  QVector<FieldSpec> fields(kCatalogColumnCount);
  fields[kConnect] = {"Connect", TypeCode::Memo, 0, false};
  fields[kDatabase] = {"Database", TypeCode::Memo, 0, false};
  fields[kDateCreate] = {"DateCreate", TypeCode::DateTime, 0, false};
  fields[kDateUpdate] = {"DateUpdate", TypeCode::DateTime, 0, false};
  fields[kFlags] = {"Flags", TypeCode::Long, 0, false};
  fields[kForeignName] = {"ForeignName", TypeCode::Text, 255, false};
  fields[kId] = {"Id", TypeCode::Long, 0, false};
  fields[kLv] = {"Lv", TypeCode::Ole, 0, false};
  fields[kLvExtra] = {"LvExtra", TypeCode::Ole, 0, false};
  fields[kLvModule] = {"LvModule", TypeCode::Ole, 0, false};
  fields[kLvProp] = {"LvProp", TypeCode::Ole, 0, false};
  fields[kName] = {"Name", TypeCode::Text, 255, false};
  fields[kOwner] = {"Owner", TypeCode::Binary, 255, false};
  fields[kParentId] = {"ParentId", TypeCode::Long, 0, false};
  fields[kRmtInfoLong] = {"RmtInfoLong", TypeCode::Ole, 0, false};
  fields[kRmtInfoShort] = {"RmtInfoShort", TypeCode::Binary, 255, false};
  fields[kType] = {"Type", TypeCode::Integer, 0, false};
  return fields;
}

Row catalogRow(int32_t id, int32_t parentId, const QString& name, int16_t type, int32_t flags, double now) {
  Row row(kCatalogColumnCount);
  row[kDateCreate] = now;
  row[kDateUpdate] = now;
  row[kFlags] = flags;
  row[kId] = id;
  row[kName] = name;
  row[kParentId] = parentId;
  row[kType] = QVariant::fromValue<short>(type);
  return row;
}

// Writes a usage map row for `pages`: inline when the span is small, else a
// list of bitmap pages, which are allocated and written here.
QByteArray usageMap(PageImage& image, const QVector<uint32_t>& pages) {
  if (fitsInlineMap(pages)) return inlineUsageMap(pages);
  QVector<uint32_t> bitmapPages(usageMapRanges(pages), 0);
  for (uint32_t page : pages) {
    const int range = int(page / uint32_t(kPagesPerBitmapPage));
    if (bitmapPages[range] == 0) bitmapPages[range] = image.allocate();
  }
  for (int range = 0; range < bitmapPages.size(); ++range)
    if (bitmapPages[range] != 0) image.set(bitmapPages[range], usageBitmapPage(pages, range));
  return referenceUsageMap(bitmapPages);
}

// The usage-map rows of one table, packed into data pages of the table that
// no usage map lists (so readers never take them for table rows): the page
// reserved for it next to the table definition, more when that one is full.
class UsageMapRows {
 public:
  UsageMapRows(PageImage& image, uint32_t tablePage, uint32_t firstPage)
      : m_image(image), m_tablePage(tablePage), m_pageNumber(firstPage), m_page(RowPage::dataPage(tablePage)) {}

  // Stores the map for `pages` and returns the row pointer to it.
  uint32_t add(const QVector<uint32_t>& pages) {
    const QByteArray map = usageMap(m_image, pages);
    if (!m_page.fits(int(map.size()))) {
      finish();
      m_page = RowPage::dataPage(m_tablePage);
      m_pageNumber = m_image.allocate();
    }
    return rowPointer(m_pageNumber, m_page.addRow(map));
  }

  void finish() { m_image.set(m_pageNumber, m_page.bytes()); }

 private:
  PageImage& m_image;
  uint32_t m_tablePage;
  uint32_t m_pageNumber;
  RowPage m_page;
};

struct RowLocation {
  int32_t key;
  uint32_t page;
  int row;
};

// Builds the primary-key index bottom-up: leaf pages with one entry per row
// in key order, then node levels naming each child's last entry, until one
// page (the root) remains. Returns the root; `indexPages` receives every page.
uint32_t buildPrimaryKeyIndex(PageImage& image, uint32_t tablePage, QVector<RowLocation> rows,
                              QVector<uint32_t>& indexPages) {
  std::sort(rows.begin(), rows.end(), [](const RowLocation& a, const RowLocation& b) { return a.key < b.key; });
  // Each entry with its leaf form (key and row pointer) for the level above.
  struct Entry {
    QByteArray bytes;
    QByteArray leafForm;
  };
  QVector<Entry> level;
  for (const RowLocation& row : rows) {
    const QByteArray entry = indexLeafEntry(longIndexKey(row.key), row.page, row.row);
    level.append({entry, entry});
  }
  PageType type = PageType::IndexLeaf;
  while (true) {
    QVector<QVector<Entry>> groups(1);
    int used = 0;
    for (const Entry& entry : level) {
      if (used + entry.bytes.size() > kIndexPageCapacity) {
        groups.append(QVector<Entry>());
        used = 0;
      }
      groups.last().append(entry);
      used += int(entry.bytes.size());
    }
    QVector<uint32_t> pages;
    for (int i = 0; i < groups.size(); ++i) pages.append(image.allocate());
    QVector<Entry> above;
    for (int i = 0; i < groups.size(); ++i) {
      QVector<QByteArray> entries;
      for (const Entry& entry : groups[i]) entries.append(entry.bytes);
      const uint32_t previous = i > 0 ? pages[i - 1] : 0;
      const uint32_t next = i + 1 < groups.size() ? pages[i + 1] : 0;
      image.set(pages[i], indexPage(type, tablePage, entries, previous, next));
      indexPages.append(pages[i]);
      if (!groups[i].isEmpty())
        above.append({indexNodeEntry(groups[i].last().leafForm, pages[i]), groups[i].last().leafForm});
    }
    if (pages.size() == 1) return pages.first();
    level = above;
    type = PageType::IndexNode;
  }
}

// Places one table: its rows on data pages (long values on long-value
// pages of their column), its index, its usage maps (owned and free pages of
// the table, index pages, long-value pages of each memo column), and finally
// its table definition.
void placeTable(PageImage& image, uint32_t tablePage, uint32_t usageMapsPage, const QString& name,
                const QVector<FieldSpec>& fields, const QVector<Row>& rows, bool systemTable) {
  const RowLayout layout(name, fields);
  int keyColumn = -1;
  for (int i = 0; i < fields.size(); ++i)
    if (fields[i].primaryKey) keyColumn = i;

  QSet<int32_t> keys;
  for (int r = 0; r < rows.size(); ++r) {
    layout.check(rows[r], r);
    if (keyColumn < 0) continue;
    const QVariant& key = rows[r][keyColumn];
    if (key.isNull())
      throw WriteError(QStringLiteral("Table '%1', column '%2', row %3: the primary key cannot be NULL")
                           .arg(name, fields[keyColumn].name).arg(r + 1));
    if (keys.contains(int32_t(key.toLongLong())))
      throw WriteError(QStringLiteral("Table '%1', column '%2', row %3: the key %4 occurs twice")
                           .arg(name, fields[keyColumn].name).arg(r + 1).arg(key.toLongLong()));
    keys.insert(int32_t(key.toLongLong()));
  }

  LongValueStores longValues;
  for (int column : layout.longValueColumns()) longValues.emplace(column, image);
  QVector<uint32_t> dataPages;
  QVector<uint32_t> pagesWithRoom;
  QVector<RowLocation> locations;
  RowPage page = RowPage::dataPage(tablePage);
  uint32_t pageNumber = image.allocate();
  const auto closePage = [&] {
    image.set(pageNumber, page.bytes());
    dataPages.append(pageNumber);
    if (page.fits(layout.minimumRowSize())) pagesWithRoom.append(pageNumber);
  };
  for (int r = 0; r < rows.size(); ++r) {
    const QByteArray row = layout.encode(rows[r], r, longValues);
    if (!page.fits(int(row.size()))) {
      closePage();
      page = RowPage::dataPage(tablePage);
      pageNumber = image.allocate();
    }
    const int rowNumber = page.addRow(row);
    if (keyColumn >= 0) locations.append({int32_t(rows[r][keyColumn].toLongLong()), pageNumber, rowNumber});
  }
  closePage();

  TableDefinition definition;
  definition.systemTable = systemTable;
  definition.rowCount = uint32_t(rows.size());
  definition.columns = layout.columns();
  UsageMapRows maps(image, tablePage, usageMapsPage);
  definition.ownedPagesMapRow = maps.add(dataPages);
  definition.freePagesMapRow = maps.add(pagesWithRoom);
  if (keyColumn >= 0) {
    QVector<uint32_t> indexPages;
    IndexDefinition index;
    index.name = kPrimaryKeyName;
    index.columnNumber = layout.columns()[keyColumn].number;
    index.rootPage = buildPrimaryKeyIndex(image, tablePage, locations, indexPages);
    std::sort(indexPages.begin(), indexPages.end());
    index.usageMapRow = maps.add(indexPages);
    definition.indexes.append(index);
  }
  for (auto& [column, store] : longValues) {
    store.finish();
    LongValueColumnMaps columnMaps;
    columnMaps.columnNumber = layout.columns()[column].number;
    columnMaps.ownedPagesMapRow = maps.add(store.pages());
    columnMaps.freePagesMapRow = maps.add(store.pagesWithRoom());
    definition.longValueColumns.append(columnMaps);
  }
  maps.finish();
  if (tableDefinitionSize(definition) > kPageSize)
    throw WriteError(QStringLiteral("Table '%1': the column definitions need %2 bytes, more than one page")
                         .arg(name).arg(tableDefinitionSize(definition)));
  image.set(tablePage, tableDefinitionPage(definition));
}

void checkTableNames(const QVector<Table>& tables) {
  QSet<QString> names{kCatalogName.toLower()};
  for (const Table& table : tables) {
    if (table.name.isEmpty() || table.name.size() > kMaxNameLength)
      throw WriteError(QStringLiteral("Table name '%1': a table name needs 1 to %2 characters")
                           .arg(table.name).arg(kMaxNameLength));
    if (names.contains(table.name.toLower()))
      throw WriteError(QStringLiteral("Table name '%1' is used twice or is reserved").arg(table.name));
    names.insert(table.name.toLower());
  }
}

QByteArray buildFile(const QVector<Table>& tables) {
  checkTableNames(tables);
  QVector<QVector<FieldSpec>> fields;
  for (const Table& table : tables) fields.append(userFields(table));

  const double now = currentDayCount();
  PageImage image;
  image.allocate();  // 0: database definition
  [[maybe_unused]] const uint32_t catalogMaps = image.allocate();
  [[maybe_unused]] const uint32_t catalogPage = image.allocate();
  assert(catalogMaps == kCatalogUsageMapsPage && catalogPage == kCatalogDefinitionPage);
  image.set(0, databaseDefinitionPage(now));

  QVector<uint32_t> tablePages, usageMapPages;
  for (int i = 0; i < tables.size(); ++i) {
    tablePages.append(image.allocate());
    usageMapPages.append(image.allocate());
  }

  QVector<Row> catalog;
  catalog.append(catalogRow(kTablesContainerId, kSystemParentId, "Tables", kObjectTypeContainer, kSystemObjectFlags, now));
  catalog.append(catalogRow(kDatabasesContainerId, kSystemParentId, "Databases", kObjectTypeContainer,
                            kSystemObjectFlags, now));
  catalog.append(catalogRow(kRelationshipsContainerId, kSystemParentId, "Relationships", kObjectTypeContainer,
                            kSystemObjectFlags, now));
  catalog.append(catalogRow(int32_t(kCatalogDefinitionPage), kTablesContainerId, kCatalogName, kObjectTypeTable,
                            kSystemObjectFlags, now));
  for (int i = 0; i < tables.size(); ++i)
    catalog.append(catalogRow(int32_t(tablePages[i]), kTablesContainerId, tables[i].name, kObjectTypeTable, 0, now));
  placeTable(image, kCatalogDefinitionPage, kCatalogUsageMapsPage, kCatalogName, catalogFields(), catalog, true);

  for (int i = 0; i < tables.size(); ++i)
    placeTable(image, tablePages[i], usageMapPages[i], tables[i].name, fields[i], tables[i].rows, false);
  return image.bytes();
}

}  // namespace

Table& Database::addTable(const QString& name, const QVector<Column>& columns) {
  m_tables.append(Table{name, columns, {}});
  return m_tables.last();
}

void Database::write(const QString& path) const {
  if (path.isEmpty()) throw WriteError(QStringLiteral("No file name given for the database"));
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.exists() || !folder.isDir())
    throw WriteError(QStringLiteral("Cannot write %1: the folder %2 does not exist")
                         .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(folder.filePath())));
  if (!folder.isWritable())
    throw WriteError(QStringLiteral("Cannot write %1: the folder %2 is read-only")
                         .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(folder.filePath())));
  if (target.isDir())
    throw WriteError(QStringLiteral("Cannot write %1: it is a folder").arg(QDir::toNativeSeparators(path)));

  const QByteArray file = buildFile(m_tables);

  // QSaveFile writes to a temporary name beside the target and renames it
  // over the target on commit; on any failure the temporary file is removed.
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly))
    throw WriteError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), out.errorString()));
  if (out.write(file) != file.size()) {
    const QString reason = out.errorString();
    out.cancelWriting();
    throw WriteError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason));
  }
  if (!out.commit())
    throw WriteError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), out.errorString()));
}

}  // namespace jet
