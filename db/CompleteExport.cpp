// Copying an export once it is complete.
#include "db/CompleteExport.h"

#include <QCryptographicHash>
#include <QFile>

#include "db/Database.h"
#include "db/JetFile.h"

namespace db::engine {

CopyResult copyCompleteExport(const QString& path, const QString& copyPath, const QByteArray& previousHash) {
  CopyResult result;
  try {
    checkJetFile(path);
    takeSnapshot(path, copyPath);
  } catch (const db::Error& error) {
    result.kind = CopyResult::Kind::Unreachable;
    result.message = error.message();
    return result;
  }
  try {
    checkJetFile(copyPath);  // the version copied may differ from the one checked
  } catch (const db::Error&) {
    result.kind = CopyResult::Kind::Incomplete;
    result.message = QStringLiteral("%1 is not a Jet (Access) database").arg(path);
    return result;
  }
  QFile copy(copyPath);
  if (copy.open(QIODevice::ReadOnly))
    result.hash = QCryptographicHash::hash(copy.readAll(), QCryptographicHash::Sha256);
  result.kind = !previousHash.isEmpty() && result.hash == previousHash ? CopyResult::Kind::Unchanged
                                                                       : CopyResult::Kind::Copied;
  return result;
}

}  // namespace db::engine
