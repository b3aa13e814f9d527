// The settings dialog opened from the running main window (F10): what OK
// applies to the window, what it writes, and what it leaves alone; the
// close box; a new plan folder; the timers while the dialog is open.
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "notifications/Notifications.h"
#include "platform/FolderPicker.h"
#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "settings/TMyEinstDlg.h"
#include "tests/app/PlanFixture.h"
#include "widgets/UpDown.h"

namespace {

QString settingsFile() { return GetShellFolder() + "Kelvaro/Zova-Monitor/Zova-Monitor.ini"; }

QByteArray settingsFileBytes() {
  QFile file(settingsFile());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writtenValue(const QString& key) {
  for (const QString& line : QString::fromUtf8(settingsFileBytes()).split('\n'))
    if (line.startsWith(key + '=')) return line.section('=', 1).trimmed();
  return QString();
}

// Runs the event loop for `ms` milliseconds, or until `done` holds.
void spin(int ms, const std::function<bool()>& done = {}) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms && !(done && done())) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

class SettingsDialogForm : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    heute = zdt::today();
    db.aula << makeDay(heute, "09.12.2026 07:45", heute + zdt::encodeTime(7, 45), 6)
            << makeDay(heute + 1, "09.12.2026 07:45", heute + zdt::encodeTime(7, 45), 3);
    db.lehrer = db.aula;
    db.write(planFolder());
  }
  void TearDown() override {
    TMyEinstDlg::setOpenedHandler({});
    folderpicker::setHandler({});
    FormTest::TearDown();
  }
  // Starts the window on the plan with these [Settings] lines.
  void start(const QStringList& settingsLines = {}) {
    writeSettings(settingsLines);
    startForm(1000, 600);
    layouts = form->LayoutCount;
    fileBefore = settingsFileBytes();
  }
  // Opens the dialog as F10 does; `act` works on the open dialog and closes
  // it. A dialog left open is closed here and counts as a failure.
  void withDialog(const std::function<void(TMyEinstDlg&)>& act) {
    bool opened = false;
    TMyEinstDlg::setOpenedHandler([&](TMyEinstDlg& dlg) {
      opened = true;
      act(dlg);
      if (dlg.isVisible()) {
        ADD_FAILURE() << "the dialog was left open";
        dlg.reject();
      }
    });
    form->Optionen1Click();
    TMyEinstDlg::setOpenedHandler({});
    EXPECT_TRUE(opened);
    EXPECT_TRUE(form->findChildren<TMyEinstDlg*>().isEmpty()) << "the dialog was not freed";
  }

  TDateTime heute = 0;
  PlanDatabase db;
  int layouts = 0;
  QByteArray fileBefore;
};

TEST_F(SettingsDialogForm, OkWithoutChange_WritesAndReloadsNothing_ButTestsNotifications) {
  start();
  NotificationsAvailable = true;
  form->Benachrichtigungstimer->start();
  db.aula[0].record.Ueberschrift = "Neu geladen";
  db.write(planFolder());
  withDialog([](TMyEinstDlg& dlg) { dlg.OKBtn->click(); });
  EXPECT_EQ(settingsFileBytes(), fileBefore);
  EXPECT_EQ(form->LayoutCount, layouts);
  EXPECT_EQ(form->Label1->text(), "Vertretungsplan");
  EXPECT_FALSE(NotificationsAvailable);
  EXPECT_FALSE(form->Benachrichtigungstimer->isActive());
}

TEST_F(SettingsDialogForm, OnlyKarenzzeitChanged_InEffectAtOnce_WrittenOnlyAtTheNextWrite) {
  start({"KarenzZeit=5"});
  withDialog([](TMyEinstDlg& dlg) {
    dlg.Edit7->setValue(25);
    dlg.OKBtn->click();
  });
  EXPECT_EQ(Settings.KarenzZeit, 25);
  EXPECT_EQ(settingsFileBytes(), fileBefore);
  EXPECT_EQ(form->LayoutCount, layouts);
  form->close();
  EXPECT_EQ(writtenValue("KarenzZeit"), "25");
}

TEST_F(SettingsDialogForm, CloseBox_ChangesNothing_AlsoNotKarenzZeit) {
  start({"KarenzZeit=5", "Fontsize=11"});
  const SettingsValues before = Settings;
  withDialog([](TMyEinstDlg& dlg) {
    dlg.Edit7->setValue(25);
    dlg.Edit3->setValue(20);
    dlg.CheckBox4->setChecked(true);
    folderpicker::setHandler([](QWidget*, const QString&) { return QStringLiteral("/tmp"); });
    dlg.Button1Click();
    dlg.close();
  });
  EXPECT_EQ(Settings.KarenzZeit, 5);
  EXPECT_EQ(Settings.Fontsize, before.Fontsize);
  EXPECT_EQ(Settings.Datenpfad, before.Datenpfad);
  EXPECT_FALSE(Settings.Vollbild);
  EXPECT_FALSE(form->IsFullScreen);
  EXPECT_EQ(settingsFileBytes(), fileBefore);
  EXPECT_EQ(form->LayoutCount, layouts);
}

TEST_F(SettingsDialogForm, AutoScrollOn_OkStoresSteuerpanelOffAndHidesTheControlPanel) {
  start({"AutoScroll=1", "ShowSteuerPanel=1"});
  ASSERT_TRUE(form->Panel5->isVisible());
  withDialog([](TMyEinstDlg& dlg) { dlg.OKBtn->click(); });
  EXPECT_FALSE(Settings.ShowSteuerPanel);
  EXPECT_FALSE(form->Panel5->isVisible());
  EXPECT_EQ(writtenValue("ShowSteuerPanel"), "0");
  EXPECT_TRUE(form->Panel1->isVisible());
}

TEST_F(SettingsDialogForm, ChangedSettings_AreAppliedToTheRunningWindow) {
  start({"Fontsize=11", "ScrollTime=8", "RefreshInterval=1", "ShowStatusPanel=1", "InfoTyp=0"});
  zdt::setFixedNow(zdt::encode(2026, 12, 9, 10, 30));
  withDialog([](TMyEinstDlg& dlg) {
    dlg.Edit3->setValue(16);
    dlg.Edit1->setValue(15);
    dlg.Edit4->setValue(10);
    dlg.CheckBox3->setChecked(false);
    dlg.CheckBox2->setChecked(true);
    dlg.Radio2->setChecked(true);
    dlg.OKBtn->click();
  });
  EXPECT_EQ(form->Panel1->font().pointSize(), 16);
  EXPECT_EQ(form->Panel3->font().pointSize(), 16);  // header lines follow the page font
  EXPECT_EQ(form->ScrollTimer->interval(), 15000);
  EXPECT_TRUE(form->ScrollTimer->isActive());  // the new layout starts automatic paging
  EXPECT_EQ(form->UpdateIntervall, 600000);
  EXPECT_EQ(form->UpdateTimer->interval(), 600000);
  EXPECT_TRUE(form->UpdateTimer->isActive());
  EXPECT_EQ(form->LetztesUpdate, zdt::encode(2026, 12, 9, 10, 30));
  EXPECT_FALSE(form->StatusBar1->isVisible());
  EXPECT_EQ(form->StatusPanels[1]->text(), " Autoscroll = ON");
  EXPECT_EQ(Plan.AktuellerTyp, 1);  // the audience of automatic mode
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_TRUE(Plan.StatListLehrer.FindByDate(Plan.AktuellerTag->Datum) == Plan.AktuellerTag);
  EXPECT_EQ(form->LayoutCount, layouts + 1);
  EXPECT_EQ(writtenValue("Fontsize"), "16");
  EXPECT_EQ(writtenValue("InfoTyp"), "1");
}

TEST_F(SettingsDialogForm, ChangedDatenpfad_ReloadsFromTheNewFolderAndShowsItsDefaultDay) {
  start();
  QTemporaryDir other;
  PlanDatabase neu;
  neu.aula << makeDay(heute + 2, "neu", heute + zdt::encodeTime(8, 0), 2)
           << makeDay(heute + 5, "neu", heute + zdt::encodeTime(8, 0), 1);
  neu.aula[0].record.Ueberschrift = "Plan aus dem neuen Ordner";
  neu.lehrer = neu.aula;
  neu.write(other.path());
  withDialog([&](TMyEinstDlg& dlg) {
    folderpicker::setHandler([&](QWidget*, const QString&) { return other.path(); });
    dlg.Button1->click();
    EXPECT_EQ(dlg.PfadEdit->text(), other.path() + '/');
    dlg.OKBtn->click();
  });
  EXPECT_EQ(Settings.Datenpfad, other.path() + '/');
  EXPECT_EQ(writtenValue("Datenpfad"), other.path() + '/');
  // The new folder's plan is copied in the background and then shown.
  QElapsedTimer clock;
  clock.start();
  while (!Plan.AktuellerTag && clock.elapsed() < 15000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_EQ(Plan.AktuellerTag->Datum, heute + 2);  // the first day after today
  EXPECT_EQ(form->Label1->text(), "Plan aus dem neuen Ordner");
  EXPECT_EQ(form->DBox->count(), 2);
  EXPECT_EQ(Plan.DynList.Count(), 2);
  EXPECT_EQ(form->PlanWatcher->directories(), QStringList{other.path() + '/'});  // the watch moved along
}

TEST_F(SettingsDialogForm, Vollbild_SwitchedOnAndOff) {
  start({"Vollbild=0"});
  withDialog([](TMyEinstDlg& dlg) {
    dlg.CheckBox4->setChecked(true);
    dlg.OKBtn->click();
  });
  EXPECT_TRUE(form->IsFullScreen);
  EXPECT_TRUE(form->isFullScreen());
  EXPECT_EQ(writtenValue("Vollbild"), "1");
  withDialog([](TMyEinstDlg& dlg) {
    EXPECT_TRUE(dlg.CheckBox4->isChecked());
    dlg.CheckBox4->setChecked(false);
    dlg.OKBtn->click();
  });
  EXPECT_FALSE(form->IsFullScreen);
  EXPECT_FALSE(form->isFullScreen());
  EXPECT_EQ(writtenValue("Vollbild"), "0");
}

TEST_F(SettingsDialogForm, TimersKeepFiringWhileTheDialogIsOpen) {
  start();
  form->UpdateTimer->setInterval(30);
  form->updatechecktimer->setInterval(30);
  form->StatusPanels[2]->setText("vor dem Dialog");
  const int polls = form->PollCount;
  withDialog([&](TMyEinstDlg& dlg) {
    spin(3000, [&] {
      return form->PollCount >= polls + 2 && form->StatusPanels[2]->text() != "vor dem Dialog";
    });
    EXPECT_TRUE(dlg.isVisible());
    dlg.close();
  });
  EXPECT_GE(form->PollCount, polls + 2);
  EXPECT_NE(form->StatusPanels[2]->text(), "vor dem Dialog");
}
