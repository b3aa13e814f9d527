// The folder picker through QFileDialog, or through a test handler.
#include "platform/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace {

folderpicker::Handler& handler() {
  static folderpicker::Handler h;
  return h;
}

}  // namespace

namespace folderpicker {

QString pickFolder(QWidget* owner, const QString& instruction) {
  if (handler()) return handler()(owner, instruction);
  return QFileDialog::getExistingDirectory(owner, instruction, QDir::rootPath());
}

void setHandler(Handler h) { handler() = std::move(h); }

}  // namespace folderpicker
