// The monitor's logging categories; below QtWarningMsg they are off unless a
// logging rule enables them.
#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcPlan, "zova.plan", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDb, "zova.db", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "zova.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNotifications, "zova.notifications", QtWarningMsg)
Q_LOGGING_CATEGORY(lcScreen, "zova.screen", QtWarningMsg)
