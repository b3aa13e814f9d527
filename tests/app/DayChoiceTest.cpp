// Which day is shown: the chooser's fall-back order, the audience switch,
// and the day list of automatic mode with its evening cut-off.
#include <QLocale>

#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

namespace {

const TDateTime kMonday = zdt::encode(2026, 12, 7);

TStatItemRef record(TDateTime datum, TDateTime druckZeit = 0) {
  auto item = std::make_shared<TStatItem>();
  item->Datum = datum;
  item->DruckZeit = druckZeit;
  return item;
}

void fill(TStatList& list, std::initializer_list<TDateTime> days) {
  list.Clear();
  for (TDateTime d : days) list.Add(record(d));
}

}  // namespace

class DayChoice : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    writeSettings({}, "/nonexistent/");  // the lists are filled by hand
    form = std::make_unique<TForm1>();
  }
  // Builds the chooser at the given moment, nothing shown before.
  TDateTime chosenAt(TDateTime now) {
    zdt::setFixedNow(now);
    Plan.AktuellerTag.reset();
    form->BuildDBox();
    return Plan.AktuellerTag ? Plan.AktuellerTag->Datum : -1;
  }
};

TEST_F(DayChoice, Wednesday_ChoosesToday) {
  fill(Plan.StatListAula, {kMonday + 7, kMonday, kMonday + 1, kMonday + 2, kMonday + 3, kMonday + 4});
  EXPECT_EQ(chosenAt(kMonday + 2 + 0.4), kMonday + 2);
  EXPECT_EQ(form->DBox->count(), 6);
  EXPECT_EQ(form->DBoxRecord(form->DBox->currentIndex()), Plan.AktuellerTag);
  EXPECT_EQ(form->DBoxRecord(0)->Datum, kMonday);  // sorted
}

TEST_F(DayChoice, Saturday_ChoosesNextMondayElseTheLatestDay) {
  fill(Plan.StatListAula, {kMonday, kMonday + 1, kMonday + 2, kMonday + 3, kMonday + 4, kMonday + 7});
  EXPECT_EQ(chosenAt(kMonday + 5 + 0.5), kMonday + 7);
  fill(Plan.StatListAula, {kMonday, kMonday + 1, kMonday + 2, kMonday + 3, kMonday + 4});
  EXPECT_EQ(chosenAt(kMonday + 5 + 0.5), kMonday + 4);
}

TEST_F(DayChoice, EmptyList_ChoosesNothing) {
  Plan.StatListAula.Clear();
  EXPECT_EQ(chosenAt(kMonday), -1);
  EXPECT_EQ(form->DBox->count(), 0);
}

TEST_F(DayChoice, Reload_KeepsTheShownDateWhenItStillExists) {
  fill(Plan.StatListAula, {kMonday, kMonday + 1, kMonday + 2});
  zdt::setFixedNow(kMonday + 0.4);
  Plan.AktuellerTag = Plan.StatListAula.Items(2);
  fill(Plan.StatListAula, {kMonday, kMonday + 1, kMonday + 2});  // a reload: new records
  form->BuildDBox();
  EXPECT_EQ(Plan.AktuellerTag->Datum, kMonday + 2);
  EXPECT_EQ(Plan.AktuellerTag, Plan.StatListAula.Items(2));
}

// The audience switch reads the day's rows, so it runs on a real database.
class AudienceSwitch : public DayChoice {
 protected:
  void load(std::initializer_list<TDateTime> pupils, std::initializer_list<TDateTime> teachers) {
    PlanDatabase db;
    for (TDateTime d : pupils) db.aula << makeDay(d, "a", d, 2);
    for (TDateTime d : teachers) db.lehrer << makeDay(d, "l", d, 3);
    db.write(planFolder());
    Settings.Datenpfad = planFolder();
    DM->FollowPlanFile();
    DM->PlanCopy.refreshAndWait();
    zdt::setFixedNow(kMonday + 0.4);
    form->RadioButton4->setChecked(true);  // teachers
    EXPECT_EQ(Plan.AktuellerTyp, 1);
    form->GetDaten();
    Plan.AktuellerTag = Plan.StatListLehrer.Items(1);  // teachers' Thursday on screen
  }
};

TEST_F(AudienceSwitch, KeepsTheDateWhenTheOtherAudienceHasIt) {
  load({kMonday, kMonday + 3}, {kMonday, kMonday + 3});
  form->RadioButton3->setChecked(true);
  EXPECT_EQ(Plan.AktuellerTyp, 0);
  EXPECT_EQ(Settings.LastTyp, 0);
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_EQ(Plan.AktuellerTag, Plan.StatListAula.FindByDate(kMonday + 3));
  EXPECT_EQ(Plan.DynList.Count(), 2);  // the pupils' rows of that day
  EXPECT_EQ(form->Grid->Cell(0, 0), "Klasse");
}

TEST_F(AudienceSwitch, FallsBackToTodayWithoutTheSameDate) {
  load({kMonday, kMonday + 1}, {kMonday, kMonday + 3});
  form->RadioButton3->setChecked(true);
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_EQ(Plan.AktuellerTag->Datum, kMonday);
}

TEST_F(AudienceSwitch, CheckingTheButtonOfTheShownAudience_DoesNothing) {
  load({kMonday, kMonday + 3}, {kMonday, kMonday + 3});
  const int layouts = form->LayoutCount;
  form->RadioButton4->setChecked(true);
  form->RadioButton4Click();
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(Plan.AktuellerTag, Plan.StatListLehrer.Items(1));
}

TEST_F(DayChoice, ChooserText_HasGermanWeekdaysWhateverTheSystemLocale) {
  const TDateTime monday = zdt::encode(2011, 11, 14);
  EXPECT_EQ(TForm1::DBoxText(monday, QLocale(QLocale::German, QLocale::Germany)), "Mo, 14.11.11");
  EXPECT_EQ(TForm1::DBoxText(monday, QLocale(QLocale::German, QLocale::Austria)), "Mo, 14.11.11");
  EXPECT_EQ(TForm1::DBoxText(monday + 2, QLocale(QLocale::English, QLocale::UnitedStates)), "Mi, 16.11.11");
  EXPECT_EQ(TForm1::DBoxText(monday + 6, QLocale::c()), "So, 20.11.11");
}

class DayList : public DayChoice {
 protected:
  const TDateTime kFriday = kMonday + 4;
  QList<TDateTime> days() const {
    QList<TDateTime> out;
    for (const auto& r : Plan.Tagesliste) out << r->Datum;
    return out;
  }
};

TEST_F(DayList, Friday_TakesFridayAndMondaySkippingTheWeekend) {
  Settings.AnzeigeTage = 2;
  Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  fill(Plan.StatListAula, {kFriday, kFriday + 3});
  zdt::setFixedNow(kFriday + zdt::encodeTime(9, 0));
  form->BuildTagesliste();
  EXPECT_EQ(days(), (QList<TDateTime>{kFriday, kFriday + 3}));
}

TEST_F(DayList, ComesFromTheInfoTypAudienceAndStopsAtAnzeigeTage) {
  Settings.AnzeigeTage = 5;
  Settings.InfoTyp = 1;
  fill(Plan.StatListAula, {kMonday, kMonday + 1, kMonday + 2});
  fill(Plan.StatListLehrer, {kMonday + 1, kMonday + 2});
  zdt::setFixedNow(kMonday + 0.3);
  form->BuildTagesliste();
  EXPECT_EQ(days(), (QList<TDateTime>{kMonday + 1, kMonday + 2}));
  EXPECT_EQ(Plan.Tagesliste.first(), Plan.StatListLehrer.Items(0));
}

TEST_F(DayList, LooksAtMostTwentyCalendarDaysAhead) {
  Settings.AnzeigeTage = 7;
  fill(Plan.StatListAula, {kMonday + 19, kMonday + 20});
  zdt::setFixedNow(kMonday + 0.3);
  form->BuildTagesliste();
  EXPECT_EQ(days(), (QList<TDateTime>{kMonday + 19}));
}

TEST_F(DayList, TodayIsDroppedAfterHaltbarkeit) {
  Settings.AnzeigeTage = 2;
  Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  Plan.StatListAula.Clear();
  Plan.StatListAula.Add(record(kMonday, kMonday + zdt::encodeTime(8, 0)));
  Plan.StatListAula.Add(record(kMonday + 1));
  zdt::setFixedNow(kMonday + zdt::encodeTime(18, 0));
  form->BuildTagesliste();
  EXPECT_EQ(days().size(), 2);  // not later than 18:00 yet
  zdt::setFixedNow(kMonday + zdt::encodeTime(18, 1));
  form->CheckAnzList();
  EXPECT_EQ(days(), (QList<TDateTime>{kMonday + 1}));
  form->CheckAnzList();
  EXPECT_EQ(days().size(), 1);  // the last day is never dropped
}

TEST_F(DayList, LateChange_KeepsTodayUntilAnHourAfterIt) {
  Settings.AnzeigeTage = 2;
  Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  Plan.StatListAula.Clear();
  // Changed at 17:30 on some earlier date: only the time of day counts.
  Plan.StatListAula.Add(record(kMonday, kMonday - 3 + zdt::encodeTime(17, 30)));
  Plan.StatListAula.Add(record(kMonday + 1));
  zdt::setFixedNow(kMonday + zdt::encodeTime(18, 29));
  form->BuildTagesliste();
  EXPECT_EQ(days().size(), 2);
  zdt::setFixedNow(kMonday + zdt::encodeTime(18, 31));
  form->CheckAnzList();
  EXPECT_EQ(days().size(), 1);
}

TEST_F(DayList, ChangeAt2320_KeepsTodayAllDay) {
  Settings.AnzeigeTage = 2;
  Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  Plan.StatListAula.Clear();
  Plan.StatListAula.Add(record(kMonday, kMonday - 1 + zdt::encodeTime(23, 20)));
  Plan.StatListAula.Add(record(kMonday + 1));
  zdt::setFixedNow(kMonday + zdt::encodeTime(23, 59, 59));
  form->BuildTagesliste();
  EXPECT_EQ(days().size(), 2);
}
