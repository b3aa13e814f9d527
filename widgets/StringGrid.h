// A grid of text cells painted by its owner.
//
// Rows and columns hold plain texts. The first FixedRows rows stay at the
// top; the other rows scroll so that TopRow is the first one visible below
// them. Every row is DefaultRowHeight pixels high plus a one-pixel grid line
// below it, every column its width plus a one-pixel line to its right; the
// lines are not drawn (the background shows through) but the owner may
// paint over them. Each cell is painted by the DrawCell callback with its
// column, row and rectangle; there is no selection or focus mark.
//
// Geometry queries (VisibleRowCount, cellRect) use the grid's own size, so
// they are valid right after a resize, even while the grid is hidden.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QStringList>
#include <QVector>
#include <functional>

class StringGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kGridLineWidth = 1;

  explicit StringGrid(QWidget* parent = nullptr);

  int RowCount() const { return m_rows; }
  void setRowCount(int rows);
  int ColCount() const { return m_cols; }
  void setColCount(int cols);
  int FixedRows() const { return m_fixedRows; }
  void setFixedRows(int rows);

  int DefaultRowHeight() const { return m_rowHeight; }
  void setDefaultRowHeight(int height);
  int ColWidth(int col) const { return m_colWidths.value(col); }
  void setColWidth(int col, int width);

  QString Cell(int col, int row) const;
  void setCell(int col, int row, const QString& text);
  // Empties every cell; the row and column counts stay.
  void clearCells();

  // The first visible scrolling row (at least FixedRows).
  int TopRow() const { return m_topRow; }
  void setTopRow(int row);
  // Scrolling rows, from TopRow, that are fully visible at the present height.
  int VisibleRowCount() const;
  // Scrolling rows that fit whole at the present height, whatever the grid holds.
  int FittingRowCount() const { return qMax(0, usableHeight() / rowPitch()); }

  void setScrollBarShown(bool shown);

  // The rectangle of a cell in viewport coordinates (right/bottom exclusive
  // in the QRect(x, y, w, h) sense), or an empty rectangle when not on screen.
  QRect cellRect(int col, int row) const;

  using DrawCellFn = std::function<void(QPainter& painter, int col, int row, const QRect& rect)>;
  void setDrawCell(DrawCellFn fn) { m_drawCell = std::move(fn); }

  // Paints the whole grid into `painter` as it stands (also used by paintEvent).
  void paintCells(QPainter& painter);

 signals:
  // Wheel turned over the grid; a handler sets `handled` to keep the grid
  // from scrolling by itself.
  void mouseWheelDown(bool& handled);
  void mouseWheelUp(bool& handled);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  int rowPitch() const { return m_rowHeight + kGridLineWidth; }
  int usableHeight() const;
  void updateScrollRange();

  int m_rows = 0;
  int m_cols = 0;
  int m_fixedRows = 0;
  int m_rowHeight = 18;
  int m_topRow = 0;
  QVector<int> m_colWidths;
  QVector<QStringList> m_cells;  // [row][col]
  DrawCellFn m_drawCell;
  bool m_syncingScrollBar = false;
};
