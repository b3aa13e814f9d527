// The notifications part of zova-check's report.
//
// The feature's state is the one InitNotifications left (it ran at the end
// of reading the settings); its message, when it showed one, was recorded
// instead of shown.
#include "NotificationsReport.h"

#include "app/TForm1.h"
#include "notifications/Notifications.h"
#include "settings/SettingsValues.h"

QJsonObject notificationsReport(const TForm1& form, const QStringList& shownMessages) {
  (void)form;
  QJsonObject report;
  const QString folder = Settings.PfadBenachrichtigungen;
  report["PfadBenachrichtigungen"] = folder;
  if (folder.isEmpty()) {
    report["state"] = QStringLiteral("off");
    report["why"] = QStringLiteral("PfadBenachrichtigungen is empty");
    return report;
  }
  report["file"] = folder + QStringLiteral("Benachrichtigungen.mdb");
  QString message;
  for (const QString& text : shownMessages)
    if (text.startsWith(QLatin1String("Datenbank Benachrichtigung.mdb"))) message = text;
  if (!NotificationsAvailable) {
    report["state"] = message.isEmpty() ? QStringLiteral("off") : QStringLiteral("broken");
    report["why"] = message.isEmpty() ? QStringLiteral("the monitor did not switch notifications on") : message;
    return report;
  }
  report["state"] = QStringLiteral("on");
  return report;
}
