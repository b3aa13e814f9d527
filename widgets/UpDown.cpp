// A field-less spinner with a guard (see UpDown.h).
#include "widgets/UpDown.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QWheelEvent>
#include <cassert>
#include <climits>

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  auto arrowButton = [this](Qt::ArrowType arrow, int step) {
    auto* button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, step] { stepBy(step); });
    return button;
  };
  m_up = arrowButton(Qt::UpArrow, 1);
  m_down = arrowButton(Qt::DownArrow, -1);
}

void UpDown::setRange(int minimum, int maximum) {
  assert(minimum <= maximum);
  m_minimum = minimum;
  m_maximum = maximum;
  if (m_position < minimum || m_position > maximum) m_position = minimum;
}

bool UpDown::setPosition(int proposed) {
  if (proposed < m_minimum || proposed > m_maximum) return false;
  if (m_guard && !m_guard(proposed)) return false;
  m_position = proposed;
  return true;
}

bool UpDown::stepBy(int steps) {
  const long long proposed = static_cast<long long>(m_position) + steps;
  if (proposed < INT_MIN || proposed > INT_MAX) return false;
  return setPosition(static_cast<int>(proposed));
}

QSize UpDown::sizeHint() const { return QSize(17, 23); }

void UpDown::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up: stepBy(1); break;
    case Qt::Key_Down: stepBy(-1); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void UpDown::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta != 0) stepBy(delta > 0 ? 1 : -1);
  event->accept();
}

void UpDown::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int upper = height() / 2;
  m_up->setGeometry(0, 0, width(), upper);
  m_down->setGeometry(0, upper, width(), height() - upper);
}
