// One result row as a JSON object: column names as keys in column order,
// date-times as their exact day-count numbers, texts as strings, Booleans,
// integers, NULL as null.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "db/Database.h"

namespace zovadb {

QString rowToJson(const QStringList& columns, const QVector<db::Field>& values);

}  // namespace zovadb
