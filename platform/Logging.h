// Logging categories through which the monitor says what it does and why
// something failed, for an administrator looking at a screen that shows no
// plan. The system's own behaviour stays silent as before: these lines are
// beside it, never instead of it.
//
// Messages are written with qCInfo (qCDebug for what every poll repeats),
// qCWarning for what needs the administrator. In the tools every category
// is at warning level unless QT_LOGGING_RULES says otherwise; the monitor
// program also has zova.plan and zova.db at info level (setUpMonitorLogging).
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlan)           // zova.plan: plan loads, polls, new versions
Q_DECLARE_LOGGING_CATEGORY(lcDb)             // zova.db: database files opened, failures, worker deadlines
Q_DECLARE_LOGGING_CATEGORY(lcSettings)       // zova.settings: which settings files were read or written
Q_DECLARE_LOGGING_CATEGORY(lcNotifications)  // zova.notifications: notification database and checks
Q_DECLARE_LOGGING_CATEGORY(lcScreen)         // zova.screen: how the screen is kept on, its hours

// The monitor program's log: zova.plan and zova.db at info level unless
// QT_LOGGING_RULES says otherwise. When standard error is the systemd
// journal (JOURNAL_STREAM names it), each message is one journal entry at
// its priority ("<6>zova.plan: ..."; the journal adds the time); elsewhere
// each line starts with the local date and time (QT_MESSAGE_PATTERN may set
// another form).
void setUpMonitorLogging();
