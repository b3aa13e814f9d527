// Hand-edited settings files with values far outside the dialog's ranges:
// the monitor starts, lays out and pages with timers that neither fire
// without pause nor overflow, and keeps the values themselves as read.
#include <QFile>
#include <climits>

#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

class ExtremeSettings : public FormTest {
 protected:
  void start(const QStringList& settings) {
    const TDateTime heute = zdt::today();
    db.aula << makeDay(heute, "Stand", heute, 30) << makeDay(heute + 1, "Stand", heute, 3);
    db.aula[0].record.BitteRTF = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\deftab720 Hinweis\\tab mit Tab\\par}";
    db.lehrer = db.aula;
    db.write(planFolder());
    writeSettings(settings);
    startForm(1000, 600);
    ASSERT_TRUE(Plan.AktuellerTag);
  }
  QString written(const QString& key) {
    QFile file(GetShellFolder() + "Kelvaro/Zova-Monitor/Zova-Monitor.ini");
    if (!file.open(QIODevice::ReadOnly)) return {};
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
      if (line.startsWith(key + "=")) return line.section('=', 1).trimmed();
    return {};
  }
  PlanDatabase db;
};

TEST_F(ExtremeSettings, ZeroIntervals_GiveTimersOfAMinuteAndASecond) {
  start({"RefreshInterval=0", "ScrollTime=0", "AutoScroll=1"});
  EXPECT_EQ(form->UpdateTimer->interval(), 60000);
  EXPECT_EQ(form->UpdateIntervall, 60000);
  EXPECT_EQ(form->ScrollTimer->interval(), 1000);
  EXPECT_EQ(Settings.Refreshinterval, 0);
  EXPECT_EQ(Settings.ScrollTime, 0);
  form->close();
  EXPECT_EQ(written("RefreshInterval"), "0") << "the file keeps the value as read";
  EXPECT_EQ(written("ScrollTime"), "0");
}

TEST_F(ExtremeSettings, NegativeIntervals_GiveTheSmallestTimers) {
  start({"RefreshInterval=-5", "ScrollTime=-2147483648", "KarenzZeit=-3"});
  EXPECT_EQ(form->UpdateTimer->interval(), 60000);
  EXPECT_EQ(form->ScrollTimer->interval(), 1000);
  EXPECT_EQ(form->Benachrichtigungstimer->interval(), 2000);
}

TEST_F(ExtremeSettings, HugeIntervals_GiveTheLongestTimerWithoutOverflow) {
  start({"RefreshInterval=40000", "ScrollTime=2147483647", "KarenzZeit=100000"});
  EXPECT_EQ(form->UpdateTimer->interval(), INT_MAX);
  EXPECT_EQ(form->ScrollTimer->interval(), INT_MAX);
  EXPECT_EQ(form->Benachrichtigungstimer->interval(), INT_MAX);
  EXPECT_EQ(Settings.Refreshinterval, 40000);
  form->LetztesUpdate = zdt::now();
  form->updatechecktimerTimer();
  EXPECT_EQ(form->StatusPanels[2]->text(), QString(" next update check: %1 min").arg((INT_MAX / 1000 + 30) / 60));
}

TEST_F(ExtremeSettings, HugeFontsize_IsPaintedAtTheLargestPageFont) {
  start({"Fontsize=2147483647"});
  EXPECT_EQ(form->Panel1->font().pointSize(), 200);
  EXPECT_EQ(Settings.Fontsize, 2147483647);
  form->CheckHeaderPanels();
  EXPECT_EQ(form->Panel3->font().pointSize(), 200);
  EXPECT_EQ(form->Panel6->font().pointSize(), 198);
  const int layouts = form->LayoutCount;
  form->FormKeyDown(107);  // above 28: the plus keys do nothing
  form->FormKeyDown(109);
  EXPECT_EQ(Settings.Fontsize, 2147483647);
  form->Showdaten();
  EXPECT_EQ(form->LayoutCount, layouts + 1);
}

TEST_F(ExtremeSettings, ZeroOrNegativeFontsize_IsPaintedAtOnePoint) {
  start({"Fontsize=-2147483648"});
  EXPECT_EQ(form->Panel1->font().pointSize(), 1);
  form->CheckHeaderPanels();
  EXPECT_EQ(form->Panel3->font().pointSize(), 12);
  EXPECT_EQ(form->Panel6->font().pointSize(), 10);
}
