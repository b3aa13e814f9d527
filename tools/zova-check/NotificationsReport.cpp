// The notifications part of zova-check's report.
//
// Whether the feature is on is what InitNotifications decided at the end of
// reading the settings; its message, and the clock warning of the start's
// check, were recorded instead of shown. The due count and the interval come
// from the monitor's own LoadFromDB and CountDue; the database is only read.
#include "NotificationsReport.h"

#include "app/TForm1.h"
#include "db/Database.h"
#include "notifications/Notifications.h"
#include "notifications/TNachrichtListe.h"
#include "plan/DataModule.h"
#include "settings/SettingsValues.h"

namespace {

const QString kClockWarning = QStringLiteral("Bitte die Uhrzeit mit dem Server der Datenbank synchronisieren");

// Why the notification database does not open with the connection string
// the monitor last built, or an empty text when it opens.
QString openFailure() {
  db::Connection connection;
  try {
    connection.setConnectionString(DM->ConnectionBenachrichtigung.connectionString());
    connection.open();
  } catch (const db::Error& error) {
    return error.message();
  }
  connection.close();
  return QString();
}

// Why the monitor's query of today's notifications fails, or an empty text.
QString queryFailure() {
  if (!DM->BenachrichtigungVerbindungErstellen()) return openFailure();
  QString failure;
  db::Dataset query(DM->ConnectionBenachrichtigung);
  try {
    query.setSql(TNachrichtListe::SelectStatement(0));
    query.open();
  } catch (const db::Error& error) {
    failure = error.message();
  }
  query.close();
  DM->ConnectionBenachrichtigung.close();
  return failure;
}

}  // namespace

QJsonObject notificationsReport(const TForm1& form, const QStringList& shownMessages) {
  QJsonObject report;
  const QString folder = Settings.PfadBenachrichtigungen;
  report["PfadBenachrichtigungen"] = folder;
  if (folder.isEmpty()) {
    report["state"] = QStringLiteral("off");
    report["why"] = QStringLiteral("PfadBenachrichtigungen is empty");
    return report;
  }
  report["file"] = TDM::NotificationFile();
  if (!NotificationsAvailable) {
    QString message;
    for (const QString& text : shownMessages)
      if (text.startsWith(QLatin1String("Datenbank Benachrichtigung.mdb"))) message = text;
    report["state"] = QStringLiteral("broken");
    report["message"] = message.isEmpty() ? QJsonValue() : QJsonValue(message);
    const QString failure = openFailure();
    report["why"] = failure.isEmpty() ? QStringLiteral("the notification database could not be opened at start")
                                      : failure;
    return report;
  }
  report["state"] = QStringLiteral("on");
  TNachrichtListe list;
  const bool loaded = list.LoadFromDB(0, true);
  report["loaded"] = loaded;
  if (!loaded) report["loadError"] = queryFailure();
  report["notifications"] = list.Count();
  report["due"] = list.CountDue();
  report["nextCheckMs"] = form.Benachrichtigungstimer->interval();
  report["picture"] = IndicatorIdle ? QStringLiteral("normal") : QStringLiteral("red");
  report["clockWarning"] = shownMessages.contains(kClockWarning);
  return report;
}
