// Benchmark, run by hand: how soon the monitor shows a plan. Prints the
// figures; not part of the test run.
//
//   zova-bench-refresh start [ROUNDS]
//       a process start to the first complete page, the first start ever
//       (no kept copy: the quiet time) and the starts after it (from the
//       copy kept by the run before), each against a headless Chromium
//       drawing the same page (its rows as an HTML table) into a picture,
//       when /usr/bin/chromium is there
//   zova-bench-refresh renamed|inplace [ROUNDS]
//       from the end of a new export (a file renamed over the plan, or the
//       plan rewritten in place and closed) to the new page on screen, with
//       the timer poll out of the way: only the file watch brings it
//
// zova-demo's plan is the page; the plan folder is a local one.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <unistd.h>

#include "DemoFiles.h"
#include "DemoPlan.h"
#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "platform/Folders.h"

namespace {

QElapsedTimer g_sinceMain;

qint64 median(QList<qint64> values) {
  std::sort(values.begin(), values.end());
  return values.isEmpty() ? -1 : values[values.size() / 2];
}

// Runs the event loop until `done` (or 20 s).
bool waitFor(const std::function<bool()>& done) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < 20000) QApplication::processEvents(QEventLoop::AllEvents, 2);
  return done();
}

// The child of "start": one monitor start; prints the milliseconds from
// main() to the first complete page, then the page's rows as an HTML table.
int firstPage(const QString& htmlFile) {
  DM = std::make_unique<TDM>();
  TForm1 form;
  form.resize(1280, 800);
  form.show();
  const bool shown = waitFor([&] { return form.LayoutCount > 0 && Plan.AktuellerTag && form.Grid->isVisible(); });
  // A page is complete once painted.
  form.repaint();
  const qint64 ms = g_sinceMain.elapsed();
  QFile html(htmlFile);
  if (html.open(QIODevice::WriteOnly)) {
    QString text = "<!doctype html><meta charset=utf-8><body style='margin:0;font:16px sans-serif'><h1>" +
                   form.Label1->text().toHtmlEscaped() + "</h1><table border=1>";
    for (int row = 0; row < form.Grid->RowCount(); ++row) {
      text += "<tr>";
      for (int col = 0; col < form.Grid->ColCount(); ++col)
        text += "<td>" + form.Grid->Cell(col, row).toHtmlEscaped() + "</td>";
      text += "</tr>";
    }
    html.write((text + "</table>").toUtf8());
  }
  std::printf("%lld\n", shown ? ms : -1);
  form.close();
  DM.reset();
  return shown ? 0 : 1;
}

int starts(int rounds, const QString& work) {
  const QString self = QCoreApplication::applicationFilePath();
  const QString html = work + "/page.html";
  QList<qint64> later;
  qint64 first = -1;
  for (int round = 0; round <= rounds; ++round) {
    QProcess child;
    child.start(self, {"first-page", html});
    child.waitForFinished(60000);
    const qint64 ms = QString::fromUtf8(child.readAllStandardOutput()).trimmed().toLongLong();
    if (round == 0)
      first = ms;
    else
      later << ms;
  }
  QList<qint64> browser;
  const QString chromium = "/usr/bin/chromium";
  if (QFile::exists(chromium)) {
    for (int round = 0; round < rounds; ++round) {
      QElapsedTimer clock;
      clock.start();
      QProcess::execute(chromium, {"--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,800",
                                   "--user-data-dir=" + work + "/chromium", "--screenshot=" + work + "/page.png",
                                   "file://" + html});
      browser << clock.elapsed();
    }
  }
  std::printf("process start to the first complete page (median of %d):\n", rounds);
  std::printf("  monitor, first start ever (no kept copy):  %6lld ms\n", first);
  std::printf("  monitor, later starts (kept copy):         %6lld ms\n", median(later));
  if (browser.isEmpty()) {
    std::printf("  headless Chromium: not installed (apt-get install chromium)\n");
  } else {
    const double b = double(median(browser));
    std::printf("  headless Chromium, the same rows as HTML:  %6lld ms (start, load, picture)\n", median(browser));
    std::printf("  ratio monitor/Chromium: first start %.2fx, later starts %.2fx\n", double(first) / b,
                double(median(later)) / b);
  }
  return 0;
}

// The bytes of the plan exported at `now`, as zova-demo writes them.
QByteArray exportAt(TDateTime now, const QString& scratch) {
  demo::planDatabase(now, true).write(scratch);
  QFile file(scratch);
  file.open(QIODevice::ReadOnly);
  return file.readAll();
}

int exports(bool renamed, int rounds, const QString& work) {
  const QString data = work + "/data";
  demo::writeDemo(data, work + "/config", false, zdt::now());
  DM = std::make_unique<TDM>();
  TForm1 form;
  form.resize(1280, 800);
  form.show();
  waitFor([&] { return form.LayoutCount > 0 && Plan.AktuellerTag; });
  form.UpdateTimer->stop();
  const QString plan = data + "/Zova-Internet.mdb";
  QList<qint64> ms;
  for (int round = 1; round <= rounds; ++round) {
    // Each export a minute later: a new Druckdatum, so a new version.
    const QByteArray bytes = exportAt(zdt::now() + round / 1440.0, work + "/next.mdb");
    QApplication::processEvents();
    const int before = form.LayoutCount;
    if (renamed) {
      QFile next(data + "/Zova-Internet.new");
      next.open(QIODevice::WriteOnly);
      next.write(bytes);
      next.close();
      ::rename(QFile::encodeName(next.fileName()).constData(), QFile::encodeName(plan).constData());
    } else {
      const int fd = ::open(QFile::encodeName(plan).constData(), O_WRONLY | O_TRUNC);
      for (qsizetype done = 0; done < bytes.size(); done += 65536)
        if (::write(fd, bytes.constData() + done, size_t(qMin<qsizetype>(65536, bytes.size() - done))) < 0) break;
      ::close(fd);
    }
    QElapsedTimer clock;
    clock.start();
    waitFor([&] { return form.LayoutCount != before; });
    ms << (form.LayoutCount != before ? clock.elapsed() : -1);
    std::printf("round %d: %lld ms from the end of the export to the new page\n", round, ms.last());
    // Apart by more than a poll's work, so rounds do not overlap.
    QElapsedTimer rest;
    rest.start();
    while (rest.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  std::printf("%s export, local folder: median %lld ms, max %lld ms over %d rounds\n",
              renamed ? "renamed" : "in-place", median(ms), *std::max_element(ms.begin(), ms.end()), rounds);
  form.close();
  DM.reset();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_sinceMain.start();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QString mode = argc > 1 ? argv[1] : QString();
  if (mode == "first-page") {
    QApplication app(argc, argv);
    return firstPage(argv[2]);
  }
  if (mode != "start" && mode != "renamed" && mode != "inplace") {
    std::fprintf(stderr, "usage: zova-bench-refresh start|renamed|inplace [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
  QTemporaryDir work;
  qputenv("XDG_CONFIG_HOME", (work.path() + "/config").toUtf8());
  qputenv("XDG_CACHE_HOME", (work.path() + "/cache").toUtf8());
  if (mode == "start") {
    demo::writeDemo(work.path() + "/data", work.path() + "/config", false, zdt::now());
    QCoreApplication app(argc, argv);
    return starts(rounds, work.path());
  }
  QApplication app(argc, argv);
  return exports(mode == "renamed", rounds, work.path());
}
