// The settings read and the settings dialog's OK, each followed by
// InitNotifications.
#include "app/SettingsAndNotifications.h"

#include <QObject>

#include "notifications/Notifications.h"
#include "settings/SettingsFile.h"
#include "settings/TMyEinstDlg.h"

bool ReadSettingsAndInitNotifications() {
  const bool ok = ReadSettings();
  InitNotifications();
  return ok;
}

void InitNotificationsOnOk(TMyEinstDlg& dialog) {
  QObject::connect(&dialog, &QDialog::accepted, &dialog, [] { InitNotifications(); });
}
