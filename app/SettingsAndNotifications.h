// Reading the settings and deciding the notification feature, in that
// order: the settings (settings/) know nothing of the notification feature
// (notifications/), which needs the settings' PfadBenachrichtigungen. The
// main window and its settings dialog go through these two functions.
#pragma once

class TMyEinstDlg;

// ReadSettings, then InitNotifications; returns what ReadSettings returned.
bool ReadSettingsAndInitNotifications();

// Every OK of `dialog` tests the notification database again
// (InitNotifications), after the dialog has stored its values and closed.
void InitNotificationsOnOk(TMyEinstDlg& dialog);
