// The automatic page font (Fontsize=0): on the screens of a hall, no column
// text is cut on any day of the day list, a page holds at least twelve whole
// body rows and no part-row is painted, and the font is as large as that
// allows.
#include <QImage>
#include <QPainter>

#include "plan/PlanState.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

class AutoFont : public FormTest {
 protected:
  void start(int width, int height, int rowsToday, const QStringList& settings = {}) {
    const TDateTime heute = zdt::today();
    PlanDatabase db;
    db.aula << makeDay(heute, "Stand", heute, rowsToday) << makeDay(heute + 1, "Stand", heute, 14);
    // Tomorrow's widest text: the size must fit it already while today is shown.
    db.aula[1].rows[3].F7 = "Raumänderung wegen Sanierung der Turnhalle, bitte Aushang beachten";
    db.lehrer = db.aula;
    db.write(planFolder());
    writeSettings(QStringList{"Fontsize=0", "AutoScroll=1", "AnzeigeTage=3"} + settings);
    startForm(width, height);
    ASSERT_TRUE(Plan.AktuellerTag);
  }

  // Every body and heading text of the shown page fits its column.
  void expectNoTextCut(const char* where) {
    const QFontMetrics fm(form->Panel1->font());
    for (int row = 0; row < form->Grid->RowCount() - 1; ++row)
      for (int col = 0; col < 7; ++col) {
        const QString text = form->Grid->Cell(col, row);
        EXPECT_LE(fm.horizontalAdvance(text) + 3, form->Grid->ColWidth(col))
            << where << ": \"" << text.toStdString() << "\" in column " << col;
      }
  }

  // The rows the grid paints lie wholly inside its viewport.
  void expectOnlyWholeRowsPainted() {
    StringGrid* grid = form->Grid;
    const int limit = grid->viewport()->height();
    int painted = 0;
    grid->setDrawCell([&](QPainter&, int, int, const QRect& rect) {
      ++painted;
      EXPECT_LE(rect.top() + rect.height(), limit);
    });
    QImage image(grid->viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    grid->paintCells(painter);
    EXPECT_GT(painted, 0);
  }
};

TEST_F(AutoFont, HallScreens_NoTextCutTwelveWholeRowsAndALargerFont) {
  const int height11 = QFontMetrics(QFont("Verdana", 11)).height();
  struct Screen {
    int width, height, rowsToday;
  };
  for (const Screen screen : {Screen{1920, 1080, 45}, Screen{1280, 720, 45}, Screen{1920, 1080, 5000}}) {
    SCOPED_TRACE(testing::Message() << screen.width << "x" << screen.height << ", " << screen.rowsToday << " rows");
    start(screen.width, screen.height, screen.rowsToday);
    EXPECT_EQ(Settings.Fontsize, 0);
    EXPECT_GE(form->Grid->FittingRowCount(), TForm1::kAutoMinRows);
    EXPECT_GE(form->AnzSichtbar, TForm1::kAutoMinRows);
    expectNoTextCut("today");
    expectOnlyWholeRowsPainted();
    if (screen.width == 1920 && screen.rowsToday == 45) {
      EXPECT_GE(QFontMetrics(form->Panel1->font()).height(), 1.5 * height11);
    }
    // The header lines follow the chosen size as they follow a set one.
    EXPECT_EQ(form->Panel3->font().pointSize(), qMax(12, form->PageFontSize()));
    EXPECT_EQ(form->Panel3->font().bold(), form->Panel3->font().pointSize() <= 14);
    const int size = form->PageFontSize();
    // Tomorrow, one tick after the last page, in the same size.
    form->ShowNextTag(Plan.Tagesliste.at(1));
    EXPECT_EQ(form->PageFontSize(), size);
    expectNoTextCut("tomorrow");
    form.reset();
  }
}

TEST_F(AutoFont, SmallerWindow_FitsASmallerSizeAgain) {
  start(1920, 1080, 45);
  const int large = form->PageFontSize();
  form->resize(1280, 720);
  processEvents();
  form->Showdaten();
  EXPECT_LT(form->PageFontSize(), large);
  EXPECT_GE(form->Grid->FittingRowCount(), TForm1::kAutoMinRows);
  expectNoTextCut("after the resize");
}

TEST_F(AutoFont, PlusAndMinus_LeaveAutomaticModeFromTheSizeShown) {
  start(1280, 720, 45);
  const int shown = form->PageFontSize();
  ASSERT_GT(shown, 6);
  form->FormKeyDown(109);  // keypad minus
  EXPECT_EQ(Settings.Fontsize, qMin(shown - 1, 28));
  EXPECT_EQ(form->PageFontSize(), Settings.Fontsize);
}
