// Benchmark: how long from a new export of the plan (zova-demo --update) to
// the new page on screen, with the timer poll out of the way, so only the
// file watch brings it. Prints the figures; not part of the test run.
//
// Usage: zova-bench-refresh [rounds]   (zova-demo must sit beside it; each
// round waits for the next full minute)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "app/TForm1.h"
#include "platform/Folders.h"
#include "plan/DataModule.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir work;
  qputenv("XDG_CONFIG_HOME", (work.path() + "/config").toUtf8());
  QApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
  const QString demo = folders::programFolder() + "zova-demo";
  const QString data = work.path() + "/data";
  if (QProcess::execute(demo, {"--config-home", work.path() + "/config", data}) != 0) {
    std::fprintf(stderr, "zova-demo failed\n");
    return 1;
  }
  DM = std::make_unique<TDM>();
  TForm1 form;
  form.resize(1280, 800);
  form.show();
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  form.UpdateTimer->stop();
  QList<qint64> ms;
  // The export stamps Druckdatum to the minute, and only a new Druckdatum is
  // a new version: each round waits for a new minute first.
  int lastMinute = QTime::currentTime().minute();
  for (int round = 0; round < rounds; ++round) {
    while (QTime::currentTime().minute() == lastMinute) QApplication::processEvents(QEventLoop::AllEvents, 200);
    lastMinute = QTime::currentTime().minute();
    const int before = form.LayoutCount;
    QElapsedTimer clock;
    clock.start();
    QProcess::execute(demo, {"--update", data});
    while (form.LayoutCount == before && clock.elapsed() < 20000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ms << clock.elapsed();
    std::printf("round %d: %lld ms from export start to new page%s\n", round + 1, ms.last(),
                form.LayoutCount == before ? " (no new page!)" : "");
  }
  std::sort(ms.begin(), ms.end());
  std::printf("median %lld ms, max %lld ms over %d rounds (debounce 500 ms included)\n", ms[ms.size() / 2], ms.last(),
              rounds);
  DM.reset();
  return 0;
}
