// A panel that places its children by alignment, the way a form designer
// docks them: top children stack downwards from the top edge in the order
// they were added, bottom children upwards from the bottom edge, right
// children leftwards from the right edge, and one client child fills what
// is left. A child keeps its own height (top/bottom) or width (right); the
// panel re-places its children whenever it or one of them changes size or
// is shown or hidden. Hidden children take no room.
//
// The panel paints its own solid background colour when one is set.
#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

class AlignPanel : public QWidget {
  Q_OBJECT
 public:
  enum class Align { None, Top, Bottom, Right, Client };

  explicit AlignPanel(QWidget* parent = nullptr);

  // Makes `child` a child of this panel placed by `align`.
  void addAligned(QWidget* child, Align align);

  void setColor(const QColor& color);
  QColor color() const { return m_color; }

  // Places the aligned children now.
  void realign();

 signals:
  void resized();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    QWidget* widget;
    Align align;
  };
  QList<Entry> m_children;
  QColor m_color;
  bool m_realigning = false;
};
