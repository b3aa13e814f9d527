// A status bar of text panels side by side, as a platform status bar lays
// them out: each panel has its own width from the left edge on, the last
// panel takes the rest of the bar (never less than its own width), and
// panels never overlap. When the bar is narrower than the panels together,
// the first panel gives up width first; whatever still does not fit is cut
// at the bar's right edge. Each panel is a sunken label.
#pragma once

#include <QLabel>
#include <QVector>
#include <QWidget>

class StatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit StatusBar(QWidget* parent = nullptr);

  // Appends a panel of the given width and returns its label.
  QLabel* addPanel(int width);
  int panelCount() const { return static_cast<int>(m_panels.size()); }
  QLabel* panel(int index) const { return m_panels.at(index).label; }
  int panelWidth(int index) const { return m_panels.at(index).width; }
  void setPanelWidth(int index, int width);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void placePanels();

  struct Panel {
    QLabel* label;
    int width;
  };
  QVector<Panel> m_panels;
};
