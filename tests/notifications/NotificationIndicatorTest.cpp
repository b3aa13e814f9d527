// The telephone indicator on the main window: the four transitions of the
// idle/due state with their pictures and the flash, picture files that
// cannot be loaded, the periodic check on its timer, and opening the dialog.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <climits>

#include "app/TForm1.h"
#include "jet/JetWriter.h"
#include "notifications/Notifications.h"
#include "notifications/TMyNachrichtDLG.h"
#include "notifications/TNachrichtListe.h"
#include "settings/SettingsFile.h"
#include "tests/notifications/NotificationFixture.h"

using namespace notiftest;

namespace {

void processEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// Red or green, by the colour at the middle of the handset.
bool showsRed(const QToolButton* button) {
  const QColor c = button->icon().pixmap(16, 16).toImage().pixelColor(7, 2);
  return c.red() > 150 && c.green() < 100;
}
bool showsGreen(const QToolButton* button) {
  const QColor c = button->icon().pixmap(16, 16).toImage().pixelColor(7, 2);
  return c.green() > 120 && c.red() < 100;
}

class NotificationIndicator : public NotificationTest {
 protected:
  void TearDown() override {
    form.reset();
    NotificationTest::TearDown();
  }

  // Runs a check with a program folder that holds no pictures, then points
  // Programmpfad at the programs' folder again.
  static void checkWithoutPictures(TForm1& f) {
    QTemporaryDir emptyProgramFolder;
    Programmpfad = emptyProgramFolder.path() + '/';
    f.CheckBenachrichtigungen();
    settle();
    Programmpfad = QCoreApplication::applicationDirPath() + '/';
  }

  // Writes the settings file (the notification folder and the given lines)
  // and creates the main window, whose start-up ends with the first check.
  TForm1& startForm(const QStringList& settingsLines = {}) {
    const QString settingsFolder = GetShellFolder() + "Kelvaro/Zova-Monitor/";
    QDir().mkpath(settingsFolder);
    QFile ini(settingsFolder + "Zova-Monitor.ini");
    EXPECT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(("[Pfade]\nDatenpfad=" + m_dir.path() + "/plan/\nPfadBenachrichtigungen=" + folder() +
               "\n[Settings]\n" + settingsLines.join('\n') + "\n")
                  .toUtf8());
    ini.close();
    form = std::make_unique<TForm1>();
    settle();
    return *form;
  }

  std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(NotificationIndicator, StartWithOneDue_LoadsTheRedPictureAndFlashesOnce) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  EXPECT_FALSE(f.TelefonBtn->isHidden());
  EXPECT_TRUE(f.Benachrichtigungstimer->isActive());
  EXPECT_EQ(f.Benachrichtigungstimer->interval(), 300000);
  EXPECT_FALSE(IndicatorIdle);
  EXPECT_EQ(f.TelefonPictureLoads, 1);
  EXPECT_EQ(f.FlashCount, 1);
  EXPECT_TRUE(showsRed(f.TelefonBtn));
}

TEST_F(NotificationIndicator, StartWithNoneDue_KeepsTheBuiltInGreenPictureAndReadsNoFile) {
  writeNotes({note(1, 2, 1), note(2, 3, 60)});
  TForm1& f = startForm();
  EXPECT_TRUE(IndicatorIdle);
  EXPECT_EQ(f.TelefonPictureLoads, 0);
  EXPECT_EQ(f.FlashCount, 0);
  EXPECT_TRUE(showsGreen(f.TelefonBtn));
  EXPECT_NEAR(f.Benachrichtigungstimer->interval(), 240000, 1);  // when the pending one becomes due
}

TEST_F(NotificationIndicator, SecondDueWhileOneIsDue_NeitherFlashesNorReloads) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  writeNotes({note(1, 2, 60), note(2, 4, 30)});
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_FALSE(IndicatorIdle);
  EXPECT_EQ(f.TelefonPictureLoads, 1);
  EXPECT_EQ(f.FlashCount, 1);
}

TEST_F(NotificationIndicator, LastDueDone_LoadsTheNormalPictureAtOnce) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  writeNotes({note(1, 3, 60)});
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_TRUE(IndicatorIdle);
  EXPECT_EQ(f.TelefonPictureLoads, 2);
  EXPECT_TRUE(showsGreen(f.TelefonBtn));
  // Idle stays idle without reading a file.
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_EQ(f.TelefonPictureLoads, 2);
  EXPECT_EQ(f.FlashCount, 1);
}

TEST_F(NotificationIndicator, RedPictureMissing_IsReportedAndTheNextCheckTriesAgain) {
  writeNotes({note(1, 2, 1)});
  TForm1& f = startForm();
  ASSERT_TRUE(IndicatorIdle);
  writeNotes({note(1, 2, 60)});
  checkWithoutPictures(f);
  ASSERT_EQ(messages->texts.size(), 1);
  EXPECT_TRUE(messages->texts[0].contains("BMP/Telefonrot.bmp")) << messages->texts[0].toStdString();
  EXPECT_TRUE(IndicatorIdle);
  EXPECT_EQ(f.FlashCount, 0);
  EXPECT_TRUE(showsGreen(f.TelefonBtn));
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_FALSE(IndicatorIdle);
  EXPECT_EQ(f.FlashCount, 1);
  EXPECT_TRUE(showsRed(f.TelefonBtn));
}

TEST_F(NotificationIndicator, NormalPictureMissing_StaysDueUntilItCanBeLoaded) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  ASSERT_FALSE(IndicatorIdle);
  writeNotes({note(1, 3, 60)});
  checkWithoutPictures(f);
  ASSERT_EQ(messages->texts.size(), 1);
  EXPECT_TRUE(messages->texts[0].contains("BMP/Telefon.bmp"));
  EXPECT_FALSE(IndicatorIdle);
  EXPECT_TRUE(showsRed(f.TelefonBtn));
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_TRUE(IndicatorIdle);
  EXPECT_TRUE(showsGreen(f.TelefonBtn));
}

TEST_F(NotificationIndicator, DatabaseGoneDuringTheRun_GoesIdleQuietlyAndChecksAfterOneGraceTime) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm({"KarenzZeit=3"});
  ASSERT_FALSE(IndicatorIdle);
  ASSERT_TRUE(QFile::remove(file()));
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_TRUE(IndicatorIdle);
  EXPECT_EQ(f.Benachrichtigungstimer->interval(), 180000);
  EXPECT_TRUE(messages->texts.isEmpty());
}

TEST_F(NotificationIndicator, DatabaseThatComesLate_IsSwitchedOnByTheNextCheck) {
  TForm1& f = startForm();
  EXPECT_TRUE(f.TelefonBtn->isHidden());
  EXPECT_FALSE(NotificationsAvailable);
  EXPECT_TRUE(f.Benachrichtigungstimer->isActive()) << "the checks go on trying";
  EXPECT_EQ(messages->texts.size(), 1);
  writeNotes({note(1, 2, 60)});
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_TRUE(NotificationsAvailable);
  EXPECT_FALSE(f.TelefonBtn->isHidden());
  EXPECT_FALSE(IndicatorIdle);
  EXPECT_EQ(messages->texts.size(), 1);
}

TEST_F(NotificationIndicator, TimerTick_RunsTheCheck) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  writeNotes({note(1, 3, 60)});
  f.Benachrichtigungstimer->start(1);
  QElapsedTimer waited;
  waited.start();
  while (f.Benachrichtigungstimer->interval() == 1 && waited.elapsed() < 5000) QCoreApplication::processEvents();
  EXPECT_EQ(f.Benachrichtigungstimer->interval(), 300000);
  EXPECT_TRUE(IndicatorIdle);
}

TEST_F(NotificationIndicator, SameIntervalAgain_LeavesTheTimerRunningOnItsOwnTime) {
  writeNotes({note(1, 3, 60)});
  TForm1& f = startForm();
  ASSERT_EQ(f.Benachrichtigungstimer->interval(), 300000);
  QThread::msleep(300);
  f.CheckBenachrichtigungen();
  settle();  // as the dialog runs it, between two ticks
  EXPECT_LT(f.Benachrichtigungstimer->remainingTime(), 300000 - 250);
  writeNotes({note(1, 2, 2)});
  f.CheckBenachrichtigungen();
  settle();
  EXPECT_EQ(f.Benachrichtigungstimer->interval(), 180000);
  EXPECT_GT(f.Benachrichtigungstimer->remainingTime(), 180000 - 250) << "a new interval starts anew";
}

TEST_F(NotificationIndicator, ControlPanelHidden_TaskBarEntryStillFlashes) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm({"ShowSteuerPanel=0"});
  EXPECT_TRUE(f.Panel5->isHidden());
  EXPECT_EQ(f.FlashCount, 1);
}

TEST_F(NotificationIndicator, HugeGraceTime_GivesTheLongestTimerInterval) {
  writeNotes({note(1, 3, 60)});
  TForm1& f = startForm({"KarenzZeit=100000"});
  EXPECT_EQ(f.Benachrichtigungstimer->interval(), INT_MAX);
}

TEST_F(NotificationIndicator, TelefonButton_ShowsTheDialogAtOnceFillsItWithTheLast14DaysAndDiscardsIt) {
  writeNotes({note(1, 2, 60), note(2, 2, 600, -3), note(3, 2, 600, -20)});
  TForm1& f = startForm();
  int lines = -1;
  bool modal = false;
  QString whileLoading;
  QTimer::singleShot(0, [&] {
    ASSERT_NE(MyNachrichtDLG, nullptr);
    modal = MyNachrichtDLG->isModal() && MyNachrichtDLG->isVisible();
    whileLoading = MyNachrichtDLG->Edit1->text();
    settle();
    lines = MyNachrichtDLG->Box->lineCount();
    MyNachrichtDLG->OKBtn->click();
  });
  f.Benachrichtigungstimer->setInterval(1234);
  f.TelefonBtn->click();
  settle();
  EXPECT_TRUE(modal);
  EXPECT_EQ(whileLoading, QString::fromUtf8(" Benachrichtigungen werden geladen …"));
  EXPECT_EQ(lines, 2);  // header and today's notification; AktBox shows only today on
  EXPECT_EQ(Nachrichten.Count(), 2);  // 3 days ago is loaded, 20 days ago is not
  EXPECT_EQ(MyNachrichtDLG, nullptr);
  EXPECT_EQ(f.Benachrichtigungstimer->interval(), 300000) << "closing with the button runs a check";
}

namespace {

// Clicks the telephone button; the dialog must close by itself once its
// load has failed (or it is closed after 10 s and the test fails).
bool dialogClosesByItself(TForm1& f) {
  bool closedByTest = false;
  QTimer::singleShot(10000, [&] {
    if (!MyNachrichtDLG) return;
    closedByTest = true;
    MyNachrichtDLG->reject();
  });
  f.TelefonBtn->click();
  return !closedByTest && MyNachrichtDLG == nullptr;
}

}  // namespace

TEST_F(NotificationIndicator, TelefonButtonWithoutDatabase_ClosesTheDialogAndShowsTheMessage) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  ASSERT_TRUE(QFile::remove(file()));
  EXPECT_TRUE(dialogClosesByItself(f));
  processEvents();
  EXPECT_EQ(messages->texts, QStringList{QString::fromUtf8("Tabelle kann nicht geöffnet werden!")});
}

TEST_F(NotificationIndicator, TelefonButtonWhenTheQueryFails_ClosesTheDialogWithoutAMessage) {
  writeNotes({note(1, 2, 60)});
  TForm1& f = startForm();
  jet::Database other;
  other.addTable("AndereTabelle", {{"ID", jet::ColumnType::Long}});
  other.write(file());
  EXPECT_TRUE(dialogClosesByItself(f));
  processEvents();
  EXPECT_TRUE(messages->texts.isEmpty());
}
