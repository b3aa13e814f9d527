// Hiding the idle mouse pointer (see PointerHider.h).
#include "platform/PointerHider.h"

#include <cassert>

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QSinglePointEvent>

PointerHider::PointerHider(QObject* parent, int idleMs) : QObject(parent) {
  assert(idleMs > 0);
  m_idle.setSingleShot(true);
  m_idle.setInterval(idleMs);
  connect(&m_idle, &QTimer::timeout, this, &PointerHider::hidePointer);
  QCoreApplication::instance()->installEventFilter(this);
}

PointerHider::~PointerHider() { showPointer(); }

void PointerHider::setActive(bool active) {
  m_active = active;
  if (active) {
    m_lastPosition = QCursor::pos();
    m_idle.start();
  } else {
    m_idle.stop();
    showPointer();
  }
}

bool PointerHider::eventFilter(QObject* watched, QEvent* event) {
  if (m_active) {
    switch (event->type()) {
      case QEvent::MouseMove:
      case QEvent::TabletMove: {
        // Qt also sends moves of its own where the pointer stands still
        // (after a page is laid out anew); only a new position is movement.
        const QPointF position = static_cast<QSinglePointEvent*>(event)->globalPosition();
        if (position == m_lastPosition) break;
        m_lastPosition = position;
        pointerUsed();
        break;
      }
      case QEvent::MouseButtonPress:
      case QEvent::Wheel:
        pointerUsed();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void PointerHider::pointerUsed() {
  showPointer();
  m_idle.start();
}

void PointerHider::hidePointer() {
  if (m_hidden || !m_active) return;
  QGuiApplication::setOverrideCursor(Qt::BlankCursor);
  m_hidden = true;
}

void PointerHider::showPointer() {
  if (!m_hidden) return;
  QGuiApplication::restoreOverrideCursor();
  m_hidden = false;
}
