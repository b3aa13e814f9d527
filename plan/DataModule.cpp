// The data module: opening the plan database and the notification database,
// loading day records, and the SQL date literals.
#include "plan/DataModule.h"

#include <cassert>
#include <condition_variable>
#include <mutex>

#include "platform/Logging.h"
#include "settings/SettingsValues.h"

std::unique_ptr<TDM> DM;

TDM::TDM() : ado1(ADOConn), ADOBCommand(ConnectionBenachrichtigung) {}

QString TDM::PlanConnectionString() {
  // Datenpfad ends with the separator when set; none is inserted here, so an
  // empty Datenpfad names the bare file.
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + PlanFile() +
         QStringLiteral(";Mode=READ;Persist Security Info=False;");
}

QString TDM::PlanFile() { return Settings.Datenpfad + QStringLiteral("Zova-Internet.mdb"); }

namespace {

thread_local const QString* t_queuedNotificationFile = nullptr;
thread_local TDM* t_jobModule = nullptr;

std::mutex g_jobLock;
std::condition_variable g_jobEnded;
int g_runningJobs = 0;

}  // namespace

QString TDM::NotificationFile() {
  if (t_queuedNotificationFile) return *t_queuedNotificationFile;
  return Settings.PfadBenachrichtigungen + QStringLiteral("Benachrichtigungen.mdb");
}

TDM::NotificationJob::NotificationJob(const QString& file) {
  const std::lock_guard<std::mutex> guard(g_jobLock);
  if (!DM) return;
  m_active = true;
  ++g_runningJobs;
  t_queuedNotificationFile = &file;
  t_jobModule = DM.get();
}

TDM::NotificationJob::~NotificationJob() {
  if (!m_active) return;
  t_queuedNotificationFile = nullptr;
  t_jobModule = nullptr;
  const std::lock_guard<std::mutex> guard(g_jobLock);
  --g_runningJobs;
  g_jobEnded.notify_all();
}

TDM& NotificationDM() {
  if (t_jobModule) return *t_jobModule;
  assert(DM);
  return *DM;
}

TDM::~TDM() {
  std::unique_lock<std::mutex> lock(g_jobLock);
  g_jobEnded.wait(lock, [] { return g_runningJobs == 0; });
}

void TDM::FollowPlanFile() {
  if (PlanCopy.source() == PlanFile()) return;
  PlanCopy.setSource(PlanFile());
  PlanCopy.refresh();
}

bool TDM::AdoptPlanCopy() {
  FollowPlanFile();
  const db::LocalCopy::State state = PlanCopy.state();
  if (state != db::LocalCopy::State::Current) {
    // An export being written or refused, and an outage within its grace,
    // leave the last complete export in place: it is read again as if the
    // file had not changed.
    const bool standsIn = !PlanCopy.adoptedFile().isEmpty() &&
                          (state == db::LocalCopy::State::Incomplete || PlanCopy.bridgingOutage());
    qCInfo(lcPlan).noquote() << "Poll of" << PlanFile() << "finds no complete export:" << PlanCopy.lastError()
                             << (standsIn ? "- the last complete export stays" : "");
    return standsIn;
  }
  if (PlanCopy.adopt()) qCInfo(lcPlan) << "A new export of" << PlanFile() << "is read";
  return true;
}

bool TDM::ADOOpenRead() {
  FollowPlanFile();
  try {
    ADOConn.close();
    ADOConn.setConnectionString(PlanConnectionString());
    ADOConn.open(PlanCopy);
  } catch (const db::Error&) {
    return false;
  }
  return true;
}

bool TDM::BenachrichtigungVerbindungErstellen() {
  ConnectionBenachrichtigung.close();
  ConnectionBenachrichtigung.setConnectionString(
      QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + NotificationFile() +
      QStringLiteral(";Mode=Share Deny None;Persist Security Info=False"));
  try {
    ConnectionBenachrichtigung.open();
  } catch (const db::Error& error) {
    qCInfo(lcNotifications) << "Notification database cannot be opened:" << error.message();
    return false;
  }
  return ConnectionBenachrichtigung.isOpen();
}

void TDM::OpenSorted(const QString& sql, const QString& sortExpression) {
  ado1.close();
  ado1.setSql(sql);
  ado1.open();
  ado1.sort(sortExpression);
}

void TDM::LoadStatList(TStatList& list) {
  list.Clear();
  ado1.first();
  while (!ado1.eof()) {
    auto item = std::make_shared<TStatItem>();
    item->Geaendert = false;
    item->Datum = ado1.asDateTime(QStringLiteral("Datum"));
    item->DruckZeit = ado1.asDateTime(QStringLiteral("DruckZeit"));
    item->Datumlang = ado1.asText(QStringLiteral("Datumlang"));
    item->Version = ado1.asText(QStringLiteral("Version"));
    item->Druckdatum = ado1.asText(QStringLiteral("Druckdatum"));
    item->Ueberschrift = ado1.asText(QStringLiteral("Ueberschrift"));
    item->Schulname = ado1.asText(QStringLiteral("Schulname"));
    item->Aushangort = ado1.asText(QStringLiteral("Aushangort"));
    item->Gezeichnet = ado1.asText(QStringLiteral("Gezeichnet"));
    for (int i = 1; i <= 7; ++i) item->Spalten[i] = ado1.asText(QStringLiteral("H%1").arg(i));
    item->AbwKlassen = ado1.asText(QStringLiteral("AbwKlassen"));
    item->AbwLehrer = ado1.asText(QStringLiteral("AbwLehrer"));
    item->AbwKurse = ado1.asText(QStringLiteral("AbwKurse"));
    item->FehlRaeume = ado1.asText(QStringLiteral("FehlRäume"));
    item->BetrLehrer = ado1.asText(QStringLiteral("BetrLehrer"));
    item->BetrKlassen = ado1.asText(QStringLiteral("BetrKlassen"));
    item->BitteBeachten = ado1.asText(QStringLiteral("BitteBeachten"));
    item->BitteRTF = ado1.asText(QStringLiteral("BitteRTF"));
    list.Add(item);
    ado1.next();
  }
}

namespace {

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

QString datePart(TDateTime value) {
  const QDate date = zdt::toDate(value);
  return twoDigits(date.month()) + '/' + twoDigits(date.day()) + '/' +
         QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
}

}  // namespace

QString SQLDate(TDateTime value) { return '#' + datePart(value) + '#'; }

QString SQLDateTime(TDateTime value) {
  const QTime time = zdt::toTime(value);
  return '#' + datePart(value) + ' ' + twoDigits(time.hour()) + '.' + twoDigits(time.minute()) +
         '.' + twoDigits(time.second()) + '#';
}
