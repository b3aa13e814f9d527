// Painting both grids: white cells, grey heading and signature rows, group
// separator bands, the red bold page row, no selection mark.
#include <QApplication>
#include <QImage>

#include "plan/PlanState.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

class GridPainting : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    PlanDatabase db;
    FixtureDay day = makeDay(zdt::today(), "a", zdt::today() - 1, 4);
    day.rows[0].F1 = day.rows[1].F1 = day.rows[2].F1 = "5a";
    day.rows[3].F1 = "5b";
    db.aula << day;
    db.write(planFolder());
    writeSettings({"AutoScroll=1"});
    startForm(1000, 700);
    ASSERT_EQ(Plan.DynList.Count(), 4);
    image = form->Grid->viewport()->grab().toImage();
  }
  // The colour at the right end of a cell of column 2 (no text there).
  QColor at(int row, bool bottomEdge) const {
    const QRect r = form->Grid->cellRect(1, row);
    return image.pixelColor(r.right() - 2, bottomEdge ? r.bottom() : r.top() + r.height() / 2);
  }
  static QColor face() { return QApplication::palette().color(QPalette::Button); }
  QImage image;
};

TEST_F(GridPainting, HeadingAndSignatureRows_AreButtonFace) {
  EXPECT_EQ(at(0, false), face());
  EXPECT_EQ(at(5, false), face());
  EXPECT_EQ(at(1, false), QColor(Qt::white));
}

TEST_F(GridPainting, SeparatorBands_StandUnderEachGroupAndTheLastTwoRows) {
  EXPECT_EQ(at(0, true), face());                 // under the headings
  EXPECT_EQ(at(1, true), QColor(Qt::white));      // 5a continues
  EXPECT_EQ(at(2, true), QColor(Qt::white));
  EXPECT_EQ(at(3, true), face());                 // last row of group 5a
  EXPECT_EQ(at(4, true), face());                 // last substitution row
  EXPECT_EQ(at(5, true), face());                 // signature row
}

TEST_F(GridPainting, SeparatorBands_JoinAcrossTheColumnGap) {
  const QRect r = form->Grid->cellRect(0, 3);
  EXPECT_EQ(image.pixelColor(r.right() + 1, r.bottom()), face());
  EXPECT_EQ(image.pixelColor(r.right() + 1, r.bottom() + 1), face());
}

TEST_F(GridPainting, PageRow_IsRedAndBold) {
  const QImage info = form->Grid2->viewport()->grab().toImage();
  const QRect pageRow = form->Grid2->cellRect(0, form->Seitenzeile);
  bool red = false;
  for (int x = pageRow.left(); x <= pageRow.right() && !red; ++x)
    for (int y = pageRow.top(); y <= pageRow.bottom() && !red; ++y) {
      const QColor c = info.pixelColor(x, y);
      red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
    }
  EXPECT_TRUE(red) << "no red text in the page row";
  const QRect listRow = form->Grid2->cellRect(1, 0);
  for (int x = listRow.left(); x <= listRow.right(); ++x)
    for (int y = listRow.top(); y <= listRow.bottom(); ++y) {
      const QColor c = info.pixelColor(x, y);
      ASSERT_FALSE(c.red() > 200 && c.green() < 80) << "red text in a list row";
    }
}

