// Painting both grids cell by cell: white cells, button-face heading and
// signature rows, group separator bands, and the red bold page row.
//
// Painting only reads cell texts and draws; widths and heights were fixed by
// the page layout.
#include <QApplication>
#include <QPainter>

#include "app/TForm1.h"

namespace {

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }

void drawCellText(QPainter& painter, const QRect& rect, const QString& text) {
  // Top-left at 3 pixels in, at the top edge; not clipped to the cell: the
  // next cell's fill covers any overflow.
  const QFontMetrics fm(painter.font());
  painter.drawText(QPoint(rect.left() + 3, rect.top() + fm.ascent()), text);
}

}  // namespace

void TForm1::GridDrawCell(QPainter& painter, int col, int row, const QRect& rect) {
  const int last = Grid->RowCount() - 1;
  const bool greyRow = row == 0 || row == last;
  painter.fillRect(rect, greyRow ? buttonFace() : QColor(Qt::white));
  painter.setFont(Panel1->font());
  painter.setPen(QApplication::palette().color(QPalette::WindowText));
  drawCellText(painter, rect, Grid->Cell(col, row));
  // A band under the heading row, under each group's last row (the next row
  // starts a group), under the last substitution row and the signature row.
  const bool separator = row >= last - 1 || !Grid->Cell(0, row + 1).isEmpty();
  if (!separator) return;
  // From one pixel above the bottom edge to one below it, and one pixel past
  // the right edge, so that the bands of a row join into one line.
  const int bottom = rect.top() + rect.height();
  painter.fillRect(QRect(rect.left(), bottom - 1, rect.width() + 1, 2), buttonFace());
}

void TForm1::Grid2DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
  painter.fillRect(rect, Qt::white);
  QFont font = Panel1->font();
  QColor colour = QApplication::palette().color(QPalette::WindowText);
  if (row == Grid2->RowCount() - 1) {
    colour = QColor(255, 0, 0);
    font.setBold(true);
  }
  painter.setFont(font);
  painter.setPen(colour);
  drawCellText(painter, rect, Grid2->Cell(col, row));
}
