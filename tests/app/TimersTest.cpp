// The timers of the main window, driven by calling their handlers on the
// injectable clock: the blinking change label, the header colours, the date
// check at midnight, the countdown to the next poll, and the plan watch.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "plan/PlanState.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

namespace {

constexpr TDateTime kSecond = 1.0 / 86400;

bool bold(const QLabel* label) { return label->font().bold(); }
QColor colour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

}  // namespace

class Timers : public FormTest {
 protected:
  // Today and tomorrow for both audiences, today changed at `druckZeit`.
  void start(TDateTime druckZeit, const QStringList& settings = {}) {
    heute = zdt::today();
    db.aula << makeDay(heute, "Stand 1", druckZeit, 3) << makeDay(heute + 1, "Stand 1", druckZeit, 3);
    db.lehrer = db.aula;
    db.write(planFolder());
    writeSettings(settings);
    startForm(1000, 600);
    ASSERT_TRUE(Plan.AktuellerTag);
  }
  TDateTime heute = 0;
  PlanDatabase db;
};

TEST_F(Timers, HeaderColours_AreTheFiveOfThePositions) {
  EXPECT_EQ(TForm1::Headerfarbe(0), QColor(58, 110, 165));
  EXPECT_EQ(TForm1::Headerfarbe(1), QColor(0, 128, 128));
  EXPECT_EQ(TForm1::Headerfarbe(2), QColor(196, 78, 38));
  EXPECT_EQ(TForm1::Headerfarbe(3), QColor(125, 104, 81));
  EXPECT_EQ(TForm1::Headerfarbe(4), QColor(99, 102, 118));
  EXPECT_EQ(TForm1::Headerfarbe(-1), QColor(99, 102, 118));
}

TEST_F(Timers, ChangeTwoHoursAgo_BlinksRedAndBoldThenWhite) {
  start(zdt::now() - 2.0 / 24);
  EXPECT_TRUE(form->BlinkActive);
  form->BlinktimerTimer();
  EXPECT_TRUE(bold(form->Label6));
  EXPECT_EQ(colour(form->Label6), QColor(255, 0, 0));
  form->BlinktimerTimer();
  EXPECT_FALSE(bold(form->Label6));
  EXPECT_EQ(colour(form->Label6), QColor(Qt::white));
}

TEST_F(Timers, ChangeThreeHoursAgo_DoesNotBlink) {
  start(zdt::now() - 3.0 / 24);
  EXPECT_FALSE(form->BlinkActive);
  form->BlinktimerTimer();
  form->BlinktimerTimer();
  EXPECT_FALSE(bold(form->Label6));
  EXPECT_EQ(colour(form->Label6), QColor(Qt::white));
}

TEST_F(Timers, BlinkingEnds_WithOneLastPhaseStepThenPlain) {
  const TDateTime start = zdt::now();
  Timers::start(start - 0.1 + 10 * kSecond);
  ASSERT_TRUE(form->BlinkActive);
  zdt::setFixedNow(start + 20 * kSecond);  // now more than 144 minutes after the change
  const int phase = form->BlinkPhase;
  form->BlinktimerTimer();
  EXPECT_FALSE(form->BlinkActive);
  EXPECT_EQ(form->BlinkPhase, (phase + 1) % 2) << "the phase advances in the step that turns blinking off";
  form->BlinktimerTimer();
  EXPECT_FALSE(bold(form->Label6));
  EXPECT_EQ(colour(form->Label6), QColor(Qt::white));
}

TEST_F(Timers, OnTheRedHeaderColour_TheLabelBlinksBlack) {
  start(zdt::now() - 1.0 / 24);
  form->HeaderColor = TForm1::Headerfarbe(2);
  form->LabelBlinking(true);
  EXPECT_EQ(colour(form->Label6), QColor(Qt::black));
  form->HeaderColor = TForm1::Headerfarbe(3);
  form->LabelBlinking(true);
  EXPECT_EQ(colour(form->Label6), QColor(255, 0, 0));
}

TEST_F(Timers, F7_AdvancesTheBlinkPhaseOnce) {
  start(zdt::now() - 1.0 / 24);
  const int phase = form->BlinkPhase;
  form->FormKeyDown(118);
  waitForPolls();
  EXPECT_EQ(form->BlinkPhase, (phase + 1) % 2);
}

TEST_F(Timers, MidnightInAutomaticMode_RebuildsTheDayListWithinAMinute) {
  start(heute - 1, {"AutoScroll=1", "AnzeigeTage=2"});
  ASSERT_EQ(Plan.Tagesliste.size(), 2);
  const int layouts = form->LayoutCount;
  zdt::setFixedNow(heute + 1 + 30 * kSecond);
  form->Timer1Timer();
  EXPECT_EQ(form->LastDate, heute + 1);
  ASSERT_EQ(Plan.Tagesliste.size(), 1);
  EXPECT_EQ(Plan.Tagesliste.first()->Datum, heute + 1);
  EXPECT_EQ(form->LayoutCount, layouts + 1);
  EXPECT_EQ(form->Label2->text(), Plan.AktuellerTag->Datumlang) << "yesterday's page, shown again";
  form->ScrollTimerTimer();  // the next tick moves on to the new today
  EXPECT_EQ(Plan.AktuellerTag->Datum, heute + 1);
  EXPECT_EQ(form->Label2->text(), "Heute " + Plan.AktuellerTag->Datumlang);
}

TEST_F(Timers, MidnightInManualMode_KeepsTheOldDate) {
  start(heute - 1);
  const int layouts = form->LayoutCount;
  zdt::setFixedNow(heute + 1 + 30 * kSecond);
  form->Timer1Timer();
  EXPECT_EQ(form->LastDate, heute);
  EXPECT_EQ(form->LayoutCount, layouts);
}

class Countdown : public Timers {
 protected:
  QString after(double seconds) {
    form->LetztesUpdate = zdt::now() - seconds * kSecond;
    form->updatechecktimerTimer();
    return form->StatusPanels[2]->text();
  }
};

TEST_F(Countdown, OneMinuteInterval_CountsInSeconds) {
  start(heute, {"Refreshinterval=1"});
  EXPECT_EQ(after(0), " next update check: 60 s");
  EXPECT_EQ(after(59), " next update check: 1 s");
  EXPECT_EQ(after(60), " next update check: 0 s");
  // Elapsed seconds are rounded to the nearest whole second.
  EXPECT_EQ(after(0.4), " next update check: 60 s");
  EXPECT_EQ(after(0.6), " next update check: 59 s");
}

TEST_F(Countdown, FiveMinuteInterval_RoundsToWholeMinutesAboveOneMinute) {
  start(heute, {"Refreshinterval=5"});
  EXPECT_EQ(after(0), " next update check: 5 min");
  EXPECT_EQ(after(300 - 89), " next update check: 1 min");
  EXPECT_EQ(after(300 - 90), " next update check: 2 min");
  EXPECT_EQ(after(300 - 60), " next update check: 60 s");
}

TEST_F(Countdown, LatePollOrClockSetBack_ShowsTheFullInterval) {
  start(heute, {"Refreshinterval=5"});
  EXPECT_EQ(after(301), " next update check: 5 min");
  EXPECT_EQ(after(-30), " next update check: 5 min");
}

TEST_F(Countdown, TimerPoll_RestartsTheCountdown) {
  start(heute, {"Refreshinterval=1"});
  after(40);
  form->UpdateTimerTimer();
  waitForPolls();
  form->updatechecktimerTimer();
  EXPECT_EQ(form->StatusPanels[2]->text(), " next update check: 60 s");
}

class PlanWatch : public Timers {
 protected:
  // Runs the event loop until the page was laid out again, at most `ms`.
  bool waitForLayout(int layouts, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (form->LayoutCount == layouts && clock.elapsed() < ms) processEvents();
    return form->LayoutCount != layouts;
  }
};

TEST_F(PlanWatch, NewExport_IsShownWithoutMovingTheCountdown) {
  start(heute);
  form->UpdateTimer->stop();
  const TDateTime letztesUpdate = form->LetztesUpdate - 36 * kSecond;
  form->LetztesUpdate = letztesUpdate;
  const int layouts = form->LayoutCount;
  db.aula[0].record.Druckdatum = "Stand 2";
  db.write(planFolder());
  ASSERT_TRUE(waitForLayout(layouts, 8000)) << "the new export was not shown";
  EXPECT_EQ(form->LetztesUpdate, letztesUpdate) << "the countdown counts to the next timer poll";
}

TEST_F(PlanWatch, InPlaceExportAfterARenamedOne_IsShownToo) {
  start(heute);
  form->UpdateTimer->stop();
  QTemporaryDir elsewhere;
  const QString plan = planFolder() + "Zova-Internet.mdb";
  const auto exported = [&](const char* druckdatum) {
    db.aula[0].record.Druckdatum = druckdatum;
    db.write(elsewhere.path());
    return elsewhere.filePath("Zova-Internet.mdb");
  };
  int layouts = form->LayoutCount;
  ASSERT_EQ(::rename(QFile::encodeName(exported("Stand 2")).constData(), QFile::encodeName(plan).constData()), 0);
  ASSERT_TRUE(waitForLayout(layouts, 8000)) << "the renamed export was not shown";
  layouts = form->LayoutCount;
  QFile next(exported("Stand 3"));
  ASSERT_TRUE(next.open(QIODevice::ReadOnly));
  QFile inPlace(plan);
  ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite | QIODevice::Truncate));  // same file, same inode
  inPlace.write(next.readAll());
  inPlace.close();
  ASSERT_TRUE(waitForLayout(layouts, 8000)) << "the in-place export after it was not shown";
  EXPECT_EQ(Plan.AktuellerTag->Druckdatum, "Stand 3");
}

TEST_F(PlanWatch, OtherFilesInThePlanFolder_StartNoPoll) {
  start(heute);
  form->UpdateTimer->stop();
  const int polls = form->PollCount;
  for (int i = 0; i < 3; ++i) {
    QFile other(planFolder() + QString("export-%1.tmp").arg(i));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("nicht der Plan");
  }
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 1500) processEvents();
  EXPECT_EQ(form->PollCount, polls);
}
