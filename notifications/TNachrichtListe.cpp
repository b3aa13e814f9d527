// Loading notifications from BenachrichtigungsTabelle and counting the due ones.
#include "notifications/TNachrichtListe.h"

#include <QString>
#include <cassert>
#include <climits>
#include <cmath>

#include "db/Database.h"
#include "notifications/Notifications.h"
#include "plan/DataModule.h"
#include "platform/Logging.h"
#include "platform/MessageBox.h"
#include "settings/SettingsValues.h"

TNachrichtListe Nachrichten;

namespace {

constexpr int kShortestIntervalMs = 2000;

}  // namespace

TNachrichtsatz* TNachrichtListe::Items(int index) const {
  assert(index >= 0 && index < Count());
  return m_items[static_cast<size_t>(index)].get();
}

void TNachrichtListe::Add(std::unique_ptr<TNachrichtsatz> record) {
  assert(record);
  m_items.push_back(std::move(record));
}

void TNachrichtListe::FreeItems() { m_items.clear(); }

void TNachrichtListe::TakeItems(TNachrichtListe& other) {
  m_items = std::move(other.m_items);
  other.m_items.clear();
}

bool TNachrichtListe::LoadFromDB(qint32 daysBack, bool quiet) {
  bool connected = false;
  const bool ok = LoadRows(SelectStatement(daysBack), quiet, connected);
  if (!connected && !quiet) msgbox::show(QStringLiteral("Tabelle kann nicht geöffnet werden!"));
  return ok;
}

bool TNachrichtListe::LoadRows(const QString& select, bool quiet, bool& connected) {
  FreeItems();
  TDM& dm = NotificationDM();
  connected = dm.BenachrichtigungVerbindungErstellen();
  if (!connected && !quiet) return false;
  db::Dataset query(dm.ConnectionBenachrichtigung);
  query.setSql(select);
  bool ok = false;
  try {
    query.open();
    while (!query.eof()) {
      auto record = std::make_unique<TNachrichtsatz>();
      if (record->ReadFromDataSet(query)) Add(std::move(record));
      query.next();
    }
    ok = true;
  } catch (const db::Error& error) {
    qCInfo(lcNotifications) << "Loading notifications failed:" << error.message();
  }
  query.close();
  dm.ConnectionBenachrichtigung.close();
  return ok;
}

QString TNachrichtListe::SelectStatement(qint32 daysBack) {
  // Counted in days as date-times count them, so no daysBack can overflow.
  const TDateTime lowerBound = zdt::today() - static_cast<double>(daysBack);
  return QStringLiteral("SELECT * FROM BenachrichtigungsTabelle Where Datum>= ") + SQLDate(lowerBound) +
         QStringLiteral("And Valid=True order by Datum,Lehrer,SetTime,RueckTime;");
}

int TNachrichtListe::NextInterval(double remainingMs) {
  const double ms = std::trunc(remainingMs);
  if (!(ms >= kShortestIntervalMs)) return kShortestIntervalMs;  // also a NaN
  if (ms >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(ms);
}

qint32 TNachrichtListe::CountDue() {
  DueCount = 0;
  double oldestPending = 0;
  bool warn = false;
  const TDateTime now = zdt::now();
  const TDateTime today = zdt::today();
  const double grace = GraceDays();
  for (const auto& record : m_items) {
    if (!record->Valid || (record->Status != 2 && record->Status != 4) || !(record->Datum >= today)) continue;
    const TDateTime lastChange = record->LastChange();
    if (lastChange <= now - grace) {
      ++DueCount;
      continue;
    }
    const double age = now - lastChange;
    if (age < 0 && !ClockWarningShown) {
      ClockWarningShown = true;
      warn = true;
    } else if (age > oldestPending) {
      oldestPending = age;
    }
  }
  // Shown without holding up the wall.
  if (warn) msgbox::notify(QStringLiteral("Bitte die Uhrzeit mit dem Server der Datenbank synchronisieren"));
  // The grace time counted in whole milliseconds, not in days, so that a
  // whole grace time gives exactly KarenzZeit x 60000 ms.
  const int interval = NextInterval(static_cast<double>(Settings.KarenzZeit) * 60000.0 - oldestPending * 86400000.0);
  qCInfo(lcNotifications) << "Notification check:" << DueCount << "due, next check in" << interval << "ms";
  if (NotificationUi.setBenachrichtigungstimerInterval) NotificationUi.setBenachrichtigungstimerInterval(interval);
  return DueCount;
}
