// Start-up test of the notification database.
//
// The notification store itself (loading, counting due notifications, writing
// acknowledgements) is not built yet; until it is, the feature stays off and
// the telephone button hidden, whatever PfadBenachrichtigungen says.
#include "notifications/Notifications.h"

bool NotificationsAvailable = false;
bool ClockWarningShown = false;
NotificationHost NotificationUi;

void InitNotifications() {
  NotificationsAvailable = false;
  if (NotificationUi.setTelefonBtnVisible) NotificationUi.setTelefonBtnVisible(NotificationsAvailable);
  if (NotificationUi.setBenachrichtigungstimerEnabled)
    NotificationUi.setBenachrichtigungstimerEnabled(NotificationsAvailable);
}
