// The monitor's services for an unattended wall: status file, the screen's
// hours and the restart after an upgrade (see WallServices.h).
#include "app/WallServices.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonValue>
#include <QLabel>

#include "app/ReportTexts.h"
#include "app/TForm1.h"
#include "notifications/Background.h"
#include "notifications/Notifications.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "platform/CommandLine.h"
#include "platform/DisplayPower.h"
#include "platform/Logging.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

namespace {

// The running program's own file, as the kernel knows it (also after it
// was replaced or removed).
const QString kRunningImage = QStringLiteral("/proc/self/exe");

// Milliseconds of a steady clock, for how long a replaced file has stood.
qint64 steadyMs() {
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return clock.elapsed();
}

QString pollOutcome(db::LocalCopy::State state) {
  switch (state) {
    case db::LocalCopy::State::None: return QStringLiteral("none");
    case db::LocalCopy::State::Current: return QStringLiteral("complete");
    case db::LocalCopy::State::Incomplete: return QStringLiteral("incomplete");
    case db::LocalCopy::State::Unreachable: return QStringLiteral("unreachable");
  }
  return QString();
}

QJsonValue momentOrNull(const QDateTime& moment) {
  return moment.isValid() ? QJsonValue(momentTextWithSeconds(zdt::fromQDateTime(moment))) : QJsonValue();
}

}  // namespace

WallServices::WallServices(TForm1& form, std::unique_ptr<DisplayPower> power, QObject* parent)
    : QObject(parent),
      m_form(form),
      m_power(std::move(power)),
      m_started(zdt::toQDateTime(zdt::now())),
      m_programFile(QFileInfo(kRunningImage).symLinkTarget()),
      m_runningImage(FileIdentity::of(kRunningImage)),
      m_status(runtimestatus::fileFor(Einstellungspfad)) {
  m_hours = SleepHours::fromSettings(Settings.KioskAn, Settings.KioskAus, Settings.KioskTage, &m_hoursProblem);
  if (!m_hoursProblem.isEmpty())
    qCWarning(lcScreen).noquote() << "The screen stays on at every hour:" << m_hoursProblem;
  else if (m_hours && !m_power->available())
    qCWarning(lcScreen).noquote() << "The screen cannot be switched off outside its hours:" << m_power->reason();
  // The start's own attempt on the plan file counts as the first poll.
  if (DM->PlanCopy.state() != db::LocalCopy::State::None) m_lastPollAt = m_started;
  connect(&DM->PlanCopy, &db::LocalCopy::refreshed, this, [this] { m_lastPollAt = zdt::toQDateTime(zdt::now()); });
  m_timer.setInterval(1000);
  connect(&m_timer, &QTimer::timeout, this, &WallServices::tick);
  m_timer.start();
  tick();
}

void WallServices::tick() {
  checkScreenHours();
  if (++m_ticks % 10 == 1) checkProgramFile();
  if (m_replaced && !m_restart && quietMoment()) {
    qCInfo(lcPlan).noquote() << "The program file" << m_programFile << "was replaced; starting it anew";
    m_restart = true;
    m_form.close();
    QCoreApplication::quit();
  }
  const QString adopted = DM->PlanCopy.adoptedFile();
  if (adopted != m_adoptedCopy) {
    m_adoptedCopy = adopted;
    m_takenAt = zdt::toQDateTime(zdt::now());
  }
  QString error;
  if (!m_status.write(status(), &error) && !m_statusFailed) {
    m_statusFailed = true;
    qCWarning(lcScreen).noquote() << "No status file for zova-check:" << error;
  }
}

void WallServices::checkScreenHours() {
  if (!m_hours) return;
  if (m_hours->screenOnAt(zdt::toQDateTime(zdt::now()))) {
    if (m_screenOff) {
      m_screenOff = false;
      if (m_power->switchOn()) qCInfo(lcScreen) << "Screen switched on for its hours";
    }
    return;
  }
  if (!m_screenOff) {
    m_screenOff = true;
    if (m_power->switchOff())
      qCInfo(lcScreen).noquote() << "Screen switched off until"
                                 << m_hours->nextOnAfter(zdt::toQDateTime(zdt::now())).toString(QStringLiteral("ddd HH:mm"));
    return;
  }
  // A key or the pointer woke it: kiosk mode lets nobody keep it on;
  // otherwise it goes off again once nobody has touched anything for a while.
  if (m_power->state() != DisplayPower::State::On) return;
  const qint64 idle = m_power->idleMs();
  if (Settings.KioskAktiv || idle >= kWakeMs) m_power->switchOff();
}

void WallServices::checkProgramFile() {
  if (m_replaced || m_programFile.isEmpty()) return;
  const FileIdentity now = FileIdentity::of(m_programFile);
  // A program file removed (the package removed) leaves the monitor running.
  if (!now.exists || (now.inode == m_runningImage.inode && now.device == m_runningImage.device)) {
    m_replacement = FileIdentity();
    return;
  }
  if (!(now == m_replacement)) {
    m_replacement = now;
    m_replacementSeenMs = steadyMs();
    return;
  }
  if (steadyMs() - m_replacementSeenMs < kSettleMs || !QFileInfo(m_programFile).isExecutable()) return;
  m_replaced = true;
  qCInfo(lcPlan).noquote() << "The program file" << m_programFile << "was replaced; the monitor starts it anew at the next quiet moment";
}

bool WallServices::quietMoment() const {
  if (QApplication::activeModalWidget()) return false;
  for (const QWidget* window : QApplication::topLevelWidgets())
    if (window != &m_form && window->isVisible() && qobject_cast<const QDialog*>(window)) return false;
  if (m_form.PollPending() || DM->PlanCopy.isRefreshing() || notifications::backgroundBusy()) return false;
  // In automatic mode the page on screen first has its time.
  return !m_form.ScrollTimer->isActive() || m_form.ScrollTimer->remainingTime() <= kPageEndMs;
}

QJsonObject WallServices::status() const {
  QJsonObject screen;
  const bool plan = Plan.AktuellerTag != nullptr;
  screen["shows"] = plan ? QStringLiteral("plan") : QStringLiteral("stateText");
  screen["audience"] = Plan.AktuellerTyp;
  screen["audienceName"] = audienceName(Plan.AktuellerTyp);
  if (plan) {
    screen["date"] = dayText(Plan.AktuellerTag->Datum);
    screen["dayChooser"] = m_form.DBox->currentText();
    screen["page"] = m_form.AktSeite;
    screen["pages"] = m_form.AnzSeiten;
    screen["header"] = m_form.Label1->text();
    screen["exported"] = momentTextWithSeconds(Plan.AktuellerTag->DruckZeit);
  } else {
    screen["stateText"] = m_form.Label1->text();
  }
  screen["window"] = QStringLiteral("%1x%2").arg(m_form.width()).arg(m_form.height());
  screen["fullScreen"] = m_form.IsFullScreen;

  const TDateTime outage = DM->PlanCopy.outageSince();
  const QJsonObject planFile{
      {"file", TDM::PlanFile()},
      {"copy", m_adoptedCopy},
      {"takenAt", m_adoptedCopy.isEmpty() ? QJsonValue() : momentOrNull(m_takenAt)},
      {"lastPoll", momentOrNull(m_lastPollAt)},
      {"lastPollOutcome", pollOutcome(DM->PlanCopy.state())},
      {"lastPollError", DM->PlanCopy.lastError()},
      {"outageSince", outage != 0 ? QJsonValue(momentTextWithSeconds(outage)) : QJsonValue()},
  };
  const QJsonObject telephone{
      {"shown", NotificationsAvailable && m_form.TelefonBtn->isVisibleTo(&m_form)},
      {"due", NotificationsAvailable && !IndicatorIdle},
  };
  QJsonObject power{{"switchedOff", m_screenOff}, {"switchable", m_power->available()}};
  if (m_hours) power["hours"] = m_hours->text();
  if (!m_hoursProblem.isEmpty()) power["problem"] = m_hoursProblem;
  if (!m_power->available()) power["reason"] = m_power->reason();

  return QJsonObject{
      {"version", cli::version()},
      {"pid", QCoreApplication::applicationPid()},
      {"started", momentOrNull(m_started)},
      {"settingsFile", Einstellungspfad + QStringLiteral("Zova-Monitor.ini")},
      {"kiosk", Settings.KioskAktiv},
      {"screen", screen},
      {"planFile", planFile},
      {"telephone", telephone},
      {"screenPower", power},
      {"restartPending", m_replaced},
  };
}
