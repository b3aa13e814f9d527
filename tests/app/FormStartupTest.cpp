// Start-up and close of the main window: settings applied and written back,
// audience choice, status-bar scaling, timers, first activation.
#include <QFile>
#include <QRegularExpression>

#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

namespace {

QString settingsFile() { return GetShellFolder() + "Kelvaro/Zova-Monitor/Zova-Monitor.ini"; }

QStringList writtenKeys() {
  QFile file(settingsFile());
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList keys;
  for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
    if (line.startsWith('[')) keys << line.trimmed();
    else if (line.contains('=')) keys << line.section('=', 0, 0);
  }
  return keys;
}

QString writtenValue(const QString& key) {
  QFile file(settingsFile());
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QRegularExpression re("^" + key + "=(.*)$", QRegularExpression::MultilineOption);
  return re.match(QString::fromUtf8(file.readAll())).captured(1).trimmed();
}

}  // namespace

using FormStartup = FormTest;

TEST_F(FormStartup, NoSettingsFile_OpensAt50x50AndCloseWritesAllKeysInOrder) {
  QFile::remove(settingsFile());
  form = std::make_unique<TForm1>();
  EXPECT_EQ(form->pos(), QPoint(50, 50));
  EXPECT_EQ(form->size(), QSize(700, 500));
  form->close();
  form->FormClose();  // closing twice must not write twice or fail
  const QStringList expected = {
      "[Pfade]", "Datenpfad", "PfadBenachrichtigungen", "[Settings]", "ShowStatusPanel", "ShowSteuerPanel",
      "Vollbild", "AutoScroll", "InfoTyp", "LastTyp", "RefreshInterval", "ScrollTime", "Fontsize",
      "AnzeigeTage", "Haltbarkeit", "Left", "Top", "Height", "Width", "WindowMax", "ShowALehrer",
      "ShowAKlassen", "ShowAKurse", "ShowARaeume", "ShowBLehrer", "ShowBKlassen", "KarenzZeit"};
  EXPECT_EQ(writtenKeys(), expected);
  EXPECT_EQ(writtenValue("Left"), "50");
  EXPECT_EQ(writtenValue("Top"), "50");
  EXPECT_EQ(writtenValue("Width"), "700");
  EXPECT_EQ(writtenValue("Height"), "500");
}

TEST_F(FormStartup, NegativeLeft_IsClampedAndWrittenBackAsZero) {
  writeSettings({"Left=-20", "Top=10"});
  form = std::make_unique<TForm1>();
  EXPECT_EQ(form->pos(), QPoint(0, 10));
  form->close();
  EXPECT_EQ(writtenValue("Left"), "0");
  EXPECT_EQ(writtenValue("Top"), "10");
}

TEST_F(FormStartup, CloseInFullScreen_KeepsTheStoredGeometry) {
  writeSettings({"Vollbild=1", "Left=33", "Top=44", "Width=640", "Height=480", "WindowMax=0"});
  startForm(800, 600);
  EXPECT_TRUE(form->IsFullScreen);
  form->close();
  EXPECT_EQ(writtenValue("Left"), "33");
  EXPECT_EQ(writtenValue("Top"), "44");
  EXPECT_EQ(writtenValue("Width"), "640");
  EXPECT_EQ(writtenValue("Height"), "480");
  EXPECT_EQ(writtenValue("Vollbild"), "1");
}

TEST_F(FormStartup, StatusPanelWidths_ScaleAbove96PixelsPerInch) {
  EXPECT_EQ(TForm1::ScaledPanelWidth(550, 120), 687);
  EXPECT_EQ(TForm1::ScaledPanelWidth(120, 120), 150);
  EXPECT_EQ(TForm1::ScaledPanelWidth(50, 120), 62);
  EXPECT_EQ(TForm1::ScaledPanelWidth(550, 144), 825);
  EXPECT_EQ(TForm1::ScaledPanelWidth(50, 144), 75);
  EXPECT_EQ(TForm1::ScaledPanelWidth(550, 96), 550);
  EXPECT_EQ(TForm1::ScaledPanelWidth(120, 72), 120);
}

TEST_F(FormStartup, AutomaticMode_ShowsTheInfoTypAudience) {
  writeSettings({"AutoScroll=1", "InfoTyp=1", "LastTyp=0"});
  form = std::make_unique<TForm1>();
  EXPECT_EQ(Plan.AktuellerTyp, 1);
  EXPECT_TRUE(form->RadioButton4->isChecked());
  EXPECT_FALSE(form->RadioButton3->isChecked());
}

TEST_F(FormStartup, ManualMode_ShowsTheLastChosenAudience) {
  writeSettings({"AutoScroll=0", "InfoTyp=1", "LastTyp=0"});
  form = std::make_unique<TForm1>();
  EXPECT_EQ(Plan.AktuellerTyp, 0);
  EXPECT_TRUE(form->RadioButton3->isChecked());
}

TEST_F(FormStartup, ControlsAndTimers_HaveTheirCaptionsIntervalsAndStates) {
  writeSettings({"RefreshInterval=3", "ScrollTime=12", "KarenzZeit=7"});
  form = std::make_unique<TForm1>();
  EXPECT_EQ(form->windowTitle(), "ZENTROVA - Vertretungsmonitor 1.0.15");
  EXPECT_EQ(form->StatusPanels[1]->text(), " Autoscroll = OFF");
  EXPECT_EQ(form->Label7->text(), "Bitte beachten:");
  EXPECT_EQ(form->RadioButton3->text(), "Schülerinformation");
  EXPECT_EQ(form->RadioButton4->text(), "Lehrerinformation");
  EXPECT_EQ(form->UpdateTimer->interval(), 180000);
  EXPECT_TRUE(form->UpdateTimer->isActive());
  EXPECT_EQ(form->ScrollTimer->interval(), 12000);
  EXPECT_FALSE(form->ScrollTimer->isActive());
  EXPECT_EQ(form->Timer1->interval(), 60000);
  EXPECT_EQ(form->Blinktimer->interval(), 3000);
  EXPECT_EQ(form->updatechecktimer->interval(), 1000);
  EXPECT_EQ(form->Benachrichtigungstimer->interval(), 420000);
  EXPECT_FALSE(form->Benachrichtigungstimer->isActive());
  EXPECT_TRUE(form->TelefonBtn->isHidden());
  EXPECT_EQ(Plan.Nachlaufzeit, 1.0 / 24);
}

TEST_F(FormStartup, UnreachableDatabase_FirstActivationShowsTheNoConnectionText) {
  writeSettings({}, "/nonexistent/folder/");
  startForm();
  EXPECT_FALSE(form->DBVerbunden);
  EXPECT_EQ(form->Label1->text(), "Keine Verbindung zur Datenbank! Press F10");
  EXPECT_TRUE(form->Grid->isHidden());
  EXPECT_EQ(form->Panel2->height(), 1);
  EXPECT_TRUE(messages->texts.isEmpty());
}

TEST_F(FormStartup, SecondActivation_DoesNotLayOutAgain) {
  PlanDatabase db;
  db.aula << makeDay(zdt::today(), "09.12.2026 07:45", zdt::today() + 0.3, 3);
  db.write(planFolder());
  writeSettings();
  startForm();
  ASSERT_EQ(form->LayoutCount, 1);
  form->FormActivate();
  EXPECT_EQ(form->LayoutCount, 1);
  EXPECT_FALSE(form->ErsteAktivierung);
}
