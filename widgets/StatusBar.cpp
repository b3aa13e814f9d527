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
  int x = 0;
  for (int i = 0; i < m_panels.size(); ++i) {
    const bool last = i == m_panels.size() - 1;
    const int width = last ? qMax(m_panels[i].width, this->width() - x) : m_panels[i].width;
    // Children beyond the bar's right edge are clipped by it.
    m_panels[i].label->setGeometry(x, 0, width, height());
    x += width + kPanelGap;
  }
}
