// Status bar panels laid out left to right (see StatusBar.h).
#include "widgets/StatusBar.h"

#include <QResizeEvent>

namespace {
constexpr int kPanelGap = 2;  // between two panels
}

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {}

QLabel* StatusBar::addPanel(int width) {
  auto* label = new QLabel(this);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  m_panels.append({label, qMax(0, width)});
  placePanels();
  return label;
}

void StatusBar::setPanelWidth(int index, int width) {
  m_panels[index].width = qMax(0, width);
  placePanels();
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placePanels();
}

void StatusBar::placePanels() {
  // A bar narrower than all panels together takes the missing width from
  // the first panel (down to none), so that the panels after it stay whole.
  int others = 0;
  for (int i = 1; i < m_panels.size(); ++i) others += kPanelGap + m_panels[i].width;
  int x = 0;
  for (int i = 0; i < m_panels.size(); ++i) {
    const bool last = i == m_panels.size() - 1;
    int width = m_panels[i].width;
    if (last)
      width = qMax(width, this->width() - x);
    else if (i == 0)
      width = qBound(0, this->width() - others, width);
    // Children beyond the bar's right edge are clipped by it.
    m_panels[i].label->setGeometry(x, 0, width, height());
    x += width + kPanelGap;
  }
}
