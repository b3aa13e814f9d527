// Test support for zova-check: a private settings folder and plan folder per
// test, settings files and plans written by the test, and the check run
// in-process as the tool runs it.
#pragma once

#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "CheckOptions.h"
#include "tests/app/PlanFixture.h"

// Wednesday 9 December 2026: the check stands at `hour`:`minute` that day.
TDateTime wednesdayAt(int hour, int minute = 0);
// Midnight of a day of that week (0 = Monday 7 December 2026).
TDateTime weekDay(int offset);

// Days of both audiences, each with `rows` rows, printed at 08:00 of the day before.
PlanDatabase planOf(const QVector<TDateTime>& days, int rows = 5);

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The folder XDG_CONFIG_HOME names for the check.
  QString configHome() const { return m_config.path(); }
  // The settings folder below it (not created until writeSettings).
  QString settingsFolder() const { return configHome() + "/Kelvaro/Zova-Monitor/"; }
  // The plan folder, with a trailing "/".
  QString planFolder() const { return m_data.path() + '/'; }
  // Writes Zova-Monitor.ini: Datenpfad (planFolder() when null), the
  // notification folder when not null, and the given [Settings] lines.
  void writeSettings(const QStringList& settingsLines = {}, const QString& datenpfad = QString(),
                     const QString& pfadBenachrichtigungen = QString());
  // Runs the check standing at `at` (Wednesday 10:00 by default); the
  // report, with the exit status in `status`.
  QJsonObject check(CheckOptions options = {});
  QJsonObject check(TDateTime at);

  int status = -1;
  QTemporaryDir m_config;
  QTemporaryDir m_data;

 private:
  QByteArray m_savedConfigHome;
};

// The texts of a JSON array of strings.
QStringList texts(const QJsonValue& array);
