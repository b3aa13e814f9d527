// Logging categories through which the monitor says what it does and why
// something failed, for an administrator looking at a screen that shows no
// plan. All are off by default; QT_LOGGING_RULES="zova.*=true" turns them on
// (under systemd the lines reach the journal). The system's own behaviour
// stays silent as before: these lines are beside it, never instead of it.
//
// Messages are written with qCInfo, so they stay off until a rule enables
// the category.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlan)           // zova.plan: plan loads, polls, new versions
Q_DECLARE_LOGGING_CATEGORY(lcDb)             // zova.db: database files opened, failures, worker deadlines
Q_DECLARE_LOGGING_CATEGORY(lcSettings)       // zova.settings: which settings files were read or written
Q_DECLARE_LOGGING_CATEGORY(lcNotifications)  // zova.notifications: notification database and checks
Q_DECLARE_LOGGING_CATEGORY(lcScreen)         // zova.screen: how the screen is kept on
