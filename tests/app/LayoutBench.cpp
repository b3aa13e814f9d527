// Benchmark: laying out a page of 5 000 substitution rows (Showdaten) and
// its column widths alone (CalcSpaltenbreiten), offscreen, on rows whose
// columns repeat a handful of values as real plans do. Prints the median
// and the range over the runs; not part of the test run.
//
// Usage: zova-bench-layout [rows] [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"

namespace {

void fillPlan(int rows) {
  auto day = std::make_shared<TStatItem>();
  day->Datum = zdt::today();
  day->DruckZeit = zdt::today();
  day->Ueberschrift = "Vertretungsplan";
  day->Datumlang = "Mittwoch, 9. Dezember 2026";
  const char* headings[] = {"", "Klasse", "Std.", "Vertreter", "Fach", "Raum", "(Lehrer)", "Bemerkung"};
  for (int i = 1; i <= 7; ++i) day->Spalten[i] = headings[i];
  const char* remarks[] = {"", "Raumänderung", "Aufgaben im Klassenbuch", "Entfall", "Bitte Atlas mitbringen"};
  Plan.DynList.Clear();
  for (int r = 0; r < rows; ++r) {
    auto row = std::make_shared<TDynItem>();
    row->F1 = QString("%1%2").arg(5 + r / 40 % 8).arg(QChar('a' + r / 10 % 4));
    row->F2 = QString("%1.").arg(r % 8 + 1);
    row->F3 = QString("L%1").arg(r % 30);
    row->F4 = QString("F%1").arg(r % 12);
    row->F5 = QString("R%1").arg(r % 25);
    row->F6 = QString("L%1").arg((r * 7) % 30);
    row->F7 = remarks[r % 5];
    Plan.DynList.Add(row);
  }
  Plan.AktuellerTag = day;
}

void report(const char* what, QList<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-20s median %7.2f ms  (min %.2f, max %.2f, %lld runs)\n", what, ms[ms.size() / 2], ms.first(), ms.last(),
              static_cast<long long>(ms.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir work;
  qputenv("XDG_CONFIG_HOME", work.path().toUtf8());
  QApplication app(argc, argv);
  const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
  const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 21;
  DM = std::make_unique<TDM>();
  {
    TForm1 form;
    form.resize(1280, 800);
    form.show();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    fillPlan(rows);
    QList<double> layout, widths;
    for (int run = 0; run < runs; ++run) {
      QElapsedTimer clock;
      clock.start();
      form.Showdaten();
      layout << clock.nsecsElapsed() / 1e6;
      clock.restart();
      form.CalcSpaltenbreiten(form.Panel1->font(), form.Grid->width());
      widths << clock.nsecsElapsed() / 1e6;
    }
    std::printf("%d rows\n", rows);
    report("Showdaten", layout);
    report("CalcSpaltenbreiten", widths);
  }
  DM.reset();
  return 0;
}
