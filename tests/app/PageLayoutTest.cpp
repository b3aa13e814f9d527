// Laying out a plan page: header texts, the wrapped lists, column widths,
// grouping, paging, the notice panel's height and the header fonts.
#include <QFontMetrics>

#include "plan/PlanState.h"
#include "richtext/RichEdit.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

class PageLayout : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    PlanDatabase db;
    db.aula << makeDay(zdt::today(), "09.12.2026 07:45", zdt::today() + zdt::encodeTime(7, 45), 3);
    db.write(planFolder());
    writeSettings();
    startForm(1000, 700);
    ASSERT_TRUE(Plan.AktuellerTag);
  }
  TStatItem& tag() { return *Plan.AktuellerTag; }
  void rows(const QStringList& firstColumn) {
    Plan.DynList.Clear();
    for (const QString& f1 : firstColumn) {
      auto row = std::make_shared<TDynItem>();
      row->F1 = f1;
      row->F2 = "1";
      Plan.DynList.Add(row);
    }
  }
  QFontMetrics pageMetrics() const { return QFontMetrics(form->Panel1->font()); }
  int columnSum() const {
    int sum = 0;
    for (int i = 1; i <= 7; ++i) sum += form->Spaltenbreiten[i];
    return sum;
  }
};

TEST_F(PageLayout, DateLabel_SaysTodayOrTomorrow) {
  tag().Datumlang = "9. Dezember 2026";
  form->Showdaten();
  EXPECT_EQ(form->Label2->text(), "Heute 9. Dezember 2026");
  tag().Datum = zdt::today() + 1;
  form->Showdaten();
  EXPECT_EQ(form->Label2->text(), "Morgen 9. Dezember 2026");
  tag().Datum = zdt::today() + 2;
  form->Showdaten();
  EXPECT_EQ(form->Label2->text(), "9. Dezember 2026");
  EXPECT_EQ(form->Label1->text(), tag().Ueberschrift);
  EXPECT_EQ(form->Label3->text(), tag().Schulname);
  EXPECT_EQ(form->Label5->text(), tag().Aushangort);
}

TEST_F(PageLayout, LastChangeLabel_SaysTodayOrYesterdayAgainstLastDate) {
  tag().DruckZeit = form->LastDate + zdt::encodeTime(7, 5);
  form->Showdaten();
  EXPECT_EQ(form->Label6->text(), "Letzte Änderung: Heute 07:05 Uhr");
  tag().DruckZeit = form->LastDate - 1 + zdt::encodeTime(16, 30);
  form->Showdaten();
  EXPECT_EQ(form->Label6->text(), "Letzte Änderung: Gestern 16:30 Uhr");
  tag().DruckZeit = form->LastDate - 2 + zdt::encodeTime(16, 30);
  form->Showdaten();
  EXPECT_EQ(form->Label6->text(), "09.12.2026 07:45");
}

TEST_F(PageLayout, Blinking_OnlyWhileTheChangeIsRecent) {
  tag().DruckZeit = zdt::now() - 2.0 / 24;
  form->Showdaten();
  EXPECT_TRUE(form->BlinkActive);
  tag().DruckZeit = zdt::now() - 3.0 / 24;
  form->Showdaten();
  EXPECT_FALSE(form->BlinkActive);
  EXPECT_FALSE(form->Label6->font().bold());
}

TEST_F(PageLayout, NoListShown_LeavesOnlyThePageRow) {
  Settings.ShowAKlassen = Settings.ShowALehrer = Settings.ShowAKurse = false;
  Settings.ShowARaeume = Settings.ShowBKlassen = Settings.ShowBLehrer = false;
  form->Showdaten();
  EXPECT_EQ(form->Grid2->RowCount(), 1);
  EXPECT_EQ(form->Grid2->height(), pageMetrics().height() + 4);
}

TEST_F(PageLayout, Lists_AreWrappedUnderTheirCaptions) {
  tag().AbwKlassen = QStringList(40, "10b").join(", ");
  tag().AbwLehrer = "   ";
  tag().FehlRaeume = "R 101";
  Settings.ShowALehrer = Settings.ShowARaeume = Settings.ShowAKlassen = true;
  Settings.ShowAKurse = Settings.ShowBKlassen = Settings.ShowBLehrer = false;
  form->Showdaten();
  const int klassenLines = form->Grid2->RowCount() - 2;  // minus Fehlende Räume and the page row
  ASSERT_GE(klassenLines, 2);
  EXPECT_EQ(form->Grid2->Cell(0, 0), "Abwesende Klassen:");
  EXPECT_EQ(form->Grid2->Cell(0, 1), "");
  // A list of blanks gives no lines; its caption is overwritten by the next.
  EXPECT_EQ(form->Grid2->Cell(0, klassenLines), "Fehlende Räume:");
  EXPECT_EQ(form->Grid2->Cell(1, klassenLines), "R 101");
  EXPECT_EQ(form->Seitenzeile, form->Grid2->RowCount() - 1);
}

TEST(WrapListe, ItemsKeepTheirCommaAndLinesFitTheWidth) {
  const QFont font("Verdana", 11);
  const QFontMetrics fm(font);
  EXPECT_EQ(TForm1::WrapListe(" 5a, 5b,6c \n", 10000, font), QStringList{"5a, 5b, 6c"});
  EXPECT_EQ(TForm1::WrapListe("5a, 5b,6c", fm.horizontalAdvance("5a, 5b,"), font),
            (QStringList{"5a, 5b,", "6c"}));
  EXPECT_EQ(TForm1::WrapListe("5a, 5b,6c", 0, font), (QStringList{"5a,", "5b,", "6c"}));
  EXPECT_EQ(TForm1::WrapListe("Sehr-langer-Kursname, x", 5, font), (QStringList{"Sehr-langer-Kursname,", "x"}));
  EXPECT_TRUE(TForm1::WrapListe("  \t ", 100, font).isEmpty());
  EXPECT_EQ(TForm1::WrapListe("a,,b", 1000, font), (QStringList{"a, , b"}));
}

TEST_F(PageLayout, ColumnWidths_AddUpExactlyToTheAvailableWidth) {
  Settings.AutoScroll = false;
  form->Showdaten();
  EXPECT_EQ(columnSum(), form->Grid->width() - 22);
  for (int i = 1; i <= 7; ++i) EXPECT_GT(form->Spaltenbreiten[i], 0);
  Settings.AutoScroll = true;
  form->Showdaten();
  EXPECT_EQ(columnSum(), form->Grid->width() - 2);
  // Growth is proportional: the wider heading gets the wider column.
  EXPECT_GT(form->Spaltenbreiten[7], form->Spaltenbreiten[2]);
}

TEST_F(PageLayout, ContentWiderThanTheGrid_NarrowsTheLastColumnDownToZero) {
  rows({"5a"});
  Plan.DynList.Items(0)->F7 = QString(400, 'W');
  form->Showdaten();
  EXPECT_EQ(columnSum(), form->Grid->width() - 22);
  Plan.DynList.Items(0)->F1 = QString(400, 'W');
  form->Showdaten();
  EXPECT_EQ(form->Spaltenbreiten[7], 0);
}

TEST_F(PageLayout, RepeatedFirstColumn_IsLeftBlank) {
  rows({"5a", "5a", "5b", "5A"});
  form->Showdaten();
  EXPECT_EQ(form->Grid->Cell(0, 1), "5a");
  EXPECT_EQ(form->Grid->Cell(0, 2), "");
  EXPECT_EQ(form->Grid->Cell(0, 3), "5b");
  EXPECT_EQ(form->Grid->Cell(0, 4), "5A");  // case-sensitive
  EXPECT_EQ(form->Grid->Cell(1, 2), "1");
  EXPECT_EQ(form->Grid->RowCount(), 6);
  EXPECT_EQ(form->Grid->Cell(6, 5), "gez. Schulleitung");
  EXPECT_EQ(form->Grid->Cell(0, 0), "Klasse");
}

TEST(PageCount, CountsWholePagesOfVisibleRows) {
  EXPECT_EQ(TForm1::PageCount(0, 10), 1);
  EXPECT_EQ(TForm1::PageCount(10, 10), 1);
  EXPECT_EQ(TForm1::PageCount(11, 10), 2);
  EXPECT_EQ(TForm1::PageCount(20, 10), 2);
  EXPECT_EQ(TForm1::PageCount(25, 10), 3);
  EXPECT_EQ(TForm1::PageCount(3, 1), 3);
}

TEST_F(PageLayout, VisibleRows_FollowTheGridsRealHeight) {
  rows(QStringList(60, "x"));
  form->Showdaten();
  const int pitch = form->Grid->DefaultRowHeight() + 1;
  const int bodyHeight = form->Grid->height() - pitch;  // minus the heading row
  EXPECT_EQ(form->AnzSichtbar, bodyHeight / pitch);
  EXPECT_EQ(form->AnzSeiten, TForm1::PageCount(60, form->AnzSichtbar));
  EXPECT_EQ(form->AnzZeilen, 60);
}

TEST_F(PageLayout, WindowTooSmallForOneRow_CountsOneRowPerPage) {
  rows({"a", "b", "c"});
  form->resize(400, 120);
  form->Showdaten();
  EXPECT_EQ(form->Grid->VisibleRowCount(), 0);
  EXPECT_EQ(form->AnzSichtbar, 1);
  EXPECT_EQ(form->AnzSeiten, 3);
}

TEST_F(PageLayout, PageRow_OnlyInAutomaticMode) {
  rows(QStringList(60, "x"));
  Settings.AutoScroll = false;
  form->Showdaten();
  EXPECT_EQ(form->Grid2->Cell(0, form->Seitenzeile), "");
  EXPECT_EQ(form->Grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(form->ScrollTimer->isActive());
  Settings.AutoScroll = true;
  form->Showdaten();
  EXPECT_EQ(form->Grid2->Cell(0, form->Seitenzeile), QString("Seite 1 von %1").arg(form->AnzSeiten));
  EXPECT_EQ(form->Grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(form->ScrollTimer->isActive());
  EXPECT_EQ(form->Grid->TopRow(), 1);
  EXPECT_EQ(form->AktSeite, 1);
}

TEST_F(PageLayout, NoRows_HidesTheTableAndSaysSo) {
  Plan.DynList.Clear();
  form->Showdaten();
  EXPECT_TRUE(form->Grid->isHidden());
  EXPECT_EQ(form->Grid2->Cell(1, form->Seitenzeile), "vorläufig keine Vertretungen");
  EXPECT_EQ(form->AnzSeiten, 1);
}

TEST_F(PageLayout, NoticePanel_FollowsTheNoticeHeightUpToAThirdOfTheWindow) {
  tag().BitteRTF.clear();
  form->Showdaten();
  EXPECT_EQ(form->Panel2->height(), 1);
  tag().BitteRTF = "Eine Zeile.";
  form->Showdaten();
  EXPECT_EQ(form->Panel2->height(), form->RichEdit1->requestedRect().bottom() + 4);
  EXPECT_EQ(form->RichEdit1->width(), form->Grid2->ColWidth(1));
  tag().BitteRTF = "{\\rtf1\\ansi " + QString("Zeile\\par ").repeated(80) + "}";
  form->Showdaten();
  EXPECT_EQ(form->Panel2->height(), form->height() / 3);
}

TEST_F(PageLayout, HeaderFonts_FollowFontsizeWithTheirMinimums) {
  Settings.Fontsize = 8;
  form->CheckHeaderPanels();
  EXPECT_EQ(form->Panel3->font().pointSize(), 12);
  EXPECT_TRUE(form->Panel3->font().bold());
  EXPECT_EQ(form->Panel6->font().pointSize(), 10);
  Settings.Fontsize = 20;
  form->CheckHeaderPanels();
  EXPECT_EQ(form->Panel3->font().pointSize(), 20);
  EXPECT_FALSE(form->Panel3->font().bold());
  EXPECT_EQ(form->Panel6->font().pointSize(), 18);
  EXPECT_EQ(form->Panel7->font().pointSize(), 18);
  EXPECT_EQ(form->Panel6->height(), QFontMetrics(form->Panel6->font()).height() + 2);
}

TEST_F(PageLayout, Resize_HidesTheTableAndRelaysOutAtTheNextTick) {
  const int before = form->LayoutCount;
  form->resize(900, 650);
  EXPECT_TRUE(Plan.NeuAufbau);
  EXPECT_TRUE(form->Grid->isHidden());
  form->resize(910, 660);
  form->updatechecktimerTimer();
  EXPECT_FALSE(Plan.NeuAufbau);
  EXPECT_FALSE(form->Grid->isHidden());
  EXPECT_EQ(form->LayoutCount, before + 1);  // two resizes, one layout
  form->updatechecktimerTimer();
  EXPECT_EQ(form->LayoutCount, before + 1);
}
