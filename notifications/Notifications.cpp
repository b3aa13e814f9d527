// Start-up test of the notification database and the feature's
// process-wide state.
#include "notifications/Notifications.h"

#include <QString>

#include "plan/DataModule.h"
#include "platform/Logging.h"
#include "platform/MessageBox.h"
#include "settings/SettingsValues.h"

bool NotificationsAvailable = false;
bool ClockWarningShown = false;
bool IndicatorIdle = true;
NotificationHost NotificationUi;

void InitNotifications() {
  NotificationsAvailable = !Settings.PfadBenachrichtigungen.isEmpty();
  if (NotificationsAvailable) {
    // Without the data module there is no connection to open.
    const bool opened = DM && DM->BenachrichtigungVerbindungErstellen();
    qCInfo(lcNotifications) << "Notification database" << TDM::NotificationFile()
                            << (opened ? "opened: notifications on" : "cannot be opened: notifications off");
    if (!opened) {
      NotificationsAvailable = false;
      msgbox::show(QStringLiteral("Datenbank Benachrichtigung.mdb kann nicht geöffnet werden") + QChar(u'\r') +
                   QStringLiteral("Prüfen Sie Pfad und Berechtigungen!"));
    }
    if (DM) DM->ConnectionBenachrichtigung.close();
  } else {
    qCInfo(lcNotifications) << "No notification folder set: notifications off";
  }
  if (NotificationUi.setTelefonBtnVisible) NotificationUi.setTelefonBtnVisible(NotificationsAvailable);
  if (NotificationUi.setBenachrichtigungstimerEnabled)
    NotificationUi.setBenachrichtigungstimerEnabled(NotificationsAvailable);
}

double GraceDays() { return static_cast<double>(Settings.KarenzZeit) * 60.0 / 86400.0; }
