// TColorButton: a push button that paints itself, with a face colour, a
// caption colour and a face colour while the mouse is over it - what a
// standard button cannot be given. The notification dialog's close button
// is one.
//
// It is an ordinary QPushButton in every other respect (clicked, default and
// auto-default, focus, shortcuts); only the painting is its own, in fixed
// steps: the frame of the default look, the pressed shadow or the raised
// frame, the face, the caption (embossed when disabled) and the dotted focus
// rectangle.
#pragma once

#include <QColor>
#include <QPushButton>

class TColorButton : public QPushButton {
  Q_OBJECT
  Q_PROPERTY(QColor BackColor READ BackColor WRITE SetBackColor)
  Q_PROPERTY(QColor ForeColor READ ForeColor WRITE SetForeColor)
  Q_PROPERTY(QColor HoverColor READ HoverColor WRITE SetHoverColor)

 public:
  // BackColor and HoverColor start as the button-face colour, ForeColor as
  // the button-text colour.
  explicit TColorButton(QWidget* parent = nullptr);
  explicit TColorButton(const QString& caption, QWidget* parent = nullptr);

  QColor BackColor() const { return m_backColor; }
  QColor ForeColor() const { return m_foreColor; }
  QColor HoverColor() const { return m_hoverColor; }
  // The face colour now: HoverColor while the mouse is over the button,
  // BackColor otherwise.
  QColor FaceColor() const { return m_faceColor; }
  // Drawn as the default button of its window: it has the focus, or it is
  // the default button and the focus is on a control that is not a button.
  bool DefaultLook() const { return m_defaultLook; }

  // Each repaints only when the value really changes. A new BackColor is
  // also the face colour at once, even while the mouse is over the button;
  // a new HoverColor shows from the next time the mouse enters.
  void SetBackColor(const QColor& color);
  void SetForeColor(const QColor& color);
  void SetHoverColor(const QColor& color);
  void SetDefaultLook(bool on);

  // Paints the button into `painter` in the rectangle `rect` (the whole
  // button) for the given state, in the fixed order of steps.
  void PaintButton(QPainter& painter, const QRect& rect, bool pressed, bool disabled, bool focused);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void setFaceColor(const QColor& color);
  // Follows the focus within the button's window (DefaultLook).
  void focusMoved(QWidget* now);

  QColor m_backColor;
  QColor m_foreColor;
  QColor m_hoverColor;
  QColor m_faceColor;
  bool m_defaultLook = false;
};
