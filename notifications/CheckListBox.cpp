// Lines, tick boxes and the owner painting of the check-list box.
#include "notifications/CheckListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <cassert>

namespace {

enum Role { RecordRole = Qt::UserRole, CheckedRole, EnabledRole, HeaderRole };

constexpr int kCheckSize = 13;  // the tick box itself
constexpr int kCheckMargin = 2;

}  // namespace

// Paints a line: background, tick box, then the owner's text area.
class CheckListBoxDelegate : public QStyledItemDelegate {
 public:
  explicit CheckListBoxDelegate(CheckListBox* box) : QStyledItemDelegate(box), m_box(box) {}

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(m_box->viewport()->width(), m_box->lineHeight());
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int row = index.row();
    CheckListBox::LineState state;
    state.selected = option.state & QStyle::State_Selected;
    state.header = m_box->header(row);
    state.enabled = m_box->lineEnabled(row);
    state.checked = m_box->checked(row);
    const QPalette& pal = m_box->palette();
    state.fill = state.selected ? pal.color(QPalette::Active, QPalette::Highlight) : pal.color(QPalette::Base);
    state.text = state.selected ? pal.color(QPalette::Active, QPalette::HighlightedText) : pal.color(QPalette::Text);
    QRect area = option.rect;
    painter->save();
    if (state.header) {
      state.fill = m_box->headerBackgroundColor();
      state.text = m_box->headerColor();
    } else {
      painter->fillRect(QRect(area.left(), area.top(), CheckListBox::checkWidth(), area.height()), pal.color(QPalette::Base));
      QStyleOptionButton check;
      check.rect = m_box->checkBoxRect(row);
      check.state = (state.checked ? QStyle::State_On : QStyle::State_Off) |
                    (state.enabled ? QStyle::State_Enabled : QStyle::State_None);
      check.palette = pal;
      m_box->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &check, painter, m_box);
      area.setLeft(area.left() + CheckListBox::checkWidth());
      if (!state.enabled) state.text = pal.color(QPalette::Disabled, QPalette::Text);
    }
    if (m_box->drawItem) {
      m_box->drawItem(*painter, row, area, state);
    } else {
      painter->fillRect(area, state.fill);
      painter->setPen(state.text);
      painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_box->lineText(row));
    }
    painter->restore();
  }

 private:
  CheckListBox* m_box;
};

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new CheckListBoxDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (itemIndex() >= 0) emit lineClicked();
  });
}

int CheckListBox::checkWidth() { return kCheckSize + 2 * kCheckMargin; }

QRect CheckListBox::checkBoxRect(int index) const {
  const QRect line = visualItemRect(item(index));
  return QRect(line.left() + kCheckMargin, line.top() + (line.height() - kCheckSize) / 2, kCheckSize, kCheckSize);
}

int CheckListBox::addLine(const QString& text, TNachrichtsatz* record) {
  auto* line = new QListWidgetItem(text, this);
  line->setData(RecordRole, QVariant::fromValue(static_cast<void*>(record)));
  line->setData(CheckedRole, false);
  line->setData(EnabledRole, true);
  line->setData(HeaderRole, false);
  return count() - 1;
}

QString CheckListBox::lineText(int index) const { return item(index)->text(); }

TNachrichtsatz* CheckListBox::record(int index) const {
  return static_cast<TNachrichtsatz*>(item(index)->data(RecordRole).value<void*>());
}

bool CheckListBox::checked(int index) const { return item(index)->data(CheckedRole).toBool(); }

void CheckListBox::setChecked(int index, bool on) { item(index)->setData(CheckedRole, on); }

bool CheckListBox::lineEnabled(int index) const { return item(index)->data(EnabledRole).toBool(); }

void CheckListBox::setLineEnabled(int index, bool on) { item(index)->setData(EnabledRole, on); }

bool CheckListBox::header(int index) const { return item(index)->data(HeaderRole).toBool(); }

void CheckListBox::setHeader(int index, bool on) { item(index)->setData(HeaderRole, on); }

int CheckListBox::itemIndex() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void CheckListBox::setHeaderColor(const QColor& color) {
  m_headerColor = color;
  viewport()->update();
}

void CheckListBox::setHeaderBackgroundColor(const QColor& color) {
  m_headerBackgroundColor = color;
  viewport()->update();
}

void CheckListBox::setBackgroundColor(const QColor& color) {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, color);
  setPalette(pal);
}

void CheckListBox::setLineHeight(int pixels) {
  assert(pixels > 0);
  m_lineHeight = pixels;
  doItemsLayout();
}

bool CheckListBox::toggleCheck(int index) {
  if (index < 0 || index >= count() || header(index) || !lineEnabled(index)) return false;
  setChecked(index, !checked(index));
  emit clickCheck();
  return true;
}

void CheckListBox::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const QModelIndex index = indexAt(at);
  m_tickPress = event->button() == Qt::LeftButton && index.isValid() && checkBoxRect(index.row()).contains(at);
  if (!m_tickPress) {
    QListWidget::mousePressEvent(event);
    return;
  }
  // A click into a tick box is handled here whole: the view's own handling
  // would select again on release, after the owner may have rebuilt the lines.
  setFocus(Qt::MouseFocusReason);
  setCurrentRow(index.row());
  toggleCheck(index.row());
}

void CheckListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const QModelIndex index = indexAt(at);
  if (event->button() == Qt::LeftButton && index.isValid() && checkBoxRect(index.row()).contains(at)) {
    mousePressEvent(event);  // the second click of a double click ticks again
    return;
  }
  QListWidget::mouseDoubleClickEvent(event);
}

void CheckListBox::mouseReleaseEvent(QMouseEvent* event) {
  if (m_tickPress) {
    m_tickPress = false;
    return;
  }
  QListWidget::mouseReleaseEvent(event);
}

void CheckListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    toggleCheck(itemIndex());
    return;
  }
  QListWidget::keyPressEvent(event);
}
