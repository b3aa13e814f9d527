// Owner-painted text grid (see StringGrid.h).
#include "widgets/StringGrid.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

StringGrid::StringGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setAutoFillBackground(true);
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Window, Qt::white);
  viewport()->setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setSingleStep(1);
}

void StringGrid::setRowCount(int rows) {
  m_rows = qMax(0, rows);
  m_cells.resize(m_rows);
  for (auto& row : m_cells)
    while (row.size() < m_cols) row.append(QString());
  if (m_topRow >= m_rows) m_topRow = qMax(m_fixedRows, m_rows - 1);
  if (m_topRow < m_fixedRows) m_topRow = m_fixedRows;
  updateScrollRange();
  viewport()->update();
}

void StringGrid::setColCount(int cols) {
  m_cols = qMax(0, cols);
  m_colWidths.resize(m_cols);
  for (auto& row : m_cells) {
    while (row.size() < m_cols) row.append(QString());
    while (row.size() > m_cols) row.removeLast();
  }
  viewport()->update();
}

void StringGrid::setFixedRows(int rows) {
  m_fixedRows = qMax(0, rows);
  if (m_topRow < m_fixedRows) m_topRow = m_fixedRows;
  updateScrollRange();
}

void StringGrid::setDefaultRowHeight(int height) {
  m_rowHeight = qMax(1, height);
  updateScrollRange();
  viewport()->update();
}

void StringGrid::setColWidth(int col, int width) {
  if (col < 0 || col >= m_cols) return;
  m_colWidths[col] = qMax(0, width);
  viewport()->update();
}

QString StringGrid::Cell(int col, int row) const {
  if (row < 0 || row >= m_rows || col < 0 || col >= m_cols) return QString();
  return m_cells[row][col];
}

void StringGrid::setCell(int col, int row, const QString& text) {
  if (row < 0 || row >= m_rows || col < 0 || col >= m_cols) return;
  m_cells[row][col] = text;
  viewport()->update();
}

void StringGrid::clearCells() {
  for (auto& row : m_cells)
    for (auto& cell : row) cell.clear();
  viewport()->update();
}

void StringGrid::setTopRow(int row) {
  const int top = qBound(m_fixedRows, row, qMax(m_fixedRows, m_rows - 1));
  if (top == m_topRow) return;
  m_topRow = top;
  m_syncingScrollBar = true;
  verticalScrollBar()->setValue(m_topRow - m_fixedRows);
  m_syncingScrollBar = false;
  viewport()->update();
}

int StringGrid::usableHeight() const {
  // The grid's own height: valid at once after a resize, even when hidden.
  return height() - 2 * frameWidth() - m_fixedRows * rowPitch();
}

int StringGrid::VisibleRowCount() const {
  const int fit = qMax(0, usableHeight() / rowPitch());
  return qMax(0, qMin(fit, m_rows - m_topRow));
}

void StringGrid::setScrollBarShown(bool shown) {
  setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

QRect StringGrid::cellRect(int col, int row) const {
  if (col < 0 || col >= m_cols || row < 0 || row >= m_rows) return QRect();
  int y;
  if (row < m_fixedRows) {
    y = row * rowPitch();
  } else {
    if (row < m_topRow) return QRect();
    y = (m_fixedRows + row - m_topRow) * rowPitch();
  }
  int x = 0;
  for (int c = 0; c < col; ++c) x += m_colWidths[c] + kGridLineWidth;
  return QRect(x, y, m_colWidths[col], m_rowHeight);
}

void StringGrid::paintCells(QPainter& painter) {
  if (!m_drawCell) return;
  const int limit = viewport()->height();
  for (int row = 0; row < m_rows; ++row) {
    if (row >= m_fixedRows && row < m_topRow) continue;
    for (int col = 0; col < m_cols; ++col) {
      const QRect r = cellRect(col, row);
      // Only whole rows are painted: the band below the last one keeps the
      // background, so no row shows half here and again on the next page.
      if (r.isNull() || r.top() + r.height() > limit) continue;
      painter.save();
      m_drawCell(painter, col, row, r);
      painter.restore();
    }
  }
}

void StringGrid::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  paintCells(painter);
}

void StringGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollRange();
}

void StringGrid::updateScrollRange() {
  const int scrolling = qMax(0, m_rows - m_fixedRows);
  const int page = qMax(1, usableHeight() / rowPitch());
  m_syncingScrollBar = true;
  verticalScrollBar()->setRange(0, qMax(0, scrolling - 1));
  verticalScrollBar()->setPageStep(page);
  verticalScrollBar()->setValue(m_topRow - m_fixedRows);
  m_syncingScrollBar = false;
}

void StringGrid::scrollContentsBy(int, int) {
  if (m_syncingScrollBar) return;
  m_topRow = m_fixedRows + verticalScrollBar()->value();
  viewport()->update();
}

void StringGrid::wheelEvent(QWheelEvent* event) {
  bool handled = false;
  if (event->angleDelta().y() < 0)
    emit mouseWheelDown(handled);
  else if (event->angleDelta().y() > 0)
    emit mouseWheelUp(handled);
  if (handled) {
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}
