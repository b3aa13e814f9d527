// Automatic paging through pages and days, the header colour of each day's
// position, and manual paging with the wheel and the page keys.
#include <QApplication>
#include <QWheelEvent>

#include "plan/PlanState.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

class AutoPaging : public FormTest {
 protected:
  // Writes one day per entry (today, tomorrow, ...; each with that many
  // rows) for both audiences and starts the monitor with `autoScroll`.
  void start(const QVector<int>& rowsPerDay, bool autoScroll = true, int visibleRows = 10) {
    heute = zdt::today();
    for (int i = 0; i < rowsPerDay.size(); ++i)
      db.aula << makeDay(heute + i, QString("Stand %1").arg(i), heute - 1, rowsPerDay[i]);
    db.lehrer = db.aula;
    db.write(planFolder());
    writeSettings({QString("AutoScroll=%1").arg(autoScroll ? 1 : 0),
                   QString("AnzeigeTage=%1").arg(rowsPerDay.size())});
    startForm(1000, 600);
    fitVisibleRows(visibleRows);
    ASSERT_TRUE(Plan.AktuellerTag);
    ASSERT_EQ(Plan.AktuellerTag->Datum, heute);
  }
  TDateTime shownDay() const { return Plan.AktuellerTag ? Plan.AktuellerTag->Datum - heute : -1; }
  QString pageRow() const { return form->Grid2->Cell(0, form->Seitenzeile); }
  QColor headerColour() const { return form->Panel3->color(); }
  void wheel(QWidget* target, int delta) {
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
  }

  TDateTime heute = 0;
  PlanDatabase db;
};

TEST_F(AutoPaging, TwoOnePageDays_AlternateWithTheColoursOfTheirPositions) {
  start({5, 4});
  EXPECT_EQ(headerColour(), TForm1::Headerfarbe(0));
  EXPECT_EQ(pageRow(), "Seite 1 von 1");
  for (int tick = 0; tick < 4; ++tick) {
    form->ScrollTimerTimer();
    const int expected = tick % 2 == 0 ? 1 : 0;
    EXPECT_EQ(shownDay(), expected) << "tick " << tick;
    EXPECT_EQ(headerColour(), TForm1::Headerfarbe(expected)) << "tick " << tick;
    EXPECT_EQ(pageRow(), "Seite 1 von 1");
  }
}

TEST_F(AutoPaging, OneDayOfThreePages_CyclesItsPagesWithoutRelayout) {
  start({25});
  const int layouts = form->LayoutCount;
  const QStringList expected = {"Seite 2 von 3", "Seite 3 von 3", "Seite 1 von 3", "Seite 2 von 3"};
  const QList<int> topRows = {11, 21, 1, 11};
  for (int tick = 0; tick < 4; ++tick) {
    form->ScrollTimerTimer();
    EXPECT_EQ(pageRow(), expected[tick]);
    EXPECT_EQ(form->Grid->TopRow(), topRows[tick]);
  }
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(shownDay(), 0);
}

TEST_F(AutoPaging, ThreeDays_WrapFromTheLastToTheFirst) {
  start({3, 3, 3});
  form->ScrollTimerTimer();
  form->ScrollTimerTimer();
  EXPECT_EQ(shownDay(), 2);
  EXPECT_EQ(headerColour(), TForm1::Headerfarbe(2));
  form->ScrollTimerTimer();
  EXPECT_EQ(shownDay(), 0);
  EXPECT_EQ(headerColour(), TForm1::Headerfarbe(0));
}

TEST_F(AutoPaging, TwentyRowsTenVisible_LeaveTheDayAfterPage2) {
  start({20, 3});
  EXPECT_EQ(pageRow(), "Seite 1 von 2");
  form->ScrollTimerTimer();
  EXPECT_EQ(shownDay(), 0);
  EXPECT_EQ(pageRow(), "Seite 2 von 2");
  EXPECT_EQ(form->Grid->TopRow(), 11);
  form->ScrollTimerTimer();
  EXPECT_EQ(shownDay(), 1);
  EXPECT_EQ(form->AktSeite, 1);
  EXPECT_EQ(form->Grid->TopRow(), 1);
}

TEST_F(AutoPaging, DayWithoutRows_CountsAsOnePage) {
  start({0, 3});
  EXPECT_EQ(form->Grid2->Cell(1, form->Seitenzeile), "vorläufig keine Vertretungen");
  form->ScrollTimerTimer();
  EXPECT_EQ(shownDay(), 1);
}

TEST_F(AutoPaging, OnlyDayOfOnePage_StaysWithoutRelayout) {
  start({4});
  const int layouts = form->LayoutCount;
  form->ScrollTimerTimer();
  form->ScrollTimerTimer();
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(shownDay(), 0);
}

TEST_F(AutoPaging, NoDayShown_TheNextTickShowsTheFirstDayOfTheList) {
  start({25, 3});
  form->ScrollTimerTimer();  // page 2 of 3: the blank page must not be paged on
  form->Datenloeschen();
  ASSERT_FALSE(Plan.AktuellerTag);
  form->ScrollTimerTimer();
  EXPECT_EQ(shownDay(), 0);
  EXPECT_EQ(pageRow(), "Seite 1 von 3");
}

TEST_F(AutoPaging, DayPickedByHand_IsLeftForTheFirstDayOfTheList) {
  start({3, 3, 3});
  form->DBox->setCurrentIndex(2);
  form->DBoxChange();
  Plan.Tagesliste.removeLast();  // the picked day is not in the list
  EXPECT_EQ(form->NextTag(), Plan.Tagesliste.first());
}

TEST_F(AutoPaging, PollWithAChangeOnPage3_RestartsAtPage1WithTheNextPositionsColour) {
  start({25, 3});
  form->ScrollTimerTimer();
  form->ScrollTimerTimer();
  ASSERT_EQ(pageRow(), "Seite 3 von 3");
  db.aula[0].record.Druckdatum = "neu";
  db.lehrer = db.aula;
  db.write(planFolder());
  pollNewExport();
  EXPECT_EQ(shownDay(), 0);
  EXPECT_EQ(pageRow(), "Seite 1 von 3");
  EXPECT_EQ(form->Grid->TopRow(), 1);
  EXPECT_EQ(headerColour(), TForm1::Headerfarbe(1));
}

TEST_F(AutoPaging, AutomaticMode_IgnoresWheelAndPageKeys) {
  start({25});
  form->FormKeyDown(34);
  wheel(form->Grid->viewport(), -120);
  wheel(form->Label1, -120);
  EXPECT_EQ(form->Grid->TopRow(), 1);
  EXPECT_EQ(form->Grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(AutoPaging, ManualMode_WheelPagesWithoutWrapping) {
  start({25}, false);
  QWidget* grid = form->Grid->viewport();
  QList<int> tops;
  for (int i = 0; i < 3; ++i) {
    wheel(grid, -120);
    tops << form->Grid->TopRow();
  }
  for (int i = 0; i < 3; ++i) {
    wheel(grid, 120);
    tops << form->Grid->TopRow();
  }
  EXPECT_EQ(tops, QList<int>({11, 21, 21, 11, 1, 1}));
  EXPECT_EQ(form->AktSeite, 1);  // manual paging leaves the page row alone
  EXPECT_EQ(pageRow(), "");
}

TEST_F(AutoPaging, ManualMode_PageKeysPage) {
  start({25}, false);
  form->FormKeyDown(34);
  form->FormKeyDown(34);
  EXPECT_EQ(form->Grid->TopRow(), 21);
  form->FormKeyDown(33);
  EXPECT_EQ(form->Grid->TopRow(), 11);
}

TEST_F(AutoPaging, WheelDownOverTheHeader_PagesOnceWheelUpDoesNot) {
  start({25}, false);
  wheel(form->Label1, -120);
  EXPECT_EQ(form->Grid->TopRow(), 11);
  wheel(form->Label1, 120);
  EXPECT_EQ(form->Grid->TopRow(), 11);
}

TEST_F(AutoPaging, ManualModeWithAllRowsVisible_WheelAndKeysDoNothing) {
  start({8}, false);
  wheel(form->Grid->viewport(), -120);
  form->FormKeyDown(34);
  EXPECT_EQ(form->Grid->TopRow(), 1);
}
