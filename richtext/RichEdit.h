// The notice box: a read-only rich-text box that reports the height its
// content needs.
//
// It shows the day's notice beside the "Bitte beachten:" label.  It has no
// frame and no horizontal scroll bar, wraps lines at its width, scrolls
// vertically when the notice panel is too low, and is transparent or filled
// with a settable colour (the notice panel's cream).  Like a Windows
// rich-edit control with EN_REQUESTRESIZE, it emits resizeRequest whenever
// its content or its width changes; the main window sets the panel height
// from it.
#pragma once

#include <QColor>
#include <QRect>
#include <QTextEdit>

class RichEdit : public QTextEdit {
  Q_OBJECT

 public:
  explicit RichEdit(QWidget* parent = nullptr);
  ~RichEdit() override;

  // Fills the box with `colour`; an invalid colour makes it transparent so
  // the panel behind it shows through (the default).
  void setBackgroundColor(const QColor& colour);
  QColor backgroundColor() const { return m_background; }

  // Whether the box holds at least one line; an empty box holds none.
  bool hasLines() const;

  // The rectangle the content needs at the current width: left and top 0,
  // right the viewport width - 1, bottom the document height in pixels.
  QRect requestedRect() const;

 public slots:
  // Emits resizeRequest with requestedRect() now.
  void requestResize();

 signals:
  void resizeRequest(const QRect& requested);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QColor m_background;
  int m_lastViewportWidth = -1;
  bool m_measuring = false;  // requestedRect() may lay out, which notifies again
};
