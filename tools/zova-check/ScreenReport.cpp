// Reading the check window's page back from its controls, as a person would
// read the screen.
#include "ScreenReport.h"

#include <QJsonArray>

#include "app/TForm1.h"
#include "plan/PlanState.h"
#include "richtext/RichEdit.h"

namespace {

// The lists of Grid2 above its page row: a caption in column 0 starts a list,
// its lines stand in column 1.
QJsonArray listsOf(const TForm1& form) {
  QJsonArray lists;
  QJsonObject list;
  QJsonArray lines;
  for (int row = 0; row < form.Seitenzeile && row < form.Grid2->RowCount(); ++row) {
    const QString caption = form.Grid2->Cell(0, row);
    if (!caption.isEmpty()) {
      if (!list.isEmpty()) {
        list["lines"] = lines;
        lists.append(list);
      }
      list = QJsonObject{{"caption", caption}};
      lines = QJsonArray();
    }
    lines.append(form.Grid2->Cell(1, row));
  }
  if (!list.isEmpty()) {
    list["lines"] = lines;
    lists.append(list);
  }
  return lists;
}

QJsonArray rowOf(const StringGrid* grid, int row) {
  QJsonArray cells;
  for (int col = 0; col < grid->ColCount(); ++col) cells.append(grid->Cell(col, row));
  return cells;
}

}  // namespace

QJsonObject screenReport(const TForm1& form) {
  QJsonObject screen;
  const bool plan = Plan.AktuellerTag != nullptr;
  screen["shows"] = plan ? QStringLiteral("plan") : QStringLiteral("stateText");
  screen["audience"] = Plan.AktuellerTyp;
  screen["audienceName"] = audienceName(Plan.AktuellerTyp);
  screen["window"] = QStringLiteral("%1x%2").arg(form.width()).arg(form.height());
  if (!plan) {
    screen["stateText"] = form.Label1->text();
    return screen;
  }
  screen["date"] = dayText(Plan.AktuellerTag->Datum);
  screen["header"] = QJsonArray{form.Label1->text(), form.Label2->text(), form.Label3->text(),
                                form.Label4->text(), form.Label5->text(), form.Label6->text()};
  screen["headerColor"] = form.HeaderColor.name();
  screen["lists"] = listsOf(form);
  screen["notice"] = form.RichEdit1->toPlainText();
  const QString pageRow = form.Grid2->Cell(0, form.Seitenzeile) + form.Grid2->Cell(1, form.Seitenzeile);
  screen["pageRow"] = pageRow;
  screen["columns"] = rowOf(form.Grid, 0);
  QJsonArray rows;
  for (int row = 1; row <= form.AnzZeilen; ++row) rows.append(rowOf(form.Grid, row));
  screen["rows"] = rows;
  screen["signature"] = form.Grid->Cell(6, form.Grid->RowCount() - 1);
  screen["visibleRows"] = form.AnzSichtbar;
  screen["pages"] = form.AnzSeiten;
  screen["page"] = form.AktSeite;
  screen["topRow"] = form.Grid->TopRow();
  return screen;
}
