// Plain message boxes through QMessageBox, or through a test handler.
#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

std::function<void(const QString&, const QString&)>& handler() {
  static std::function<void(const QString&, const QString&)> h;
  return h;
}

}  // namespace

namespace msgbox {

void show(const QString& text, const QString& caption, Icon icon) {
  const QString title = caption.isEmpty() ? QApplication::applicationDisplayName() : caption;
  if (handler()) {
    handler()(title, text);
    return;
  }
  QMessageBox box(icon == Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title, text,
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void notify(const QString& text, QWidget* parent, int closeAfterMs) {
  const QString title = QApplication::applicationDisplayName();
  if (handler()) {
    handler()(title, text);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                              parent ? parent : QApplication::activeWindow());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  QTimer::singleShot(closeAfterMs, box, &QWidget::close);
  box->show();
}

void setHandler(std::function<void(const QString&, const QString&)> h) { handler() = std::move(h); }

Recorder::Recorder() {
  setHandler([this](const QString& caption, const QString& text) {
    captions << caption;
    texts << text;
  });
}

Recorder::~Recorder() { setHandler({}); }

}  // namespace msgbox
