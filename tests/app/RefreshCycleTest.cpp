// The refresh cycle on real database files: a poll redraws the page only
// when the day on screen got a new version, vanished, or none was shown.
#include <QElapsedTimer>
#include <QFile>

#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

class RefreshCycle : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    heute = zdt::today();
    db.aula << makeDay(heute, "09.12.2026 07:45", heute + zdt::encodeTime(7, 45), 30)
            << makeDay(heute + 1, "09.12.2026 07:45", heute + zdt::encodeTime(7, 45), 4);
    db.lehrer = db.aula;
    db.write(planFolder());
    writeSettings();
    startForm(1000, 600);
    ASSERT_TRUE(Plan.AktuellerTag);
    ASSERT_EQ(Plan.AktuellerTag->Datum, heute);
    layouts = form->LayoutCount;
  }
  void rewrite() { db.write(planFolder()); }

  TDateTime heute = 0;
  PlanDatabase db;
  int layouts = 0;
};

TEST_F(RefreshCycle, PollsWithoutChange_DoNotRelayoutNorMoveTheTable) {
  form->Grid->setTopRow(11);
  const TStatItemRef shown = Plan.AktuellerTag;
  form->GetNewDaten();
  form->GetNewDaten();
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(form->Grid->TopRow(), 11);
  EXPECT_EQ(Plan.AktuellerTag, shown);
  EXPECT_FALSE(shown->Geaendert);
  EXPECT_EQ(form->DBox->count(), 2);
  EXPECT_EQ(form->DBoxRecord(form->DBox->currentIndex()), shown);
}

TEST_F(RefreshCycle, NewDruckdatumOfTheShownDay_RedrawsOnceAndClearsTheMark) {
  db.aula[0].record.Druckdatum = "09.12.2026 08:10";
  db.aula[0].rows.resize(5);
  rewrite();
  form->UpdateTimerTimer();
  waitForPolls();
  EXPECT_EQ(form->LayoutCount, layouts + 1);
  EXPECT_FALSE(Plan.AktuellerTag->Geaendert);
  EXPECT_EQ(Plan.DynList.Count(), 5);
  EXPECT_EQ(form->Label6->text(), "Letzte Änderung: Heute 07:45 Uhr");
  form->GetNewDaten();
  EXPECT_EQ(form->LayoutCount, layouts + 1);
}

TEST_F(RefreshCycle, OnlyTheNoticeChanged_KeepsTheOldNoticeAndDoesNotRedraw) {
  db.aula[0].record.BitteRTF = "Neue Notiz";
  rewrite();
  pollNewExport();
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(Plan.AktuellerTag->BitteRTF, "Bitte beachten Sie die Aushänge.");
}

TEST_F(RefreshCycle, ChangedDayNotOnScreen_IsRedrawnWhenALaterPollFindsItShown) {
  db.aula[1].record.Druckdatum = "neu";
  rewrite();
  pollNewExport();
  EXPECT_EQ(form->LayoutCount, layouts);
  const TStatItemRef morgen = Plan.StatListAula.FindByDate(heute + 1);
  ASSERT_TRUE(morgen);
  EXPECT_TRUE(morgen->Geaendert);
  form->DBox->setCurrentIndex(1);
  form->DBoxChange();
  EXPECT_EQ(form->LayoutCount, layouts + 1);
  form->GetNewDaten();  // the flag is still set on the record now shown
  EXPECT_EQ(form->LayoutCount, layouts + 2);
  EXPECT_FALSE(morgen->Geaendert);
}

TEST_F(RefreshCycle, NewDay_IsSelectableWithoutARedraw) {
  db.aula << makeDay(heute + 2, "x", heute);
  db.lehrer << makeDay(heute + 2, "x", heute);
  rewrite();
  pollNewExport();
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(Plan.StatListAula.Count(), 3);
  EXPECT_EQ(Plan.StatListLehrer.Count(), 3);
  EXPECT_EQ(form->DBox->count(), 3);
  EXPECT_EQ(Plan.AktuellerTag->Datum, heute);
}

TEST_F(RefreshCycle, ShownDayDeleted_BlanksThenShowsTheFallbackDay) {
  db.aula.removeFirst();
  rewrite();
  pollNewExport();
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_EQ(Plan.AktuellerTag->Datum, heute + 1);
  EXPECT_EQ(form->LayoutCount, layouts + 1);
  EXPECT_EQ(Plan.StatListAula.Count(), 1);
  EXPECT_EQ(form->Label2->text(), "Morgen " + Plan.AktuellerTag->Datumlang);
}

TEST_F(RefreshCycle, DatabaseEmptied_EndsInTheNoDataText) {
  db.aula.clear();
  db.lehrer.clear();
  rewrite();
  pollNewExport();
  EXPECT_EQ(Plan.AktuellerTag, nullptr);
  EXPECT_EQ(Plan.StatListAula.Count(), 0);
  EXPECT_EQ(form->Label1->text(), "Die Datenbank enthält keine geeigneten Daten! Press F10");
  EXPECT_TRUE(form->Grid->isHidden());
}

TEST_F(RefreshCycle, DatabaseUnreachable_LastExportStaysThroughTheGraceThenThePageGoesBlank) {
  const QString heading = form->Label2->text();
  QFile::rename(planFolder() + "Zova-Internet.mdb", planFolder() + "weg.mdb");
  pollNewExport();
  EXPECT_TRUE(form->DBVerbunden);
  EXPECT_EQ(form->DBox->count(), 2);
  EXPECT_EQ(form->Label2->text(), heading);
  EXPECT_EQ(form->LayoutCount, layouts);
  form->updatechecktimerTimer();
  EXPECT_TRUE(form->StatusPanels[2]->text().endsWith(" – keine Verbindung seit 10:00"))
      << form->StatusPanels[2]->text().toStdString();
  // A day change reads the last export.
  form->DBox->setCurrentIndex(1);
  form->DBoxChange();
  EXPECT_EQ(Plan.AktuellerTag->Datum, zdt::today() + 1);
  EXPECT_GT(form->AnzZeilen, 0);

  qputenv("ZOVA_TEST_OUTAGE_GRACE_MS", "0");
  pollNewExport();
  EXPECT_FALSE(form->DBVerbunden);
  EXPECT_EQ(form->DBox->count(), 0);
  form->updatechecktimerTimer();
  EXPECT_FALSE(form->StatusPanels[2]->text().contains("keine Verbindung"));
  form->Datenanzeigen();
  EXPECT_EQ(form->Label1->text(), "Keine Verbindung zur Datenbank! Press F10");
  qunsetenv("ZOVA_TEST_OUTAGE_GRACE_MS");

  // The same export answers again: the keeper's own attempt brings the page back.
  QFile::rename(planFolder() + "weg.mdb", planFolder() + "Zova-Internet.mdb");
  DM->PlanCopy.refreshAndWait();
  form->PlanCopyRefreshed();
  EXPECT_TRUE(form->DBVerbunden);
  EXPECT_EQ(form->DBox->count(), 2);
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_NE(form->Label1->text(), "Keine Verbindung zur Datenbank! Press F10");
}

TEST_F(RefreshCycle, PollOfTheSameCopy_ReadsNothingAndActsAsAnIdenticalMerge) {
  pollNewExport();
  const QString copy = DM->PlanCopy.adoptedFile();
  ASSERT_FALSE(copy.isEmpty());
  // A read of the copy would now fail and take the plan off.
  ASSERT_TRUE(QFile::remove(copy));
  pollNewExport();
  EXPECT_TRUE(form->DBVerbunden);
  EXPECT_EQ(form->DBox->count(), 2);
  EXPECT_EQ(form->LayoutCount, layouts);
  // A change merged earlier and not yet drawn is drawn, as after any merge.
  Plan.AktuellerTag->Geaendert = true;
  QFile::copy(planFolder() + "Zova-Internet.mdb", copy);
  pollNewExport();
  EXPECT_EQ(form->LayoutCount, layouts + 1);
}

TEST_F(RefreshCycle, ForceUpdate_PollsAndRestartsTheCountdown) {
  form->LetztesUpdate = 0;
  db.aula[0].record.Druckdatum = "neu";
  rewrite();
  form->ForceUpdate();
  waitForPolls();
  EXPECT_EQ(form->LetztesUpdate, zdt::now());
  EXPECT_EQ(form->LayoutCount, layouts + 1);
}

TEST_F(RefreshCycle, RewrittenPlanFile_IsPolledWithinSecondsWithoutTheTimer) {
  form->UpdateTimer->stop();
  db.aula[0].record.Druckdatum = "09.12.2026 09:00";
  rewrite();
  QElapsedTimer clock;
  clock.start();
  while (form->LayoutCount == layouts && clock.elapsed() < 8000) processEvents();
  EXPECT_EQ(form->LayoutCount, layouts + 1) << "no poll after the file changed";
  // One poll for the settled file, not one per write event, and reading the
  // file does not set the watch off again.
  const int settled = form->LayoutCount;
  const int polls = form->PollCount;
  clock.restart();
  while (clock.elapsed() < 2500) processEvents();
  EXPECT_EQ(form->LayoutCount, settled);
  EXPECT_EQ(form->PollCount, polls);
}
