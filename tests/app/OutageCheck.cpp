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
//   notifications  the plan is local, Benachrichtigungen.mdb lies on the
//            share, which hangs (see notificationHang)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/stat.h>

#include "DemoFiles.h"
#include "WallSettings.h"
#include "app/TForm1.h"
#include "notifications/TMyNachrichtDLG.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "platform/MessageBox.h"

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

// The notification share hangs for 40 s from the start, with a check at
// 10 s and 25 s (as the timer runs them) and a click on the telephone at
// 5 s; then it answers, the dialog is opened and filled, the share hangs
// again (for longer than the two deadlines of opening the file) and a line
// is ticked off (the tick must be taken back, with a message that the
// database does not answer); then it answers again and refuses the write
// (the share is read-only), which must be said too. Passes when the plan is
// on screen no later than 0.5 s after a start without notifications, the
// window never stands still longer than 0.5 s, and both tick-offs are taken
// back with a message.
int notificationHang(const QString& configHome, const QString& mounted, const QString& backing,
                     const QString& local, const QString& flag) {
  demo::writeDemo(local, QString(), false, zdt::now());
  QFile::remove(backing + "/Benachrichtigungen.mdb");
  QFile::copy(local + "/Benachrichtigungen.mdb", backing + "/Benachrichtigungen.mdb");
  QStringList messages;
  msgbox::setHandler([&](const QString&, const QString& text) { messages << text; });

  // How fast the plan comes without notifications.
  writeWallSettings(configHome, local, kScrollMs / 1000);
  qint64 withoutMs = -1;
  {
    QElapsedTimer clock;
    clock.start();
    TForm1 form;
    form.show();
    while (!(Plan.AktuellerTag && form.Grid->isVisible()) && clock.elapsed() < 20000) runEvents(5);
    withoutMs = clock.elapsed();
    form.close();
  }
  DM = std::make_unique<TDM>();
  Plan = PlanState{};

  writeWallSettings(configHome, local, kScrollMs / 1000, mounted);
  QFile(flag).open(QIODevice::WriteOnly);
  QElapsedTimer clock;
  clock.start();
  TForm1 form;
  form.show();
  qint64 planMs = -1;
  while (!(Plan.AktuellerTag && form.Grid->isVisible()) && clock.elapsed() < 20000) runEvents(5);
  planMs = clock.elapsed();

  qint64 last = clock.elapsed(), longestStill = 0, longestAt = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (now - last > longestStill) {
      longestStill = now - last;
      longestAt = now;
    }
    last = now;
  });
  heartbeat.start(20);
  const auto at = [&](qint64 ms, std::function<void()> action) {
    QTimer::singleShot(std::max<qint64>(0, ms - clock.elapsed()), &form, std::move(action));
  };
  // Ticks the first open line of the dialog, as a click does; false when
  // there is none.
  const auto tickFirstOpen = [] {
    if (!MyNachrichtDLG) return false;
    CheckListBox* box = MyNachrichtDLG->Box;
    for (int i = 0; i < box->lineCount(); ++i)
      if (box->record(i) && box->lineEnabled(i) && !box->checked(i)) {
        box->item(i)->setSelected(true);
        return box->toggleCheck(i);
      }
    return false;
  };
  int ticked = 0, takenBack = 0;
  QStringList tickMessages;
  at(5000, [&] { form.TelefonBtnClick(); });  // blocks in the dialog's own loop until it closes
  at(10000, [&] { form.BenachrichtigungstimerTimer(); });
  at(25000, [&] { form.BenachrichtigungstimerTimer(); });
  at(40000, [&] { QFile::remove(flag); });
  at(45000, [&] { form.BenachrichtigungstimerTimer(); });
  at(47000, [&] {
    if (MyNachrichtDLG) MyNachrichtDLG->reject();
  });
  at(48000, [&] { form.TelefonBtnClick(); });
  at(52000, [&] { QFile(flag).open(QIODevice::WriteOnly); });
  at(53000, [&] {
    if (tickFirstOpen()) ++ticked;
  });
  at(78000, [&] { QFile::remove(flag); });
  at(80000, [&] {
    if (tickFirstOpen()) ++ticked;
  });
  at(84000, [&] {
    if (MyNachrichtDLG) MyNachrichtDLG->reject();
  });
  runEvents(86000);
  heartbeat.stop();
  const QString failure = QString::fromUtf8("Die Benachrichtigung wurde nicht als erledigt gespeichert!");
  for (const QString& text : messages)
    if (text.startsWith(failure)) {
      ++takenBack;
      tickMessages << text.section('\r', 1);
    }

  std::printf("notifications: the share holding Benachrichtigungen.mdb hangs from 0 s to 40 s and 52 s to 78 s\n");
  std::printf("  plan on screen %lld ms after the start (%lld ms without notifications)\n", planMs, withoutMs);
  std::printf("  longest stand-still of the window: %lld ms (at %lld ms)\n", longestStill, longestAt);
  std::printf("  tick-offs: %d, taken back with a message: %d\n", ticked, takenBack);
  for (const QString& reason : tickMessages) std::printf("    %s\n", qPrintable(reason));
  for (const QString& text : messages)
    if (!text.startsWith(failure)) std::printf("  message: %s\n", qPrintable(QString(text).replace('\r', " / ")));
  // First the share does not answer, then it refuses the write. A worker
  // started while killed ones still hang on the share can now and then fail
  // otherwise than at its deadline; the tick is taken back all the same.
  const bool reasonsSaid = tickMessages.size() == 2 &&
                           (tickMessages[0].contains(QStringLiteral("antwortet nicht")) ||
                            tickMessages[0].contains(QStringLiteral("kann nicht geschrieben werden"))) &&
                           tickMessages[1].contains(QString::fromUtf8("schreibgeschützt"));
  const bool ok = planMs <= withoutMs + 500 && longestStill <= 500 && ticked == 2 && takenBack == 2 && reasonsSaid;
  std::printf("  %s\n", ok ? "ok" : "FAIL");
  msgbox::setHandler({});
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: zova-check-outage hang|fifo|removed|start|notifications MOUNTED_DIR BACKING_DIR FLAG_FILE\n");
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
  if (mode == "notifications") {
    QTemporaryDir local;
    DM = std::make_unique<TDM>();
    const int result = notificationHang(config.path(), mounted, backing, local.path(), flag);
    DM.reset();
    return result;
  }
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
