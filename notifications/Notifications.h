// The optional notification feature: whether it is available, the state of
// the telephone indicator, and the hooks through which it reaches the main
// window.
#pragma once

#include <QtGlobal>
#include <functional>

// True when PfadBenachrichtigungen is set and its database opened at the last
// InitNotifications or, after a failed one, at a later check.
extern bool NotificationsAvailable;
// Set once the clock warning has been shown in this run; never cleared.
extern bool ClockWarningShown;
// True while the telephone button shows its normal picture, false while it
// shows the red one; true at program start.
extern bool IndicatorIdle;

// How the feature reaches the main window: show or hide the telephone button,
// start or stop the notification check timer, give that timer its next
// interval, and run the main window's notification check. The main window
// installs these when it is created; a hook not installed does nothing.
struct NotificationHost {
  std::function<void(bool)> setTelefonBtnVisible;
  std::function<void(bool)> setBenachrichtigungstimerEnabled;
  std::function<void(int)> setBenachrichtigungstimerInterval;
  std::function<void()> checkBenachrichtigungen;
};
extern NotificationHost NotificationUi;

// Tests the notification database on the notification thread and switches
// the feature on or off when the test has ended: NotificationsAvailable,
// TelefonBtn shown or hidden. Benachrichtigungstimer runs while a folder is
// set, so each check tries a database that could not be opened again and
// switches the feature on when it opens. A folder set but a database that
// cannot be opened shows "Datenbank Benachrichtigung.mdb kann nicht geöffnet
// werden" and, after a single carriage return, "Prüfen Sie Pfad und
// Berechtigungen!" in a box that holds nothing up (msgbox::notify). An empty
// folder switches the feature off at once. It does not check for due
// notifications itself.
void InitNotifications();

// The grace time KarenzZeit in days, the unit of date-times.
double GraceDays();
