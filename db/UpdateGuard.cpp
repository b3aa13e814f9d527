// The guard of an UPDATE: the text that marks a refusal.
#include "db/UpdateGuard.h"

namespace db {

const QString kRowChangedMessage = QStringLiteral("The row changed since it was read");

}  // namespace db
