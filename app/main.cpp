// Program entry of the monitor: application title, the data module, the
// main window, then the message loop until the window closes.
#include <QApplication>

#include "app/TForm1.h"
#include "plan/DataModule.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zova-Monitor"));
  QApplication::setApplicationDisplayName(QStringLiteral("Zova-Monitor"));
  DM = std::make_unique<TDM>();  // both connections closed
  int result = 0;
  {
    TForm1 form;  // runs FormCreate
    form.show();
    result = QApplication::exec();
  }
  DM.reset();
  return result;
}
