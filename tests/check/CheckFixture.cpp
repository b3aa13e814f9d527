// Test support for zova-check (see CheckFixture.h).
#include "CheckFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTextStream>

#include "PlanCheck.h"
#include "notifications/Notifications.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"

TDateTime wednesdayAt(int hour, int minute) { return zdt::encode(2026, 12, 9, hour, minute); }

TDateTime weekDay(int offset) { return zdt::encode(2026, 12, 7) + offset; }

PlanDatabase planOf(const QVector<TDateTime>& days, int rows) {
  PlanDatabase plan;
  for (const TDateTime day : days) {
    const QString druckdatum = zdt::toDate(day - 1).toString("dd.MM.yyyy") + " 08:00";
    plan.aula << makeDay(day, druckdatum, day - 1 + zdt::encodeTime(8, 0), rows);
    plan.lehrer << makeDay(day, druckdatum, day - 1 + zdt::encodeTime(8, 0), rows);
  }
  return plan;
}

void CheckTest::SetUp() {
  ASSERT_TRUE(m_config.isValid() && m_data.isValid());
  Plan = PlanState{};
  Settings = SettingsValues{};
  // A program starts with the telephone button's normal picture.
  IndicatorIdle = true;
  NotificationsAvailable = false;
  DM = std::make_unique<TDM>();
  m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
  // A complete export is taken after a short quiet time in tests.
  qputenv("ZOVA_TEST_EXPORT_QUIET_MS", "200");
}

void CheckTest::TearDown() {
  DM.reset();
  zdt::setClock({});
  qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
}

void CheckTest::writeSettings(const QStringList& settingsLines, const QString& datenpfad,
                              const QString& pfadBenachrichtigungen) {
  QDir().mkpath(settingsFolder());
  QFile file(settingsFolder() + "Zova-Monitor.ini");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QTextStream out(&file);
  out << "[Pfade]\nDatenpfad=" << (datenpfad.isNull() ? planFolder() : datenpfad) << "\n";
  if (!pfadBenachrichtigungen.isNull()) out << "PfadBenachrichtigungen=" << pfadBenachrichtigungen << "\n";
  out << "[Settings]\n";
  for (const QString& line : settingsLines) out << line << "\n";
}

QJsonObject CheckTest::check(CheckOptions options) {
  if (!options.at) options.at = wednesdayAt(10);
  const CheckResult result = runCheck(options);
  status = result.status;
  return result.report;
}

QJsonObject CheckTest::check(TDateTime at) {
  CheckOptions options;
  options.at = at;
  return check(options);
}

QStringList texts(const QJsonValue& array) {
  QStringList list;
  for (const QJsonValue& value : array.toArray()) list << value.toString();
  return list;
}
