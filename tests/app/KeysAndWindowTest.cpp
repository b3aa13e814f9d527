// The keys of the main window, the font size, the control panel, full
// screen, the version message, the status bar and the window caption.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QScreen>

#include "notifications/TMyNachrichtDLG.h"
#include "plan/PlanState.h"
#include "platform/PointerHider.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "settings/TMyEinstDlg.h"
#include "tests/app/PlanFixture.h"

namespace {

QString settingsFile() { return GetShellFolder() + "Kelvaro/Zova-Monitor/Zova-Monitor.ini"; }

QByteArray settingsText() {
  QFile file(settingsFile());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int keyCode(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  return TForm1::KeyCode(QKeyEvent(QEvent::KeyPress, key, modifiers));
}

}  // namespace

class Keys : public FormTest {
 protected:
  void start(const QStringList& settings = {}) {
    const TDateTime heute = zdt::today();
    db.aula << makeDay(heute, "Stand", heute - 1, 30) << makeDay(heute + 1, "Stand", heute - 1, 3);
    db.lehrer = db.aula;
    db.write(planFolder());
    writeSettings(settings);
    startForm(1000, 600);
    ASSERT_TRUE(Plan.AktuellerTag);
  }
  void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &event);
  }
  PlanDatabase db;
};

TEST_F(Keys, KeyCodes_AreTheKeysAloneWhateverTheModifiers) {
  EXPECT_EQ(keyCode(Qt::Key_F10), 121);
  EXPECT_EQ(keyCode(Qt::Key_F10, Qt::ShiftModifier), 121);
  EXPECT_EQ(keyCode(Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier), 116);
  EXPECT_EQ(keyCode(Qt::Key_Plus, Qt::KeypadModifier), 107);
  EXPECT_EQ(keyCode(Qt::Key_Minus, Qt::KeypadModifier), 109);
  EXPECT_EQ(keyCode(Qt::Key_Plus), 187);
  EXPECT_EQ(keyCode(Qt::Key_Equal), 187);
  EXPECT_EQ(keyCode(Qt::Key_Minus), 189);
  EXPECT_EQ(keyCode(Qt::Key_Escape), 27);
  EXPECT_EQ(keyCode(Qt::Key_F7), 118);
  EXPECT_EQ(keyCode(Qt::Key_PageUp), 33);
  EXPECT_EQ(keyCode(Qt::Key_PageDown), 34);
  EXPECT_EQ(keyCode(Qt::Key_Down), 0);
  EXPECT_EQ(keyCode(Qt::Key_F1), 0);
}

TEST_F(Keys, ArrowKeys_AreSwallowedBeforeTheDayChooserAndTheGrid) {
  start();
  form->DBox->setFocus();
  press(form->DBox, Qt::Key_Down);
  press(form->DBox, Qt::Key_End);
  EXPECT_EQ(form->DBox->currentIndex(), 0);
  EXPECT_EQ(Plan.AktuellerTag->Datum, zdt::today());
  press(form->Grid, Qt::Key_Down);
  press(form->Grid->viewport(), Qt::Key_PageDown);  // manual mode: paged once by the window
  EXPECT_EQ(form->Grid->TopRow(), 1 + form->AnzSichtbar);
}

TEST_F(Keys, ShiftedF5_TogglesTheControlPanelAndWritesAtOnce) {
  start();
  ASSERT_TRUE(form->Panel5->isVisible());
  press(form->DBox, Qt::Key_F5, Qt::ShiftModifier);
  EXPECT_FALSE(Settings.ShowSteuerPanel);
  EXPECT_TRUE(form->Panel5->isHidden());
  EXPECT_TRUE(settingsText().contains("ShowSteuerPanel=0"));
  EXPECT_TRUE(Plan.NeuAufbau) << "the page is laid out anew around the panel";
  form->FormKeyDown(116);
  EXPECT_TRUE(form->Panel5->isVisible());
  EXPECT_TRUE(settingsText().contains("ShowSteuerPanel=1"));
}

TEST_F(Keys, F5InAutomaticMode_DoesNothing) {
  start({"AutoScroll=1"});
  const QByteArray before = settingsText();
  const bool shown = Settings.ShowSteuerPanel;
  form->FormKeyDown(116);
  EXPECT_EQ(Settings.ShowSteuerPanel, shown);
  EXPECT_EQ(settingsText(), before);
}

TEST_F(Keys, PlusAndMinus_ChangeTheFontWriteAtOnceAndRelayoutAtTheNextTick) {
  start({"Fontsize=11"});
  const int layouts = form->LayoutCount;
  form->FormKeyDown(107);
  EXPECT_EQ(Settings.Fontsize, 12);
  EXPECT_TRUE(settingsText().contains("Fontsize=12"));
  EXPECT_EQ(form->Panel1->font().pointSize(), 12);
  EXPECT_EQ(form->Panel3->font().pointSize(), 12);
  EXPECT_TRUE(form->Grid->isHidden());
  form->FormKeyDown(187);
  form->FormKeyDown(189);
  form->FormKeyDown(109);
  EXPECT_EQ(Settings.Fontsize, 11);
  EXPECT_EQ(form->LayoutCount, layouts);
  form->updatechecktimerTimer();
  EXPECT_EQ(form->LayoutCount, layouts + 1);
  EXPECT_FALSE(form->Grid->isHidden());
}

TEST_F(Keys, HeaderAfterAStart_LooksAsAfterPlusAndMinus) {
  start({"Fontsize=20"});
  struct Header {
    int size3, size6, size7, sizeLabel6, height3, height6, height7;
    bool operator==(const Header&) const = default;
  };
  const auto header = [this] {
    return Header{form->Panel3->font().pointSize(), form->Panel6->font().pointSize(),
                  form->Panel7->font().pointSize(), form->Label6->font().pointSize(),
                  form->Panel3->height(),           form->Panel6->height(),
                  form->Panel7->height()};
  };
  const Header afterStart = header();
  EXPECT_EQ(afterStart.size3, 20);
  EXPECT_EQ(afterStart.sizeLabel6, 18);
  form->LabelBlinking(true);
  form->LabelBlinking(false);
  form->FormKeyDown(107);
  EXPECT_EQ(form->Label6->font().pointSize(), 19) << "the label follows its header line";
  form->FormKeyDown(109);
  EXPECT_TRUE(header() == afterStart);
}

TEST_F(Keys, FontsizeAtItsLimits_NeitherChangesNorWrites) {
  start({"Fontsize=28"});
  const QByteArray before = settingsText();
  form->FormKeyDown(107);
  form->FormKeyDown(187);
  EXPECT_EQ(Settings.Fontsize, 28);
  EXPECT_EQ(settingsText(), before);
  Settings.Fontsize = 6;
  form->FormKeyDown(109);
  form->FormKeyDown(189);
  EXPECT_EQ(Settings.Fontsize, 6);
  EXPECT_EQ(settingsText(), before);
}

TEST_F(Keys, F7_PollsAndRestartsTheCountdown) {
  start();
  form->LetztesUpdate = 0;
  const int polls = form->PollCount;
  form->FormKeyDown(118);
  waitForPolls();
  EXPECT_EQ(form->PollCount, polls + 1);
  EXPECT_EQ(form->LetztesUpdate, zdt::now());
}

TEST_F(Keys, Escape_ClosesAndWritesTheSettings) {
  start();
  QFile::remove(settingsFile());
  press(form->DBox, Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(QFileInfo::exists(settingsFile()));
}

TEST_F(Keys, KioskMode_NoKeyOrClickChangesAnythingButCtrlAltF10AndCtrlAltEsc) {
  writeSettings({"ShowSteuerPanel=1", "ShowStatusPanel=1"});
  {
    QFile ini(settingsFile());
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("[Kiosk]\nAktiv=1\n");
  }
  const TDateTime heute = zdt::today();
  db.aula << makeDay(heute, "Stand", heute - 1, 30) << makeDay(heute + 1, "Stand", heute - 1, 3);
  db.lehrer = db.aula;
  db.write(planFolder());
  startForm(1000, 600);
  ASSERT_TRUE(Plan.AktuellerTag);
  EXPECT_TRUE(form->Panel5->isHidden()) << "no control panel in kiosk mode";
  EXPECT_TRUE(form->StatusBar1->isHidden()) << "no status bar in kiosk mode";
  const QByteArray before = settingsText();
  const int font = Settings.Fontsize, top = form->Grid->TopRow(), typ = Plan.AktuellerTyp;
  for (const int key : {Qt::Key_Escape, Qt::Key_F5, Qt::Key_F7, Qt::Key_F10, Qt::Key_Plus, Qt::Key_Minus,
                        Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Down})
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::NoModifier),
                                                  Qt::KeyboardModifiers(Qt::ControlModifier),
                                                  Qt::KeyboardModifiers(Qt::AltModifier)}) {
      press(form->DBox, key, modifiers);
      press(form->Grid->viewport(), key, modifiers);
    }
  const QPoint inside(5, 5);
  for (QWidget* target : std::initializer_list<QWidget*>{form->RadioButton4, form->DBox, form->TelefonBtn,
                                                         form->Grid->viewport()}) {
    QMouseEvent pressed(QEvent::MouseButtonPress, inside, target->mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
    QMouseEvent released(QEvent::MouseButtonRelease, inside, target->mapToGlobal(inside), Qt::LeftButton,
                         Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &pressed);
    QApplication::sendEvent(target, &released);
    QWheelEvent wheel(inside, target->mapToGlobal(inside), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
  }
  QApplication::processEvents();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Settings.Fontsize, font);
  EXPECT_EQ(form->Grid->TopRow(), top);
  EXPECT_EQ(Plan.AktuellerTyp, typ);
  EXPECT_EQ(form->DBox->currentIndex(), 0);
  EXPECT_EQ(MyNachrichtDLG, nullptr);
  EXPECT_EQ(settingsText(), before);
  EXPECT_FALSE(settingsText().contains("Kiosk=")) << "kiosk mode stays the administrator's setting";

  bool opened = false;
  TMyEinstDlg::setOpenedHandler([&](TMyEinstDlg& dlg) {
    opened = true;
    dlg.reject();
  });
  press(form->DBox, Qt::Key_F10, Qt::ControlModifier | Qt::AltModifier);
  TMyEinstDlg::setOpenedHandler({});
  EXPECT_TRUE(opened) << "Ctrl+Alt+F10 opens the settings";
  press(form->DBox, Qt::Key_Escape, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_FALSE(form->isVisible()) << "Ctrl+Alt+Esc ends the program";
  EXPECT_TRUE(settingsText().contains("[Kiosk]\r\nAktiv=1") || settingsText().contains("[Kiosk]\nAktiv=1"));
}

TEST_F(Keys, VersionButton_ShowsTheVersionMessage) {
  start();
  form->SpeedButton2->click();
  ASSERT_EQ(messages->texts.size(), 1);
  EXPECT_EQ(messages->texts[0], "Versionsinformation:\n\nVersion = 1.0.15\nDatum = 16.11.2011");
}

using Window = Keys;

TEST_F(Window, FullScreen_CoversTheScreenWithoutFrameAndComesBack) {
  start({"Left=40", "Top=30", "Width=700", "Height=500"});
  form->showNormal();
  form->setGeometry(40, 30, 700, 500);
  processEvents();
  const QRect before = form->geometry();
  form->FullScreen(true);
  processEvents();
  EXPECT_TRUE(form->IsFullScreen);
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(form->geometry(), form->screen()->geometry());
  EXPECT_TRUE(form->findChild<PointerHider*>()->isActive()) << "the idle pointer hides in full screen";
  form->FullScreen(true);  // a second call changes nothing
  EXPECT_TRUE(form->IsFullScreen);
  form->FullScreen(false);
  processEvents();
  EXPECT_FALSE(form->IsFullScreen);
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(form->geometry(), before);
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->findChild<PointerHider*>()->isActive());
}

TEST_F(Window, MaximisedWindow_ComesBackMaximised) {
  start();
  form->showMaximized();
  processEvents();
  form->FullScreen(true);
  processEvents();
  form->FullScreen(false);
  processEvents();
  EXPECT_TRUE(form->isMaximized());
}

TEST_F(Window, VollbildAtStart_EntersFullScreenAtTheFirstActivation) {
  start({"Vollbild=1"});
  EXPECT_TRUE(form->IsFullScreen);
  EXPECT_EQ(form->geometry(), form->screen()->geometry());
  EXPECT_EQ(form->LayoutCount, 1);
}

TEST_F(Window, Caption_IsExactlyTheMonitorsOwn) {
  start();
  EXPECT_EQ(form->windowTitle(), "ZENTROVA - Vertretungsmonitor 1.0.15");
}

TEST_F(Window, StatusPanels_NeverOverlapTheFirstGivesUpWidthAndTheCountdownStaysWhole) {
  start({"Width=700", "RefreshInterval=60"});
  form->LetztesUpdate = zdt::now();
  form->updatechecktimerTimer();
  const QLabel* countdown = form->StatusPanels[2];
  ASSERT_EQ(countdown->text(), " next update check: 60 min");
  for (int width : {1052, 700, 500}) {
    form->resize(width, 500);
    processEvents();
    const QRect p0 = form->StatusPanels[0]->geometry();
    const QRect p1 = form->StatusPanels[1]->geometry();
    const QRect p2 = countdown->geometry();
    if (width == 1052) {
      EXPECT_EQ(p0.width(), 550);
    }
    EXPECT_EQ(p1.width(), 120) << width;
    EXPECT_GT(p1.left(), p0.right()) << width;
    EXPECT_GT(p2.left(), p1.right()) << width;
    EXPECT_EQ(p2.right(), form->StatusBar1->width() - 1) << width;
    EXPECT_LE(countdown->fontMetrics().horizontalAdvance(countdown->text()), countdown->contentsRect().width())
        << width;
  }
}

TEST_F(Window, InfoTypTwoInAutomaticMode_ChecksNeitherAudienceButton) {
  start({"AutoScroll=1", "InfoTyp=2"});
  EXPECT_EQ(Plan.AktuellerTyp, 2);
  EXPECT_FALSE(form->RadioButton3->isChecked());
  EXPECT_FALSE(form->RadioButton4->isChecked());
  EXPECT_EQ(Plan.AktuellerTag, Plan.StatListLehrer.Items(0)) << "any audience but 0 shows the teachers' days";
}
