// Reading a Jet file as a whole to tell a complete export from a cut one.
#include "db/engine/JetStructure.h"

#include <QFileInfo>

#include "db/Database.h"
#include "db/file/JetFile.h"
#include "db/engine/MdbTable.h"
#include "jet/format/JetPages.h"

namespace db::engine {

void checkWholeDatabase(const QString& path) {
  const JetVersion version = checkJetFile(path);
  const qint64 pageSize = jet::format::pageSizeOf(version);
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
