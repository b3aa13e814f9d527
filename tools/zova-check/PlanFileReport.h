// The plan-file part of zova-check's report: the exact file the monitor
// opens, what the file system says about it, whether it is being written,
// the outcome of the local copy the monitor reads, the Jet version, the four
// plan tables with the columns the monitor reads, and the open itself.
#pragma once

#include <QJsonObject>

// Reports the plan file. Preconditions: the check window has been created,
// so the plan's local copy has made its first attempt; `startMs` is how long
// that start took. When the attempt ran into the deadline the file itself is
// not looked at again (a share that does not answer would stop the check
// too). Writes nothing.
QJsonObject planFileReport(qint64 startMs);

// The columns the monitor reads from a plan table, in its order; empty for
// a name that is no plan table.
QStringList requiredColumns(const QString& table);
