// Laying out one plan page: header lines, the wrapped lists of Grid2, the
// notice, and the substitution table with its column widths and paging.
//
// A page is always rebuilt whole from AktuellerTag and DynList and starts
// on page 1; painting is suspended on the plan area while it is filled, so a
// half-built page never shows.
#include <QFontMetrics>
#include <QHash>
#include <cassert>

#include <algorithm>

#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/LoadRichText.h"
#include "plan/PlanState.h"
#include "richtext/RichEdit.h"
#include "settings/SettingsValues.h"

namespace {

// Removes leading and trailing blanks and control characters.
QString trimmed(const QString& text) {
  int begin = 0;
  int end = text.size();
  while (begin < end && text[begin].unicode() <= 32) ++begin;
  while (end > begin && text[end - 1].unicode() <= 32) --end;
  return text.mid(begin, end - begin);
}

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

}  // namespace

void TForm1::setPanelHeight(QWidget* panel, int height) {
  if (panel->height() == height) return;
  panel->resize(panel->width(), height);
  if (auto* owner = qobject_cast<AlignPanel*>(panel->parentWidget())) owner->realign();
}

void TForm1::ClearGrid(StringGrid* grid) { grid->clearCells(); }

int TForm1::PageCount(int rows, int visible) {
  assert(visible >= 1);
  const int pages = (rows - 1) / visible + 1;  // truncates towards zero: 0 rows give 1
  return pages < 1 ? 1 : pages;
}

QStringList TForm1::WrapListe(const QString& text, int width, const QFont& font) {
  const QFontMetrics fm(font);
  QStringList items;
  QString rest = trimmed(text);
  while (!rest.isEmpty()) {
    const int comma = rest.indexOf(QLatin1Char(','));
    if (comma < 0) {
      items << rest;
      break;
    }
    items << rest.left(comma + 1);  // the item keeps its comma
    rest = trimmed(rest.mid(comma + 1));
  }
  QStringList lines;
  QString line;
  for (const QString& item : items) {
    if (line.isEmpty()) {
      line = item;
    } else if (fm.horizontalAdvance(line + QLatin1Char(' ') + item) > width) {
      lines << line;
      line = item;
    } else {
      line += QLatin1Char(' ') + item;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

void TForm1::AddInfoZeilen(const QString& liste, const QString& caption) {
  if (liste.isEmpty()) return;
  const QStringList lines = WrapListe(liste, m_infoColumnWidth, Panel1->font());
  Grid2->setRowCount(Grid2->RowCount() + static_cast<int>(lines.size()));
  Grid2->setCell(0, m_gridCursor, caption);
  for (const QString& line : lines) {
    Grid2->setCell(1, m_gridCursor, line);
    ++m_gridCursor;
  }
}

void TForm1::CalcSpaltenbreiten(const QFont& font, int gridWidth) {
  const QFontMetrics fm(font);
  // Plan columns repeat a handful of values (classes, lessons, rooms): each
  // distinct text is measured once per layout.
  QHash<QString, int> measured;
  auto width = [&](const QString& text) {
    auto it = measured.constFind(text);
    if (it == measured.constEnd()) it = measured.insert(text, fm.horizontalAdvance(text));
    return *it;
  };
  const int available = Settings.AutoScroll ? gridWidth - 2 : gridWidth - 22;
  qint64 w[8] = {};
  for (int i = 1; i <= 7; ++i) w[i] = width(Spaltenkoepfe[i]) + 6;
  for (const TDynItemRef& row : Plan.DynList)
    for (int i = 1; i <= 7; ++i) w[i] = qMax<qint64>(w[i], width(row->F(i)) + 6);
  qint64 sum = 0;
  for (int i = 1; i <= 7; ++i) sum += w[i];
  if (available > sum) {
    const qint64 spare = available - sum;
    for (int i = 1; i <= 7; ++i) w[i] += w[i] * spare / sum;
  }
  sum = 0;
  for (int i = 1; i <= 7; ++i) sum += w[i];
  if (sum != available) w[7] += available - sum;  // the last column takes the rest
  if (w[7] < 0) w[7] = 0;
  for (int i = 1; i <= 7; ++i) Spaltenbreiten[i] = static_cast<int>(w[i]);
}

void TForm1::Showdaten() {
  // Laid out now; a resize meanwhile asks for the next layout again.
  Plan.NeuAufbau = false;
  if (!Plan.AktuellerTag) return;
  ++LayoutCount;
  if (Settings.Fontsize == 0) FitAutoFontSize();
  LayoutPage();
}

namespace {

// A day record of an audience in one version: "audience/date/Druckdatum".
QString dayKey(int typ, const TStatItem& day) {
  return QStringLiteral("%1/%2/%3").arg(typ).arg(day.Datum, 0, 'f', 0).arg(day.Druckdatum);
}

}  // namespace

std::array<QStringList, 8> TForm1::WidestTexts(std::uint8_t typ, const TStatItem& day) {
  const QString key = dayKey(typ, day);
  if (const auto found = m_widestTexts.constFind(key); found != m_widestTexts.constEnd()) return *found;
  // The day's rows, read as GetDynData reads them, but aside: the page's
  // lists stay as they are, and a failed read only leaves the day out.
  std::array<QStringList, 8> columns;
  if (!DM->ADOOpenRead()) return columns;
  const QFontMetrics reference(QFont(QStringLiteral("Verdana"), 20));
  std::array<QHash<QString, int>, 8> measured;
  try {
    OpenDayRows(typ, day.Datum);
    for (DM->ado1.first(); !DM->ado1.eof(); DM->ado1.next())
      for (int n = 1; n <= 7; ++n) {
        const QString text = DM->ado1.asText(QStringLiteral("F%1").arg(n));
        if (!measured[n].contains(text)) measured[n].insert(text, reference.horizontalAdvance(text));
      }
  } catch (const db::Error&) {
  }
  DM->ado1.close();
  DM->ADOConn.close();
  // Widths grow nearly in proportion with the size: the three widest texts
  // of a column at the reference size hold its widest at any size.
  for (int n = 1; n <= 7; ++n) {
    QList<std::pair<int, QString>> byWidth;
    for (auto it = measured[n].constBegin(); it != measured[n].constEnd(); ++it) byWidth.append({it.value(), it.key()});
    std::sort(byWidth.begin(), byWidth.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (qsizetype i = 0; i < qMin<qsizetype>(3, byWidth.size()); ++i) columns[n] << byWidth[i].second;
  }
  m_widestTexts.insert(key, columns);
  return columns;
}

void TForm1::FitAutoFontSize() {
  // A size found before for the shown day, in the same window, mode, lists
  // and day list, is taken again without laying the page out to find it.
  QString context = QStringLiteral("%1x%2/%3%4%5%6%7%8%9")
                        .arg(Panel1->width())
                        .arg(Panel1->height())
                        .arg(int{Settings.AutoScroll})
                        .arg(int{Settings.ShowAKlassen})
                        .arg(int{Settings.ShowALehrer})
                        .arg(int{Settings.ShowAKurse})
                        .arg(int{Settings.ShowARaeume})
                        .arg(int{Settings.ShowBKlassen})
                        .arg(int{Settings.ShowBLehrer});
  for (const TStatItemRef& day : Plan.Tagesliste) context += u' ' + dayKey(Plan.AktuellerTyp, *day);
  if (context != m_fitContext) {
    m_fitContext = context;
    m_fittedSizes.clear();
  }
  const QString shown = dayKey(Plan.AktuellerTyp, *Plan.AktuellerTag);
  if (const auto fitted = m_fittedSizes.constFind(shown); fitted != m_fittedSizes.constEnd()) {
    m_autoFontSize = *fitted;
    CheckHeaderPanels();
    return;
  }
  // Column heads and the widest texts of each day that automatic paging
  // shows, so that the size stays when the pages move on to the next day.
  std::array<QStringList, 8> texts;
  QList<TStatItemRef> days = Plan.Tagesliste;
  if (!days.contains(Plan.AktuellerTag)) days.prepend(Plan.AktuellerTag);
  for (const TStatItemRef& day : days) {
    for (int n = 1; n <= 7; ++n) texts[n] << day->Spalten[n];
    const std::array<QStringList, 8> widest = WidestTexts(Plan.AktuellerTyp, *day);
    for (int n = 1; n <= 7; ++n) texts[n] += widest[n];
  }
  const auto fits = [&](int size) {
    m_autoFontSize = size;
    CheckHeaderPanels();
    LayoutPage();
    if (Grid->FittingRowCount() < kAutoMinRows) return false;
    QFont font = Panel1->font();
    font.setPointSize(size);
    const QFontMetrics fm(font);
    qint64 needed = 0;
    for (int n = 1; n <= 7; ++n) {
      int widest = 0;
      for (const QString& text : texts[n]) widest = qMax(widest, fm.horizontalAdvance(text));
      needed += widest + 6;
    }
    return needed <= (Settings.AutoScroll ? Grid->width() - 2 : Grid->width() - 22);
  };
  int low = kAutoMinFontSize;
  int high = kAutoMaxFontSize;
  if (!fits(low)) high = low;
  // Both conditions only get harder as the size grows.
  while (low < high) {
    const int middle = (low + high + 1) / 2;
    if (fits(middle))
      low = middle;
    else
      high = middle - 1;
  }
  m_autoFontSize = low;
  m_fittedSizes.insert(shown, low);
  CheckHeaderPanels();
}

// The whole page for AktuellerTag and DynList, in the page font, with
// painting of the plan area suspended until it is complete; starts on page 1.
void TForm1::LayoutPage() {
  const TStatItem& tag = *Plan.AktuellerTag;
  Panel1->setUpdatesEnabled(false);
  ApplyPageFont();
  const QFont pageFont = Panel1->font();
  for (AlignPanel* panel : {Panel3, Panel6, Panel7}) panel->setColor(HeaderColor);
  ShowHeaderTexts(tag);
  // The last-change label blinks for 0.1 day (2.4 h) after the plan was printed.
  BlinkActive = zdt::now() - tag.DruckZeit < 0.1;
  if (!BlinkActive) LabelBlinking(false);
  const int rowHeight = FillInfoGrid(tag, pageFont);
  ShowNotice(tag, pageFont);
  const int rows = FillSubstitutionTable(tag, pageFont, rowHeight);
  ShowPaging(rows);
  Panel1->setUpdatesEnabled(true);
  Panel1->show();
  if (Panel1->isVisible() && Grid->isVisible()) Grid->setFocus();
}

// The three header lines: heading and date (today and tomorrow named), school
// and version, place of display and the time of the last change (today and
// yesterday named against LastDate).
void TForm1::ShowHeaderTexts(const TStatItem& tag) {
  const TDateTime heute = zdt::today();
  Label1->setText(tag.Ueberschrift);
  if (tag.Datum == heute)
    Label2->setText(QStringLiteral("Heute ") + tag.Datumlang);
  else if (tag.Datum == heute + 1)
    Label2->setText(QStringLiteral("Morgen ") + tag.Datumlang);
  else
    Label2->setText(tag.Datumlang);
  Label3->setText(tag.Schulname);
  Label4->setText(tag.Version);
  Label5->setText(tag.Aushangort);
  Label6->setText(tag.Druckdatum);
  const TDateTime druckTag = zdt::dateOf(tag.DruckZeit);
  const QTime druckUhrzeit = zdt::toTime(tag.DruckZeit);
  const QString uhrzeit = twoDigits(druckUhrzeit.hour()) + ':' + twoDigits(druckUhrzeit.minute()) + " Uhr";
  if (druckTag == LastDate)
    Label6->setText(QStringLiteral("Letzte Änderung: Heute ") + uhrzeit);
  else if (druckTag == LastDate - 1)
    Label6->setText(QStringLiteral("Letzte Änderung: Gestern ") + uhrzeit);
}

// The information grid (Grid2): the lists the settings show, each wrapped
// to the list column, then one row for the page count (Seitenzeile). Returns
// the row height of the page font, which the substitution table takes too.
int TForm1::FillInfoGrid(const TStatItem& tag, const QFont& pageFont) {
  const QFontMetrics fm(pageFont);
  const QString widest = QStringLiteral("Abwesende Klassen: ");
  const int W = fm.horizontalAdvance(widest);
  const int H = fm.height();
  ClearGrid(Grid2);
  Grid2->setColWidth(0, W + 10);
  m_infoColumnWidth = Panel1->width() - W - 15;
  Grid2->setColWidth(1, qMax(0, m_infoColumnWidth));
  Grid2->setDefaultRowHeight(H + 1);
  Grid2->setRowCount(1);
  m_gridCursor = 0;
  if (Settings.ShowAKlassen) AddInfoZeilen(tag.AbwKlassen, QStringLiteral("Abwesende Klassen:"));
  if (Settings.ShowALehrer) AddInfoZeilen(tag.AbwLehrer, QStringLiteral("Abwesende Lehrer:"));
  if (Settings.ShowAKurse) AddInfoZeilen(tag.AbwKurse, QStringLiteral("Abwesende Kurse:"));
  if (Settings.ShowARaeume) AddInfoZeilen(tag.FehlRaeume, QStringLiteral("Fehlende Räume:"));
  if (Settings.ShowBKlassen) AddInfoZeilen(tag.BetrKlassen, QStringLiteral("Betroffene Klassen:"));
  if (Settings.ShowBLehrer) AddInfoZeilen(tag.BetrLehrer, QStringLiteral("Betroffene Lehrer:"));
  Seitenzeile = m_gridCursor;
  setPanelHeight(Grid2, (Grid2->DefaultRowHeight() + StringGrid::kGridLineWidth) * Grid2->RowCount() + 2);
  return H;
}

// The notice box, as wide as the list column; its panel is sized by the
// box's own resize request.
void TForm1::ShowNotice(const TStatItem& tag, const QFont& pageFont) {
  RichEdit1->resize(qMax(0, m_infoColumnWidth), RichEdit1->height());
  Panel2->realign();
  LoadRichText(tag.BitteRTF, RichEdit1, pageFont);
  RichEdit1->requestResize();
  QFont captionFont = Label7->font();
  captionFont.setPointSize(Panel2->font().pointSize());
  Label7->setFont(captionFont);
  Label7->adjustSize();
  Panel2->update();
}

// The substitution table: column heads, widths, one row per DynList row and
// the signature (Gezeichnet) in the last cell of the last row. Returns the
// number of DynList rows.
int TForm1::FillSubstitutionTable(const TStatItem& tag, const QFont& pageFont, int rowHeight) {
  ClearGrid(Grid);
  Grid->show();
  Grid->setTopRow(1);
  for (int i = 1; i <= 7; ++i) {
    Spaltenkoepfe[i] = tag.Spalten[i];
    Grid->setCell(i - 1, 0, tag.Spalten[i]);
  }
  CalcSpaltenbreiten(pageFont, Grid->width());
  const int rows = Plan.DynList.Count();
  Grid->setRowCount(rows > 0 ? rows + 2 : 2);
  Grid->setDefaultRowHeight(rowHeight + 1);
  for (int i = 1; i <= 7; ++i) Grid->setColWidth(i - 1, Spaltenbreiten[i]);
  Grid->setScrollBarShown(!Settings.AutoScroll);
  AktSeite = 1;
  for (int r = 0; r < rows; ++r) {
    const TDynItem& row = *Plan.DynList.Items(r);
    for (int c = 1; c <= 7; ++c) {
      // A row that continues the group of the row above shows no first column.
      if (c == 1 && r >= 1 && row.F1 == Plan.DynList.Items(r - 1)->F1) continue;
      Grid->setCell(c - 1, r + 1, row.F(c));
    }
  }
  Grid->setCell(6, Grid->RowCount() - 1, tag.Gezeichnet);
  return rows;
}

// Paging over `rows` table rows: the page count, the page row of the
// information grid (or "vorläufig keine Vertretungen" and no table for an
// empty day), and the paging timer, which runs in automatic mode only.
void TForm1::ShowPaging(int rows) {
  // When not one body row fits (a window too small), a page is taken as one
  // row, so the page count and paging stay well defined.
  AnzSichtbar = qMax(1, Grid->VisibleRowCount());
  AnzZeilen = rows;
  AnzSeiten = PageCount(AnzZeilen, AnzSichtbar);
  if (rows > 0) {
    Grid2->setCell(0, Seitenzeile, Settings.AutoScroll ? PageRowText() : QString());
    Grid2->setCell(1, Seitenzeile, QString());
    Grid->show();
  } else {
    Grid2->setCell(0, Seitenzeile, QString());
    Grid2->setCell(1, Seitenzeile, QStringLiteral("vorläufig keine Vertretungen"));
    Grid->hide();
  }
  if (!Settings.AutoScroll)
    ScrollTimer->stop();
  else if (!ScrollTimer->isActive())
    ScrollTimer->start();
}

void TForm1::CheckHeaderPanels() {
  // Measured in a font of the window's face; the controls keep their fonts.
  const int size1 = qMax(12, PageFontSize());
  if (Panel3->font().pointSize() != size1) {
    QFont font(QStringLiteral("Verdana"), size1);
    font.setBold(size1 <= 14);
    // Both labels hold one line, so their text height is the font's.
    const QFontMetrics fm(font);
    setPanelHeight(Panel3, fm.height() + 4);
    Panel3->setFont(font);
  }
  const int size2 = qMax(10, PageFontSize() - 2);
  if (Panel6->font().pointSize() != size2) {
    const QFont font(QStringLiteral("Verdana"), size2);
    const QFontMetrics fm(font);
    setPanelHeight(Panel6, fm.height() + 2);
    setPanelHeight(Panel7, fm.height() + 2);
    Panel6->setFont(font);
    Panel7->setFont(font);
  }
}

void TForm1::RichEdit1ResizeRequest(const QRect& requested) {
  int height = RichEdit1->hasLines() ? requested.bottom() + 4 : 1;
  height = qMin(height, this->height() / 3);
  if (height != Panel2->height()) {
    setPanelHeight(Panel2, height);
    Panel2->update();
  }
}

void TForm1::Panel1Resize() {
  Plan.NeuAufbau = true;
  Grid->hide();
}
