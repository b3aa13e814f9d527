// Benchmark: the monitor in automatic mode while its plan file lies on a
// share that stops answering (tools/testtools/stalling-share.py, mounted by
// scripts/bench-stalled-share). Pages must go on at their ScrollTime while
// polls run into the stalled share; when the share answers again, the next
// poll shows the export written meanwhile. Prints the figures; not part of
// the test run.
//
// Usage: zova-bench-stall MOUNTED_DIR BACKING_DIR FLAG_FILE [SECONDS]
//   MOUNTED_DIR  the share's mount point (Datenpfad)
//   BACKING_DIR  the folder the share serves (the demo is written there)
//   FLAG_FILE    while it exists the share does not answer
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "DemoFiles.h"
#include "WallSettings.h"
#include "app/TForm1.h"
#include "db/worker/WorkerClient.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"

namespace {

constexpr int kScrollMs = 1000;
constexpr int kPollEveryMs = 4000;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: zova-bench-stall MOUNTED_DIR BACKING_DIR FLAG_FILE [SECONDS]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  const QString mounted = QDir(argv[1]).absolutePath();
  const QString backing = QDir(argv[2]).absolutePath();
  const QString flag = argv[3];
  const int seconds = argc > 4 ? std::max(30, atoi(argv[4])) : 60;
  QFile::remove(flag);
  demo::writeDemo(backing, QString(), false, zdt::now());
  writeWallSettings(config.path(), mounted, kScrollMs / 1000);

  DM = std::make_unique<TDM>();
  int result = 0;
  {
    TForm1 form;
    form.show();
    QList<qint64> ticks;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(form.ScrollTimer, &QTimer::timeout, [&] { ticks << clock.elapsed(); });
    QTimer polls;
    QObject::connect(&polls, &QTimer::timeout, &form, &TForm1::UpdateTimerTimer);
    polls.start(kPollEveryMs);
    const qint64 stallAt = 3000;
    const qint64 answerAt = (seconds - 15) * 1000LL;
    bool stalled = false;
    bool answered = false;
    qint64 newExportAt = -1;
    qint64 shownAt = -1;
    QString shownBefore;
    int failedPolls = 0;
    int maxHanging = 0;
    while (clock.elapsed() < seconds * 1000LL) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      const qint64 t = clock.elapsed();
      maxHanging = std::max(maxHanging, db::worker::unreapedWorkers());
      if (!form.DBVerbunden) ++failedPolls;
      if (!stalled && t >= stallAt) {
        QFile(flag).open(QIODevice::WriteOnly);
        stalled = true;
      }
      if (stalled && !answered && t >= answerAt) {
        // A new export was written meanwhile; then the share answers again.
        demo::writeDemo(backing, QString(), true, zdt::now() + 1.0 / 24);
        QFile::remove(flag);
        answered = true;
        newExportAt = t;
        const TStatItemRef today = Plan.StatListAula.FindByDate(zdt::today());
        shownBefore = today ? today->Druckdatum : QString();
      }
      if (answered && shownAt < 0) {
        // Merged by a poll: today's record carries the new export's Druckdatum.
        const TStatItemRef today = Plan.StatListAula.FindByDate(zdt::today());
        if (today && today->Druckdatum != shownBefore) shownAt = t;
      }
    }
    polls.stop();
    QList<qint64> late;
    for (int i = 1; i < ticks.size(); ++i) late << std::abs(ticks[i] - ticks[i - 1] - kScrollMs);
    std::sort(late.begin(), late.end());
    std::printf("%d s, ScrollTime %d ms, a poll every %d ms, share stalled from %lld ms to %lld ms\n", seconds,
                kScrollMs, kPollEveryMs, stallAt, answerAt);
    if (late.isEmpty()) {
      std::printf("no ScrollTimer ticks!\n");
      result = 1;
    } else {
      std::printf("ticks %lld, distance from schedule: median %lld ms, max %lld ms\n",
                  static_cast<long long>(ticks.size()), late[late.size() / 2], late.last());
    }
    std::printf("killed workers still hanging at most: %d\n", maxHanging);
    std::printf("new export merged by a poll %s\n",
                shownAt >= 0 ? qPrintable(QString("%1 ms after the share answered").arg(shownAt - newExportAt))
                             : "never");
    if (shownAt < 0 || late.isEmpty() || late.last() > 100) result = 1;
  }
  DM.reset();
  return result;
}
