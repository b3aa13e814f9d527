// Loading the plan from real database files: both audiences' day records,
// the rows of one day, and what a damaged or partial database leaves behind.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "tests/app/PlanFixture.h"

using PlanLoading = FormTest;

TEST_F(PlanLoading, GetDaten_ReadsBothAudiencesSortedByDate) {
  PlanDatabase db;
  const TDateTime heute = zdt::today();
  db.aula << makeDay(heute + 1, "b", heute) << makeDay(heute, "a", heute - 0.25);
  db.lehrer << makeDay(heute, "L", heute);
  db.aula[0].record.FehlRaeume = "R 101, Aula";
  db.aula[0].record.BitteRTF = QString(60000, 'x');
  db.write(planFolder());
  writeSettings();
  form = std::make_unique<TForm1>();
  ASSERT_EQ(Plan.StatListAula.Count(), 2);
  EXPECT_EQ(Plan.StatListAula.Items(0)->Datum, heute);
  EXPECT_EQ(Plan.StatListAula.Items(0)->DruckZeit, heute - 0.25);
  EXPECT_EQ(Plan.StatListAula.Items(1)->FehlRaeume, "R 101, Aula");
  EXPECT_EQ(Plan.StatListAula.Items(1)->BitteRTF.size(), 60000);
  EXPECT_EQ(Plan.StatListAula.Items(1)->Spalten[7], "Bemerkung");
  ASSERT_EQ(Plan.StatListLehrer.Count(), 1);
  EXPECT_TRUE(form->DBVerbunden);
  EXPECT_EQ(form->DBox->count(), 2);
}

TEST_F(PlanLoading, GetDynData_FiltersByTheWholeDayAndClearsLoneFullStops) {
  PlanDatabase db;
  const TDateTime tag = zdt::encode(2007, 1, 1);  // day number 39083
  FixtureDay day = makeDay(tag, "a", tag, 2);
  day.rows[0].F3 = ".";
  day.rows[0].F4 = ". ";
  db.aula << day << makeDay(tag + 1, "b", tag, 1);
  db.write(planFolder());
  writeSettings();
  form = std::make_unique<TForm1>();
  form->GetDynData(0, 39083.75);
  ASSERT_EQ(Plan.DynList.Count(), 2);
  EXPECT_EQ(Plan.DynList.Items(0)->F3, "");
  EXPECT_EQ(Plan.DynList.Items(0)->F4, ". ");
  EXPECT_EQ(Plan.DynList.Items(1)->F2, "2");  // ordered by ID
}

TEST_F(PlanLoading, MissingTeachersTables_LeaveTheTeachersListUnchanged) {
  PlanDatabase db;
  const TDateTime heute = zdt::today();
  db.aula << makeDay(heute, "a", heute);
  db.lehrer << makeDay(heute, "L1", heute) << makeDay(heute + 1, "L2", heute);
  db.write(planFolder());
  writeSettings();
  form = std::make_unique<TForm1>();
  ASSERT_EQ(Plan.StatListLehrer.Count(), 2);

  db.withLehrerTables = false;
  db.aula << makeDay(heute + 2, "c", heute);
  db.write(planFolder());
  DM->PlanCopy.refreshAndWait();
  form->GetDaten();
  EXPECT_EQ(Plan.StatListAula.Count(), 2);
  EXPECT_EQ(Plan.StatListLehrer.Count(), 2);
  EXPECT_EQ(form->DBox->count(), 2);  // the day chooser is still rebuilt
}

TEST_F(PlanLoading, DatabaseMissingPastTheOutageGrace_KeepsTheListsAndLeavesTheChooserEmpty) {
  PlanDatabase db;
  db.aula << makeDay(zdt::today(), "a", zdt::today());
  db.write(planFolder());
  writeSettings();
  form = std::make_unique<TForm1>();
  ASSERT_EQ(Plan.StatListAula.Count(), 1);
  QFile::remove(planFolder() + "Zova-Internet.mdb");
  DM->PlanCopy.refreshAndWait();
  form->GetDaten();
  EXPECT_TRUE(form->DBVerbunden) << "within the grace the last export is read";
  EXPECT_EQ(form->DBox->count(), 1);
  qputenv("ZOVA_TEST_OUTAGE_GRACE_MS", "0");
  form->GetDaten();
  qunsetenv("ZOVA_TEST_OUTAGE_GRACE_MS");
  EXPECT_FALSE(form->DBVerbunden);
  EXPECT_EQ(Plan.StatListAula.Count(), 1);
  EXPECT_EQ(form->DBox->count(), 0);
  EXPECT_EQ(form->Label1->text(), "Keine Verbindung zur Datenbank! Press F10");
}

TEST_F(PlanLoading, EmptyTables_EndInTheNoDataText) {
  PlanDatabase db;
  db.write(planFolder());
  writeSettings();
  startForm();
  EXPECT_TRUE(form->DBVerbunden);
  EXPECT_EQ(Plan.AktuellerTag, nullptr);
  EXPECT_EQ(form->Label1->text(), "Die Datenbank enthält keine geeigneten Daten! Press F10");
}

TEST_F(PlanLoading, StartWhileThePlanFileIsGone_ShowsTheCopyKeptFromTheLastRunWithTheNote) {
  PlanDatabase db;
  db.aula << makeDay(zdt::today(), "Stand 1", zdt::today(), 5);
  db.lehrer = db.aula;
  db.write(planFolder());
  writeSettings();
  startForm();
  ASSERT_EQ(Plan.AktuellerTag->Druckdatum, "Stand 1");
  form.reset();
  const QString plan = planFolder() + "Zova-Internet.mdb";
  ASSERT_TRUE(QFile::rename(plan, planFolder() + "weg.mdb"));

  Plan = PlanState{};
  DM = std::make_unique<TDM>();
  startForm();
  EXPECT_TRUE(form->DBVerbunden);
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_EQ(Plan.AktuellerTag->Druckdatum, "Stand 1");
  EXPECT_EQ(form->AnzZeilen, 5);
  // The start's refresh finds the file gone in the background; on a slow
  // machine (the sanitizer build) that takes longer than the start.
  QElapsedTimer clock;
  clock.start();
  while (DM->PlanCopy.isRefreshing() && clock.elapsed() < 15000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_FALSE(DM->PlanCopy.isRefreshing());
  form->updatechecktimerTimer();
  EXPECT_TRUE(form->StatusPanels[2]->text().endsWith(" – keine Verbindung seit 10:00"))
      << form->StatusPanels[2]->text().toStdString();

  // A copy is only ever shown for its own plan file.
  form.reset();
  Plan = PlanState{};
  DM = std::make_unique<TDM>();
  QTemporaryDir otherFolder;
  writeSettings({}, otherFolder.path() + '/');
  startForm();
  EXPECT_FALSE(form->DBVerbunden);
  EXPECT_EQ(form->Label1->text(), "Keine Verbindung zur Datenbank! Press F10");
}
