// Check of the wall during a plan-file outage, run by
// scripts/check-share-outage: the monitor in automatic mode (ScrollTime 2 s,
// a poll every 4 s) while its plan file does not answer for 30 s. Passes when
// no moment shows the no-connection text or an empty day chooser, the pages
// never stand still longer than ScrollTime + 0.5 s, and the export written
// meanwhile is on screen at most 6 s after the file answers. Prints the
// figures.
//
// Usage: zova-check-outage MODE MOUNTED_DIR BACKING_DIR FLAG_FILE
//   hang     the share (MOUNTED_DIR, serving BACKING_DIR) stops answering
//            while FLAG_FILE exists
//   fifo     a FIFO stands in place of the plan file (in BACKING_DIR)
//   removed  the plan file is gone (from BACKING_DIR)
//   start    a monitor that ran before on the share starts while it hangs:
//            the copy kept from that run must be on screen within 3 s
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

#include "DemoFiles.h"
#include "WallSettings.h"
#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"

namespace {

constexpr int kScrollMs = 2000;
constexpr int kPollEveryMs = 4000;
constexpr qint64 kOutageMs = 30000;
const QString kNoConnection = QStringLiteral("Keine Verbindung zur Datenbank! Press F10");

QString todaysDruckdatum() {
  const TStatItemRef today = Plan.StatListAula.FindByDate(zdt::today());
  return today ? today->Druckdatum : QString();
}

void runEvents(qint64 ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: zova-check-outage hang|fifo|removed|start MOUNTED_DIR BACKING_DIR FLAG_FILE\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config, cache;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
  QApplication app(argc, argv);
  const QString mode = argv[1];
  const QString mounted = QDir(argv[2]).absolutePath();
  const QString backing = QDir(argv[3]).absolutePath();
  const QString flag = argv[4];
  const QString plan = backing + "/Zova-Internet.mdb";
  const bool onShare = mode == "hang" || mode == "start";
  QFile::remove(flag);
  demo::writeDemo(backing, QString(), false, zdt::now());
  writeWallSettings(config.path(), onShare ? mounted : backing, kScrollMs / 1000);

  DM = std::make_unique<TDM>();
  if (mode == "start") {
    // The run before: its adopted copy is kept.
    TForm1 before;
    before.show();
    // Until the plan it shows is kept (a poll takes it when the first load could not).
    QElapsedTimer waited;
    waited.start();
    const QDir kept(cache.path() + "/Kelvaro/Zova-Monitor");
    while (kept.entryList({"Plan-*.mdb"}, QDir::Files).isEmpty() && waited.elapsed() < 20000) {
      if (!before.PollPending()) before.ForceUpdate();
      runEvents(200);
    }
    before.close();
    DM = std::make_unique<TDM>();
    Plan = PlanState{};
    QFile(flag).open(QIODevice::WriteOnly);
  }

  int result = 0;
  QElapsedTimer clock;
  clock.start();
  const qint64 startedMs = 0;  // the clock starts with the monitor
  auto form = std::make_unique<TForm1>();
  form->show();
  QList<qint64> ticks;
  QObject::connect(form->ScrollTimer, &QTimer::timeout, [&] { ticks << clock.elapsed(); });
  QTimer polls;
  QObject::connect(&polls, &QTimer::timeout, form.get(), &TForm1::UpdateTimerTimer);
  polls.start(kPollEveryMs);

  const qint64 outageAt = mode == "start" ? 0 : 3000;
  const qint64 answerAt = outageAt + (mode == "start" ? 15000 : kOutageMs);
  const qint64 endAt = answerAt + 10000;
  bool out = mode == "start";
  bool answered = false;
  qint64 planShownAt = -1, noteShownAt = -1, newShownAt = -1;
  int blankFrames = 0, emptyChooserFrames = 0;
  QString before = todaysDruckdatum();
  while (clock.elapsed() < endAt) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    const qint64 t = clock.elapsed();
    const bool planOnScreen = Plan.AktuellerTag && form->Label1->text() != kNoConnection;
    if (planOnScreen && planShownAt < 0) planShownAt = t;
    if (noteShownAt < 0 && form->StatusPanels[2]->text().contains(QStringLiteral("keine Verbindung seit")))
      noteShownAt = t;
    if (planShownAt >= 0 && !planOnScreen) ++blankFrames;
    if (planShownAt >= 0 && form->DBox->count() == 0) ++emptyChooserFrames;
    if (!out && t >= outageAt) {
      out = true;
      if (mode == "hang") {
        QFile(flag).open(QIODevice::WriteOnly);
      } else {
        QFile::rename(plan, backing + "/weg.mdb");
        if (mode == "fifo") mkfifo(QFile::encodeName(plan).constData(), 0600);
      }
    }
    if (out && !answered && t >= answerAt) {
      // A new export was written meanwhile; then the file answers again.
      if (mode == "fifo") QFile::remove(plan);
      before = todaysDruckdatum();
      demo::writeDemo(backing, QString(), true, zdt::now() + 1.0 / 24);
      QFile::remove(flag);
      answered = true;
    }
    if (answered && newShownAt < 0 && todaysDruckdatum() != before && form->DBox->count() > 0) newShownAt = t;
  }
  polls.stop();

  qint64 longestTick = 0;
  for (int i = 1; i < ticks.size(); ++i) longestTick = std::max(longestTick, ticks[i] - ticks[i - 1]);
  std::printf("%s: outage from %lld ms to %lld ms, ScrollTime %d ms, a poll every %d ms\n", qPrintable(mode),
              outageAt, answerAt, kScrollMs, kPollEveryMs);
  std::printf("  plan on screen %lld ms after the start; status note after %lld ms\n", planShownAt - startedMs,
              noteShownAt < 0 ? -1 : noteShownAt - startedMs);
  std::printf("  moments without the plan: %d; with an empty day chooser: %d\n", blankFrames, emptyChooserFrames);
  std::printf("  longest pause between two pages: %lld ms (%lld ticks)\n", longestTick,
              static_cast<long long>(ticks.size()));
  std::printf("  new export on screen %s\n",
              newShownAt < 0 ? "never" : qPrintable(QString("%1 ms after the file answered").arg(newShownAt - answerAt)));
  if (planShownAt < 0 || blankFrames > 0 || emptyChooserFrames > 0 || longestTick > kScrollMs + 500 ||
      newShownAt < 0 || newShownAt - answerAt > 6000 || noteShownAt < 0)
    result = 1;
  if (mode == "start" && planShownAt - startedMs > 3000) result = 1;
  std::printf("  %s\n", result == 0 ? "ok" : "FAIL");
  form.reset();
  DM.reset();
  return result;
}
