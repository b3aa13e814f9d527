// Program entry of the monitor: application title, the data module, the
// main window, then the message loop until the window closes.
#include <QApplication>

#include "app/TForm1.h"
#include "plan/DataModule.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The application's name is the title of its message boxes. No display
  // name is set: the window system would append it to the window caption.
  QApplication::setApplicationName(QStringLiteral("Zova-Monitor"));
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
