// The colour button's painting, hover and default look.
#include "notifications/ColorButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <qdrawutil.h>

TColorButton::TColorButton(QWidget* parent) : TColorButton(QString(), parent) {}

TColorButton::TColorButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  SetBackColor(palette().color(QPalette::Button));
  SetForeColor(palette().color(QPalette::ButtonText));
  SetHoverColor(palette().color(QPalette::Button));
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusMoved(now); });
}

void TColorButton::SetBackColor(const QColor& color) {
  if (color == m_backColor) return;
  m_backColor = color;
  m_faceColor = color;
  update();
}

void TColorButton::SetForeColor(const QColor& color) {
  if (color == m_foreColor) return;
  m_foreColor = color;
  update();
}

void TColorButton::SetHoverColor(const QColor& color) {
  if (color == m_hoverColor) return;
  m_hoverColor = color;
  update();
}

void TColorButton::SetDefaultLook(bool on) {
  if (on == m_defaultLook) return;
  m_defaultLook = on;
  update();
}

void TColorButton::setFaceColor(const QColor& color) {
  if (color == m_faceColor) return;
  m_faceColor = color;
  update();
}

void TColorButton::focusMoved(QWidget* now) {
  if (!now || now->window() != window()) return;
  SetDefaultLook(now == this || (isDefault() && !qobject_cast<QAbstractButton*>(now)));
}

void TColorButton::enterEvent(QEnterEvent* event) {
  setFaceColor(m_hoverColor);
  QPushButton::enterEvent(event);
}

void TColorButton::leaveEvent(QEvent* event) {
  setFaceColor(m_backColor);
  QPushButton::leaveEvent(event);
}

void TColorButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintButton(painter, rect(), isDown(), !isEnabled(), hasFocus());
}

void TColorButton::PaintButton(QPainter& painter, const QRect& rect, bool pressed, bool disabled, bool focused) {
  const QPalette& pal = palette();
  const QColor windowFrame = pal.color(QPalette::Active, QPalette::WindowText);
  const QRect r0 = rect;
  QRect r = rect;
  painter.save();
  painter.setBrush(Qt::NoBrush);
  // Outlines cover left/top up to one pixel short of right/bottom, as a
  // rectangle drawn over `r` does on the window system.
  auto outline = [&](const QRect& area) { painter.drawRect(area.adjusted(0, 0, -1, -1)); };

  if (m_defaultLook || focused) {
    painter.setPen(QPen(windowFrame, 1));
    outline(r);
    r.adjust(1, 1, -1, -1);
  }
  if (pressed) {
    painter.setPen(QPen(pal.color(QPalette::Dark), 1));
    painter.setBrush(pal.color(QPalette::Button));
    outline(r);
    painter.setBrush(Qt::NoBrush);
    r.adjust(1, 1, -1, -1);
    r.translate(1, 1);
  } else {
    qDrawWinButton(&painter, r, pal, false, nullptr);
    r.adjust(2, 2, -2, -2);
  }
  painter.fillRect(r, m_faceColor);

  if (disabled) {
    const QSize extent = painter.fontMetrics().size(Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    const QRect textRect(r.left() + (r.width() - extent.width()) / 2, r.top() + (r.height() - extent.height()) / 2,
                         extent.width(), extent.height());
    painter.setPen(pal.color(QPalette::Light));
    painter.drawText(textRect.translated(1, 1), Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawText(textRect, Qt::TextSingleLine | Qt::TextShowMnemonic, text());
  } else {
    painter.setPen(m_foreColor);
    painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());
  }

  if (m_defaultLook && focused) {
    QPen dotted(windowFrame, 1);
    dotted.setDashPattern({1, 1});
    painter.setPen(dotted);
    painter.setBrush(Qt::NoBrush);
    outline(r0.adjusted(4, 4, -4, -4));
  }
  painter.restore();
}
