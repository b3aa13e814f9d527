// Paging through the substitution table: automatic paging with the day
// step of automatic mode, and manual paging with the wheel and the page keys.
//
// A page is a run of AnzSichtbar body rows: page k starts at grid row
// 1 + (k - 1) * AnzSichtbar. Every page layout starts on page 1; automatic
// mode moves on one page per ScrollTimer tick and, after the last page, to
// the next day of Tagesliste (wrapping to its first day).
#include <cassert>

#include "app/TForm1.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"

TStatItemRef TForm1::NextTag() {
  if (Plan.Tagesliste.isEmpty()) return nullptr;
  // -1 when the shown day is not in the list: a day picked by hand, or today
  // after CheckAnzList dropped it. The next day is then the first one.
  int position = static_cast<int>(Plan.Tagesliste.indexOf(Plan.AktuellerTag));
  if (position == 0 && Plan.Tagesliste.size() == 1) return nullptr;  // the only day is on screen
  ++position;
  if (position >= Plan.Tagesliste.size()) position = 0;
  // The colour of the next day's position, also when this tick stays on the
  // current day; it reaches the header at the next layout.
  HeaderColor = Headerfarbe(position);
  LabelBlinking(false);
  return Plan.Tagesliste.at(position);
}

void TForm1::ShowNextTag(const TStatItemRef& tag) {
  Plan.AktuellerTag = tag;
  Datenanzeigen();
}

void TForm1::ScrollTimerTimer() {
  CheckAnzList();
  const TStatItemRef next = NextTag();
  // A day that fits one page, or has no rows at all, stays for one tick.
  if (AnzSeiten == 1) {
    if (next) ShowNextTag(next);
    return;
  }
  if (AnzZeilen <= AnzSichtbar) return;
  int topRow = AnzSichtbar + Grid->TopRow();
  ++AktSeite;
  if (topRow > AnzZeilen) {
    // The last page was on screen: the next day starts at its page 1;
    // without one, the same day starts again.
    if (next) {
      ShowNextTag(next);
      return;
    }
    topRow = 1;
    AktSeite = 1;
  }
  Grid->setTopRow(topRow);
  Grid2->setCell(0, Seitenzeile, PageRowText());
}

QString TForm1::PageRowText() const { return QStringLiteral("Seite %1 von %2").arg(AktSeite).arg(AnzSeiten); }

void TForm1::GridPageDown() {
  if (Settings.AutoScroll || AnzZeilen <= AnzSichtbar) return;
  const int topRow = Grid->TopRow() + AnzSichtbar;
  if (topRow <= AnzZeilen) Grid->setTopRow(topRow);  // no wrap at the end
}

void TForm1::GridPageUp() {
  if (Settings.AutoScroll || AnzZeilen <= AnzSichtbar) return;
  Grid->setTopRow(qMax(1, Grid->TopRow() - AnzSichtbar));
}

void TForm1::ShowPage(int page) {
  assert(page >= 1 && page <= AnzSeiten);
  // Automatic paging moves the top row by AnzSichtbar rows per tick, from
  // row 1; a day that fits one page is never moved.
  if (AnzZeilen <= AnzSichtbar) return;
  Grid->setTopRow(1 + (page - 1) * AnzSichtbar);
  // In manual mode the page row stays empty, whatever the top row.
  if (!Settings.AutoScroll) return;
  AktSeite = page;
  Grid2->setCell(0, Seitenzeile, PageRowText());
}

void TForm1::GridMouseWheelDown(bool& handled) {
  GridPageDown();
  handled = true;
}

void TForm1::GridMouseWheelUp(bool& handled) {
  GridPageUp();
  handled = true;
}

void TForm1::FormMouseWheelDown(bool& handled) {
  GridPageDown();
  handled = true;
}
