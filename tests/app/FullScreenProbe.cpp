// zova-fullscreen-probe: drives the main window in and out of full screen on
// a real display, so that a script can read the window's geometry back from
// the X server after each step (scripts/check-fullscreen).
//
// Reads the settings as the monitor does ($XDG_CONFIG_HOME). For each step it
// prints one line "STEP <name> <window id>" once the window has settled, then
// waits for a line on standard input before the next step. Steps: normal,
// full, back, maximised, full-from-maximised, back-to-maximised.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/TForm1.h"
#include "plan/DataModule.h"

namespace {

void settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

void step(const char* name, TForm1& form) {
  settle(700);
  std::printf("STEP %s %llu\n", name, static_cast<unsigned long long>(form.winId()));
  std::fflush(stdout);
  std::string line;
  std::getline(std::cin, line);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zova-Monitor"));
  DM = std::make_unique<TDM>();
  {
    TForm1 form;
    form.show();
    step("normal", form);
    form.FullScreen(true);
    step("full", form);
    form.FullScreen(false);
    step("back", form);
    form.showMaximized();
    step("maximised", form);
    form.FullScreen(true);
    step("full-from-maximised", form);
    form.FullScreen(false);
    step("back-to-maximised", form);
    form.close();
  }
  DM.reset();
  return 0;
}
