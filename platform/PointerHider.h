// Hides the mouse pointer on a wall screen.
//
// While active, the pointer disappears after a spell without mouse movement
// (3 seconds unless told otherwise) and comes back as soon as the mouse is
// moved, a button is pressed or the wheel turns. Inactive, it never hides,
// and deactivating shows a hidden pointer again at once. The main window
// makes it active in full screen.
//
// The pointer is hidden application-wide (an override cursor), so it stays
// hidden over every child widget, whatever cursor that widget asks for.
#pragma once

#include <QObject>
#include <QPointF>
#include <QTimer>

class PointerHider : public QObject {
  Q_OBJECT
 public:
  static constexpr int kIdleMs = 3000;

  // Watches the whole application's mouse input; starts inactive.
  explicit PointerHider(QObject* parent = nullptr, int idleMs = kIdleMs);
  ~PointerHider() override;

  // Active: hide the pointer after idleMs without movement (counted from
  // now). Inactive: stop counting and show the pointer.
  void setActive(bool active);
  bool isActive() const { return m_active; }
  bool isPointerHidden() const { return m_hidden; }
  int idleMs() const { return m_idle.interval(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void pointerUsed();
  void hidePointer();
  void showPointer();

  QTimer m_idle;
  QPointF m_lastPosition;  // global position of the last movement seen
  bool m_active = false;
  bool m_hidden = false;
};
