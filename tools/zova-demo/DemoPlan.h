// The demo data: a plausible substitution plan of a German school and a few
// teacher notifications, as the plan-producing and the notifying programs
// would export them, built relative to the current day.
//
// Everything is deterministic for a given day: the rows of a plan day depend
// only on its date and audience, so a rerun (or an update) reproduces the
// other days exactly. Writing the files is DemoFiles.h.
#pragma once

#include "jet/JetWriter.h"
#include "platform/DateTime.h"

#include <QDate>
#include <QString>
#include <QVector>

namespace demo {

// How many plan days the demo exports.
constexpr int kPlanDays = 4;

// The plan days seen from `today`: the first school day from today on
// (today itself when it is Monday to Friday, else the next Monday) and the
// school days after it, weekends skipped.
QVector<QDate> planDays(const QDate& today);

// German long date, e.g. "Mittwoch, 9. Dezember 2026".
QString longGermanDate(const QDate& date);

// The plan database Zova-Internet.mdb at moment `now`: tables TStatTextAula,
// TStatTextLehrer (one row per plan day) and TDynTextAula, TDynTextLehrer
// (the substitution rows of all days). With `update`, today's days carry a
// new print time (`now`) and a few changed rows, as a re-export would.
jet::Database planDatabase(TDateTime now, bool update);

// The notification database Benachrichtigungen.mdb at moment `now`: table
// BenachrichtigungsTabelle with notifications of every status the dialog
// shows (2 open, 3 done, 4 cancelled, 5 cancellation acknowledged) from
// yesterday to three days ahead, with and without a telephone number, one
// still in its grace time and one no longer valid.
jet::Database notificationDatabase(TDateTime now);

}  // namespace demo
