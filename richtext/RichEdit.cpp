// Notice box widget; see RichEdit.h.
#include "richtext/RichEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextDocument>

#include <cmath>

RichEdit::RichEdit(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setBackgroundColor(QColor());
  connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
          &RichEdit::requestResize);
}

RichEdit::~RichEdit() {
  // The document outlives this part of the object while QTextEdit is torn
  // down; it must not call back into it.
  disconnect(document()->documentLayout(), nullptr, this, nullptr);
}

void RichEdit::setBackgroundColor(const QColor& colour) {
  m_background = colour;
  QPalette pal = palette();
  const QColor fill = colour.isValid() ? colour : QColor(Qt::transparent);
  pal.setColor(QPalette::Base, fill);
  pal.setColor(QPalette::Window, fill);
  setPalette(pal);
  setAutoFillBackground(false);
  viewport()->setAutoFillBackground(colour.isValid());
}

bool RichEdit::hasLines() const { return !document()->isEmpty(); }

QRect RichEdit::requestedRect() const {
  const int height = static_cast<int>(std::ceil(document()->size().height()));
  return QRect(QPoint(0, 0), QPoint(viewport()->width() - 1, height));
}

void RichEdit::requestResize() {
  if (m_measuring)
    return;
  m_measuring = true;
  const QRect requested = requestedRect();
  m_measuring = false;
  emit resizeRequest(requested);
}

void RichEdit::resizeEvent(QResizeEvent* event) {
  QTextEdit::resizeEvent(event);
  // A new width reflows the text; the layout usually reports the new size
  // itself, but not when the height happens to stay, so ask here as well.
  if (viewport()->width() != m_lastViewportWidth) {
    m_lastViewportWidth = viewport()->width();
    requestResize();
  }
}
