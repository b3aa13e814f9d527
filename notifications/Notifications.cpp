// Start-up test of the notification database and the feature's
// process-wide state.
#include "notifications/Notifications.h"

#include <QCoreApplication>
#include <QString>
#include <memory>

#include "notifications/Background.h"
#include "plan/DataModule.h"
#include "platform/Logging.h"
#include "platform/MessageBox.h"
#include "settings/SettingsValues.h"

bool NotificationsAvailable = false;
bool ClockWarningShown = false;
bool IndicatorIdle = true;
NotificationHost NotificationUi;

namespace {

// Counts the tests; the result of one that a newer test overtook is dropped.
int g_initRound = 0;

}  // namespace

void InitNotifications() {
  const int round = ++g_initRound;
  const bool folderSet = !Settings.PfadBenachrichtigungen.isEmpty();
  // The check timer runs while a folder is set, also when the test below
  // fails: every check tries the database again, so a share that comes late
  // brings the notifications when it comes.
  if (NotificationUi.setBenachrichtigungstimerEnabled) NotificationUi.setBenachrichtigungstimerEnabled(folderSet);
  if (!folderSet) {
    NotificationsAvailable = false;
    qCInfo(lcNotifications) << "No notification folder set: notifications off";
    if (NotificationUi.setTelefonBtnVisible) NotificationUi.setTelefonBtnVisible(false);
    return;
  }
  // Opened on the notification thread; until it has answered the feature
  // stays as it was, and the plan does not wait for it.
  const QString file = TDM::NotificationFile();
  auto opened = std::make_shared<bool>(false);
  notifications::runInBackground(
      QCoreApplication::instance(),
      [opened] {
        *opened = NotificationDM().BenachrichtigungVerbindungErstellen();
        NotificationDM().ConnectionBenachrichtigung.close();
      },
      [round, opened, file] {
        if (round != g_initRound) return;
        NotificationsAvailable = *opened;
        if (*opened) {
          qCInfo(lcNotifications) << "Notification database" << file << "opened: notifications on";
        } else {
          qCWarning(lcNotifications) << "Notification database" << file
                                     << "cannot be opened; every check tries it again";
          // Shown without holding up anything: nobody may be at the wall.
          msgbox::notify(QStringLiteral("Datenbank Benachrichtigung.mdb kann nicht geöffnet werden") + QChar(u'\r') +
                         QStringLiteral("Prüfen Sie Pfad und Berechtigungen!"));
        }
        if (NotificationUi.setTelefonBtnVisible) NotificationUi.setTelefonBtnVisible(NotificationsAvailable);
      });
}

double GraceDays() { return static_cast<double>(Settings.KarenzZeit) * 60.0 / 86400.0; }
