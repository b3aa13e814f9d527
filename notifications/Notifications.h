// The optional notification feature: whether it is available, and the hooks
// through which it shows itself on the main window.
#pragma once

#include <functional>

// True when PfadBenachrichtigungen is set and its database opened at the last
// InitNotifications.
extern bool NotificationsAvailable;
// Set once the clock warning has been shown in this run.
extern bool ClockWarningShown;

// How the feature reaches the main window: show or hide the telephone button,
// and start or stop the notification check timer. The main window installs
// these when it is created.
struct NotificationHost {
  std::function<void(bool)> setTelefonBtnVisible;
  std::function<void(bool)> setBenachrichtigungstimerEnabled;
};
extern NotificationHost NotificationUi;

// Tests the notification database once and switches the feature on or off.
void InitNotifications();
