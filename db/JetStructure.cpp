// Reading a Jet file as a whole to tell a complete export from a cut one.
#include "db/JetStructure.h"

#include <QFileInfo>

#include "db/Database.h"
#include "db/JetFile.h"
#include "db/MdbTable.h"

namespace db::engine {

namespace {

constexpr qint64 kJet3PageSize = 2048;
constexpr qint64 kPageSize = 4096;

}  // namespace

void checkWholeDatabase(const QString& path) {
  const JetVersion version = checkJetFile(path);
  const qint64 pageSize = version == JetVersion::Jet3 ? kJet3PageSize : kPageSize;
  const qint64 size = QFileInfo(path).size();
  if (size % pageSize != 0)
    throw db::Error(QStringLiteral("%1 is cut short: it ends inside a page (%2 bytes)").arg(path).arg(size));
  MdbDatabase database(path, false);
  database.checkCatalogWhole();
  for (const QString& name : database.tableNames()) {
    MdbTable table(database, name);
    const int columns = table.columns().size();
    quint32 rows = 0;
    table.rewind();
    while (table.advance()) {
      for (int column = 0; column < columns; ++column) table.value(column);
      ++rows;
    }
    if (rows != table.definedRowCount())
      throw db::Error(QStringLiteral("Table %1 in %2 is cut short or damaged: it holds %3 of the %4 rows its definition counts")
                          .arg(table.name(), path)
                          .arg(rows)
                          .arg(table.definedRowCount()));
  }
}

}  // namespace db::engine
