// A spinner without a field of its own: two stacked arrow buttons that move
// a position within a range, for fields that show the position in a form of
// their own (the settings dialog shows a time of day beside one).
//
// Every proposed position, from the arrow buttons, the arrow keys,
// the mouse wheel or setPosition, is first offered to a guard, which may
// refuse it; a refused proposal leaves the position as it was. A proposal
// outside the range is refused before the guard is asked.
#pragma once

#include <QWidget>
#include <functional>

class QToolButton;

class UpDown : public QWidget {
  Q_OBJECT
 public:
  // Answers whether the proposed position may be taken.
  using Guard = std::function<bool(int proposed)>;

  explicit UpDown(QWidget* parent = nullptr);

  // Sets the range; a position outside it moves to the minimum unasked.
  void setRange(int minimum, int maximum);
  int minimum() const { return m_minimum; }
  int maximum() const { return m_maximum; }

  int position() const { return m_position; }
  // Proposes a position; true when it was taken.
  bool setPosition(int proposed);
  // Proposes the position `steps` away from the present one.
  bool stepBy(int steps);

  void setGuard(Guard guard) { m_guard = std::move(guard); }

  QSize sizeHint() const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* m_up;
  QToolButton* m_down;
  int m_minimum = 0;
  int m_maximum = 100;
  int m_position = 0;
  Guard m_guard;
};
