// Test support for the main window: writes real plan databases with the Jet
// writer, a settings file pointing at them, and builds a fresh TForm1 on a
// fixed clock with message boxes recorded instead of shown.
#pragma once

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "app/TForm1.h"
#include "platform/MessageBox.h"
#include "plan/PlanRecords.h"

// One plan day of one audience: its record and its rows.
struct FixtureDay {
  TStatItem record;
  QVector<TDynItem> rows;
};

// A day record with plausible texts for the given day (midnight) and export time.
FixtureDay makeDay(TDateTime datum, const QString& druckdatum, TDateTime druckZeit, int rows = 0);

struct PlanDatabase {
  QVector<FixtureDay> aula;
  QVector<FixtureDay> lehrer;
  bool withLehrerTables = true;
  // Writes <folder>/Zova-Internet.mdb, replacing any earlier file.
  void write(const QString& folder) const;
};

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The folder of the plan database, with a trailing "/".
  QString planFolder() const { return m_data.path() + '/'; }
  // Writes Zova-Monitor.ini: Datenpfad = planFolder() and the given extra
  // [Settings] lines.
  void writeSettings(const QStringList& settingsLines = {}, const QString& datenpfad = QString());
  // Creates and shows the main window (FormCreate runs), then lets it
  // activate; the first page is on screen afterwards.
  TForm1& startForm(int width = 1000, int height = 700);
  // Runs the event loop briefly so queued events (activation) are handled.
  static void processEvents();
  // Takes the plan file as it is now into the monitor's local copy, as the
  // background refresh before a poll does, and polls (GetNewDaten).
  void pollNewExport();
  // Runs the event loop until the polls asked for (timer, F7, file watch)
  // have run after the local copy's refresh; fails after 15 s.
  void waitForPolls();
  // Resizes the window until the substitution table has room for exactly
  // `rows` fully visible body rows, and lays the page out again.
  void fitVisibleRows(int rows);

  QTemporaryDir m_data;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<msgbox::Recorder> messages;
};
