// CheckListBox: a list of lines with tick boxes, as the notification dialog
// uses it - header lines without a tick box in their own colours, lines that
// can be disabled one by one, a reference to a record per line, lines of one
// fixed height painted by the owner.
//
// The box paints each line's background and tick box (headers have none) and
// then hands the painting of the line's text area to the owner (drawItem).
// Clicking a line selects it (lineClicked); clicking its tick box, or Space
// on the selected line, toggles the tick of an enabled line that is not a
// header (clickCheck, after the new tick is set).
#pragma once

#include <QColor>
#include <QListWidget>
#include <functional>

class TNachrichtsatz;

class CheckListBox : public QListWidget {
  Q_OBJECT
 public:
  // What the box has prepared for a line before the owner paints its text.
  struct LineState {
    bool selected = false;
    bool header = false;
    bool enabled = true;
    bool checked = false;
    QColor fill;  // the background colour the box would use
    QColor text;  // the text colour the box would use (grey when disabled)
  };
  using DrawItem = std::function<void(QPainter& painter, int index, const QRect& area, const LineState& state)>;

  explicit CheckListBox(QWidget* parent = nullptr);

  // Appends a line; returns its index. Lines start unticked, enabled, not headers.
  int addLine(const QString& text, TNachrichtsatz* record = nullptr);
  int lineCount() const { return count(); }
  QString lineText(int index) const;
  TNachrichtsatz* record(int index) const;
  bool checked(int index) const;
  void setChecked(int index, bool on);
  bool lineEnabled(int index) const;
  void setLineEnabled(int index, bool on);
  bool header(int index) const;
  void setHeader(int index, bool on);

  // The selected line, or -1.
  int itemIndex() const;

  void setHeaderColor(const QColor& color);
  void setHeaderBackgroundColor(const QColor& color);
  QColor headerColor() const { return m_headerColor; }
  QColor headerBackgroundColor() const { return m_headerBackgroundColor; }
  void setBackgroundColor(const QColor& color);

  // Height of every line in pixels.
  int lineHeight() const { return m_lineHeight; }
  void setLineHeight(int pixels);
  // Width of the tick box column left of a line's text area.
  static int checkWidth();

  // Paints the text area of a line; without it the text is drawn plainly.
  DrawItem drawItem;

  // Toggles the tick of the line when it has an enabled tick box, as a click
  // on it does; false when the line has none or is disabled.
  bool toggleCheck(int index);
  // The tick box of a line, in viewport coordinates.
  QRect checkBoxRect(int index) const;

 signals:
  void lineClicked();
  void clickCheck();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QColor m_headerColor = Qt::black;
  QColor m_headerBackgroundColor = Qt::lightGray;
  int m_lineHeight = 18;
  bool m_tickPress = false;  // the mouse went down in a tick box
};
