// Alignment-docking panel (see AlignPanel.h).
#include "widgets/AlignPanel.h"

#include <QEvent>
#include <QResizeEvent>
#include <algorithm>

AlignPanel::AlignPanel(QWidget* parent) : QWidget(parent) {}

void AlignPanel::addAligned(QWidget* child, Align align) {
  child->setParent(this);
  m_children.append({child, align});
  child->installEventFilter(this);
  realign();
}

void AlignPanel::setColor(const QColor& color) {
  m_color = color;
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, color);
  setPalette(pal);
}

void AlignPanel::realign() {
  if (m_realigning) return;
  m_realigning = true;
  QRect room = rect();
  for (const Entry& e : m_children) {
    if (e.widget->isHidden()) continue;
    switch (e.align) {
      case Align::Top:
        e.widget->setGeometry(room.left(), room.top(), room.width(), e.widget->height());
        room.setTop(room.top() + e.widget->height());
        break;
      case Align::Bottom:
        e.widget->setGeometry(room.left(), room.bottom() + 1 - e.widget->height(), room.width(),
                              e.widget->height());
        room.setBottom(room.bottom() - e.widget->height());
        break;
      case Align::Right:
        e.widget->setGeometry(room.right() + 1 - e.widget->width(), room.top(), e.widget->width(),
                              room.height());
        room.setRight(room.right() - e.widget->width());
        break;
      case Align::Client:
      case Align::None:
        break;
    }
  }
  for (const Entry& e : m_children)
    if (e.align == Align::Client && !e.widget->isHidden())
      e.widget->setGeometry(room.left(), room.top(), qMax(0, room.width()), qMax(0, room.height()));
  m_realigning = false;
}

void AlignPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  realign();
  emit resized();
}

bool AlignPanel::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  const bool relevant = type == QEvent::Resize || type == QEvent::Show || type == QEvent::Hide ||
                        type == QEvent::ShowToParent || type == QEvent::HideToParent;
  if (relevant && std::any_of(m_children.begin(), m_children.end(),
                              [watched](const Entry& e) { return e.widget == watched; }))
    realign();
  return QWidget::eventFilter(watched, event);
}
