// Test support for the notification feature (see NotificationFixture.h).
#include "tests/notifications/NotificationFixture.h"

#include "jet/JetWriter.h"
#include "notifications/Background.h"
#include "notifications/Notifications.h"
#include "notifications/TNachrichtListe.h"
#include "plan/DataModule.h"
#include "settings/SettingsValues.h"
#include "tests/support/NotificationTable.h"

namespace notiftest {

using jet::ColumnType;

TDateTime now() { return zdt::encode(2026, 12, 8, 10, 0, 0); }

TDateTime today() { return zdt::encode(2026, 12, 8); }

double minutes(double count) { return count / 1440.0; }

Note note(int id, int status, double minutesAgo, int dayOffset) {
  Note n;
  n.id = id;
  n.status = status;
  n.setTime = now() - minutes(minutesAgo);
  n.datum = today() + dayOffset;
  return n;
}

void writeNotes(const QString& file, const QVector<Note>& notes) {
  jet::Database db;
  jet::Table& table = db.addTable("BenachrichtigungsTabelle", notificationColumns());
  for (const Note& n : notes)
    table.rows.append({n.id, n.status, n.valid, n.setTime, n.rueckTime, n.datum, n.stunde, n.lehrer, n.klasse, n.fach,
                       n.bemerkung, n.telefon, n.kopie, n.tan});
  db.write(file);
}

}  // namespace notiftest

void NotificationTest::SetUp() {
  ASSERT_TRUE(m_dir.isValid());
  Settings = SettingsValues{};
  Settings.KarenzZeit = 5;
  Settings.PfadBenachrichtigungen = folder();
  DM = std::make_unique<TDM>();
  messages = std::make_unique<msgbox::Recorder>();
  zdt::setFixedNow(notiftest::now());
  ClockWarningShown = false;
  IndicatorIdle = true;
  NotificationsAvailable = false;
  Nachrichten.FreeItems();
  NotificationUi = NotificationHost{};
  NotificationUi.setBenachrichtigungstimerInterval = [this](int ms) { intervals.append(ms); };
}

void NotificationTest::settle() { ASSERT_TRUE(notifications::waitForBackground()); }

void NotificationTest::TearDown() {
  settle();
  NotificationUi = NotificationHost{};
  Nachrichten.FreeItems();
  DM.reset();
  messages.reset();
  zdt::setClock({});
}
