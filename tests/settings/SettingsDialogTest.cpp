// The settings dialog on its own: filling the controls from the settings
// values, the coupling of the auto-scroll and control-panel boxes, the time
// spinner, the folder pickers, number fields with typed text, what OK stores
// and which result flags it sets, and the dialog's layout.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <functional>
#include <gtest/gtest.h>

#include "app/SettingsAndNotifications.h"
#include "notifications/Background.h"
#include "notifications/Notifications.h"
#include "platform/FolderPicker.h"
#include "platform/MessageBox.h"
#include "settings/SettingsValues.h"
#include "settings/TMyEinstDlg.h"
#include "widgets/UpDown.h"

namespace {

// The values a fresh settings file gives, with both folders set.
SettingsValues defaults() {
  SettingsValues s;
  s.Datenpfad = "/srv/zova/plan/";
  s.PfadBenachrichtigungen = "/srv/zova/benachrichtigungen/";
  s.ShowStatusPanel = s.ShowSteuerPanel = true;
  s.Refreshinterval = 1;
  s.ScrollTime = 8;
  s.Fontsize = 11;
  s.AnzeigeTage = 2;
  s.Haltbarkeit = zdt::encodeTime(18, 0);
  s.ShowALehrer = s.ShowAKlassen = s.ShowAKurse = s.ShowARaeume = s.ShowBLehrer = s.ShowBKlassen = true;
  s.KarenzZeit = 5;
  return s;
}

// Types `text` into the field as keystrokes, without leaving it.
void typeInto(QSpinBox* field, const QString& text) {
  auto* edit = field->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
  }
}

class SettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override { Settings = defaults(); }
  void TearDown() override {
    folderpicker::setHandler({});
    Settings = SettingsValues{};
  }
  msgbox::Recorder messages;
};

// The show flags in the order of the check boxes CheckBox5..CheckBox10.
struct ShowFlag {
  bool SettingsValues::*flag;
  QCheckBox* TMyEinstDlg::*box;
};
const ShowFlag kShowFlags[] = {
    {&SettingsValues::ShowALehrer, &TMyEinstDlg::CheckBox5},   {&SettingsValues::ShowAKlassen, &TMyEinstDlg::CheckBox6},
    {&SettingsValues::ShowAKurse, &TMyEinstDlg::CheckBox7},    {&SettingsValues::ShowARaeume, &TMyEinstDlg::CheckBox8},
    {&SettingsValues::ShowBKlassen, &TMyEinstDlg::CheckBox9},  {&SettingsValues::ShowBLehrer, &TMyEinstDlg::CheckBox10},
};

}  // namespace

// --- Opening ---

TEST_F(SettingsDialog, Opening_FillsTheControlsFromTheSettings) {
  Settings.ShowStatusPanel = false;
  Settings.Vollbild = true;
  Settings.InfoTyp = 1;
  Settings.Refreshinterval = 250;
  Settings.ScrollTime = 17;
  Settings.AnzeigeTage = 5;
  Settings.KarenzZeit = 12;
  TMyEinstDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Einstellungen");
  EXPECT_EQ(dlg.PfadEdit->text(), "/srv/zova/plan/");
  EXPECT_EQ(dlg.Edit6->text(), "/srv/zova/benachrichtigungen/");
  EXPECT_TRUE(dlg.CheckBox1->isChecked());
  EXPECT_TRUE(dlg.CheckBox1->isEnabled());
  EXPECT_FALSE(dlg.CheckBox3->isChecked());
  EXPECT_TRUE(dlg.CheckBox4->isChecked());
  EXPECT_FALSE(dlg.CheckBox2->isChecked());
  EXPECT_TRUE(dlg.Radio2->isChecked());
  EXPECT_EQ(dlg.Edit3->value(), 11);
  EXPECT_EQ(dlg.Edit4->value(), 250);
  EXPECT_EQ(dlg.Edit1->value(), 17);
  EXPECT_EQ(dlg.Edit2->value(), 5);
  EXPECT_EQ(dlg.Edit7->value(), 12);
  EXPECT_EQ(dlg.Edit5->text(), "18:00 Uhr");
  EXPECT_FALSE(dlg.VollbildChanged || dlg.PfadeChanged || dlg.SettingsChanged);
}

TEST_F(SettingsDialog, EachShowFlag_HasItsOwnCheckBoxBothWays) {
  for (const ShowFlag& f : kShowFlags) {
    Settings = defaults();
    Settings.*f.flag = false;
    TMyEinstDlg dlg;
    for (const ShowFlag& g : kShowFlags) EXPECT_EQ((dlg.*g.box)->isChecked(), &g != &f);
    dlg.OKBtnClick();
    for (const ShowFlag& g : kShowFlags) EXPECT_EQ(Settings.*g.flag, &g != &f);
    EXPECT_FALSE(dlg.SettingsChanged);
  }
}

TEST_F(SettingsDialog, FontsizeAboveRange_ShowsAndStoresTheRangeEnd) {
  Settings.Fontsize = 40;
  Settings.Refreshinterval = 0;
  TMyEinstDlg dlg;
  EXPECT_EQ(dlg.Edit3->value(), 28);
  EXPECT_EQ(dlg.Edit4->value(), 1);
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Fontsize, 28);
  EXPECT_EQ(Settings.Refreshinterval, 1);
  EXPECT_TRUE(dlg.SettingsChanged);
}

TEST_F(SettingsDialog, FontsizeZero_IsAutomaticUntilItsBoxIsCleared) {
  Settings.Fontsize = 0;
  {
    TMyEinstDlg dlg;
    EXPECT_TRUE(dlg.FontAutoBox->isChecked());
    EXPECT_FALSE(dlg.Edit3->isEnabled());
    dlg.OKBtnClick();
    EXPECT_EQ(Settings.Fontsize, 0);
    EXPECT_FALSE(dlg.SettingsChanged);
  }
  TMyEinstDlg dlg;
  dlg.FontAutoBox->setChecked(false);
  EXPECT_TRUE(dlg.Edit3->isEnabled());
  dlg.Edit3->setValue(14);
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Fontsize, 14);
  EXPECT_TRUE(dlg.SettingsChanged);
}

TEST_F(SettingsDialog, AutoScrollOn_OpensWithSteuerpanelUncheckedAndGreyed) {
  Settings.AutoScroll = true;
  TMyEinstDlg dlg;
  EXPECT_TRUE(dlg.CheckBox2->isChecked());
  EXPECT_FALSE(dlg.CheckBox1->isChecked());
  EXPECT_FALSE(dlg.CheckBox1->isEnabled());
  dlg.OKBtnClick();
  EXPECT_FALSE(Settings.ShowSteuerPanel);
  EXPECT_TRUE(dlg.SettingsChanged);
}

TEST_F(SettingsDialog, UncheckingAutoscroll_ChecksAndEnablesSteuerpanel) {
  Settings.ShowSteuerPanel = false;
  TMyEinstDlg dlg;
  EXPECT_FALSE(dlg.CheckBox1->isChecked());  // off and enabled: no coupling while autoscroll stays off
  EXPECT_TRUE(dlg.CheckBox1->isEnabled());
  dlg.CheckBox2->setChecked(true);
  EXPECT_FALSE(dlg.CheckBox1->isEnabled());
  dlg.CheckBox2->setChecked(false);
  EXPECT_TRUE(dlg.CheckBox1->isChecked());
  EXPECT_TRUE(dlg.CheckBox1->isEnabled());
}

TEST_F(SettingsDialog, OkFocused_FixedSizeArial13_NoCancelButton) {
  TMyEinstDlg dlg;
  dlg.show();
  QApplication::processEvents();
  EXPECT_EQ(dlg.size(), QSize(600, 508));
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
  EXPECT_EQ(dlg.font().pixelSize(), 13);
  EXPECT_EQ(dlg.focusWidget(), dlg.OKBtn);
  EXPECT_TRUE(dlg.OKBtn->isDefault());
  EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 3);  // OK and the two "Durchsuchen"
  EXPECT_TRUE(dlg.PfadEdit->isReadOnly());
  EXPECT_FALSE(dlg.Edit6->isReadOnly());
  EXPECT_EQ(dlg.PfadEdit->palette().color(QPalette::Base), QColor(255, 251, 240));
  EXPECT_EQ(dlg.Edit6->palette().color(QPalette::Base), QColor(255, 251, 240));
}

TEST_F(SettingsDialog, Esc_CancelsWhenLetGo_WhileHeldTheDialogStaysOpen) {
  TMyEinstDlg dlg;
  dlg.show();
  QApplication::processEvents();
  const auto send = [&](QEvent::Type type, bool autoRepeat) {
    QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(dlg.focusWidget(), &key);
  };
  send(QEvent::KeyPress, false);
  send(QEvent::KeyRelease, true);  // the key held down repeats
  send(QEvent::KeyPress, true);
  EXPECT_TRUE(dlg.isVisible());
  send(QEvent::KeyRelease, false);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

// --- Time spinner ---

TEST_F(SettingsDialog, HaltbarkeitBetweenQuarters_ShowsTheQuarterBefore_AndOkStoresIt) {
  Settings.Haltbarkeit = zdt::encodeTime(18, 10);
  TMyEinstDlg dlg;
  EXPECT_EQ(dlg.Edit5->text(), "18:00 Uhr");
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(18, 0));
  EXPECT_TRUE(dlg.SettingsChanged);
}

TEST_F(SettingsDialog, HaltbarkeitBefore0700_StaysAt0700) {
  Settings.Haltbarkeit = zdt::encodeTime(6, 30);
  TMyEinstDlg dlg;
  EXPECT_EQ(dlg.UpDown5->position(), 28);
  EXPECT_EQ(dlg.Edit5->text(), "07:00 Uhr");
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(7, 0));
}

TEST_F(SettingsDialog, TimeSpinner_StepsByQuarterHours_NotBeyond2345) {
  Settings.Haltbarkeit = zdt::encodeTime(23, 30);
  TMyEinstDlg dlg;
  dlg.UpDown5->stepBy(1);
  EXPECT_EQ(dlg.Edit5->text(), "23:45 Uhr");
  EXPECT_FALSE(dlg.UpDown5->stepBy(1));
  EXPECT_EQ(dlg.Edit5->text(), "23:45 Uhr");
  EXPECT_FALSE(dlg.UpDown5ChangingEx(96));
  EXPECT_FALSE(dlg.UpDown5ChangingEx(27));
  EXPECT_EQ(dlg.Edit5->text(), "23:45 Uhr");
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(23, 45));
}

TEST_F(SettingsDialog, TextTypedIntoTheTimeField_IsNotRead) {
  TMyEinstDlg dlg;
  dlg.Edit5->setText("09:15 Uhr");
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(18, 0));
  EXPECT_FALSE(dlg.SettingsChanged);
}

// --- Number fields ---

TEST_F(SettingsDialog, TypedDigits_CountAtOk_ButNeverOutsideTheRange) {
  TMyEinstDlg dlg;
  typeInto(dlg.Edit4, "90");
  typeInto(dlg.Edit3, "40");  // 6..28
  typeInto(dlg.Edit2, "9");   // 1..7
  typeInto(dlg.Edit1, "0");   // 1..200
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Refreshinterval, 90);
  EXPECT_GE(Settings.Fontsize, 6);
  EXPECT_LE(Settings.Fontsize, 28);
  EXPECT_GE(Settings.AnzeigeTage, 1);
  EXPECT_LE(Settings.AnzeigeTage, 7);
  EXPECT_GE(Settings.ScrollTime, 1);
  EXPECT_LE(Settings.ScrollTime, 200);
}

// --- Folder pickers ---

TEST_F(SettingsDialog, PickedFolder_GetsATrailingSeparatorAndIsAbsolute) {
  TMyEinstDlg dlg;
  QWidget* owner = nullptr;
  QString instruction;
  folderpicker::setHandler([&](QWidget* o, const QString& text) {
    owner = o;
    instruction = text;
    return QStringLiteral("/srv/neu/plan");
  });
  dlg.Button1Click();
  EXPECT_EQ(dlg.PfadEdit->text(), "/srv/neu/plan/");
  EXPECT_EQ(owner, &dlg);
  EXPECT_EQ(instruction, QString::fromUtf8("Pfad wählen!"));
  folderpicker::setHandler([](QWidget*, const QString&) { return QStringLiteral("relativ/ordner"); });
  dlg.Button2Click();
  EXPECT_EQ(dlg.Edit6->text(), QDir::currentPath() + "/relativ/ordner/");
}

TEST_F(SettingsDialog, PickedRoot_GivesASingleSeparator) {
  TMyEinstDlg dlg;
  folderpicker::setHandler([](QWidget*, const QString&) { return QStringLiteral("/"); });
  dlg.Button1Click();
  EXPECT_EQ(dlg.PfadEdit->text(), "/");
}

TEST_F(SettingsDialog, CancelledPicker_KeepsTheFieldsText) {
  TMyEinstDlg dlg;
  dlg.Edit6->setText("/getippt/");
  folderpicker::setHandler([](QWidget*, const QString&) { return QString(); });
  dlg.Button1Click();
  dlg.Button2Click();
  EXPECT_EQ(dlg.PfadEdit->text(), "/srv/zova/plan/");
  EXPECT_EQ(dlg.Edit6->text(), "/getippt/");
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.Datenpfad, "/srv/zova/plan/");
  EXPECT_EQ(Settings.PfadBenachrichtigungen, "/getippt/");
}

// --- OK ---

TEST_F(SettingsDialog, OkWithoutChange_SetsNoFlag_ButTestsTheNotificationDatabase) {
  NotificationsAvailable = true;
  TMyEinstDlg dlg;
  InitNotificationsOnOk(dlg);  // as the main window opens it
  dlg.OKBtnClick();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_FALSE(dlg.VollbildChanged || dlg.PfadeChanged || dlg.SettingsChanged);
  ASSERT_TRUE(notifications::waitForBackground());
  EXPECT_FALSE(NotificationsAvailable);  // recomputed, as after every OK
}

TEST_F(SettingsDialog, OnlyKarenzzeitChanged_IsStoredAtOnce_WithoutAnyFlag) {
  TMyEinstDlg dlg;
  dlg.Edit7->setValue(20);
  dlg.OKBtnClick();
  EXPECT_EQ(Settings.KarenzZeit, 20);
  EXPECT_FALSE(dlg.VollbildChanged || dlg.PfadeChanged || dlg.SettingsChanged);
}

TEST_F(SettingsDialog, FolderDifferingOnlyInLetterCase_IsAChangeOfPaths) {
  TMyEinstDlg dlg;
  dlg.Edit6->setText("/srv/zova/Benachrichtigungen/");
  dlg.OKBtnClick();
  EXPECT_TRUE(dlg.PfadeChanged);
  EXPECT_FALSE(dlg.SettingsChanged);
  EXPECT_FALSE(dlg.VollbildChanged);
  EXPECT_EQ(Settings.PfadBenachrichtigungen, "/srv/zova/Benachrichtigungen/");
}

TEST_F(SettingsDialog, EveryEditedSetting_IsStoredAndCountsAsAChange) {
  TMyEinstDlg dlg;
  dlg.CheckBox3->setChecked(false);
  dlg.Edit3->setValue(14);
  dlg.Edit4->setValue(3);
  dlg.CheckBox2->setChecked(true);
  dlg.Edit1->setValue(12);
  dlg.Radio2->setChecked(true);
  dlg.Edit2->setValue(4);
  dlg.UpDown5->stepBy(-1);
  dlg.OKBtnClick();
  EXPECT_TRUE(dlg.SettingsChanged);
  EXPECT_FALSE(Settings.ShowStatusPanel);
  EXPECT_FALSE(Settings.ShowSteuerPanel);
  EXPECT_EQ(Settings.Fontsize, 14);
  EXPECT_EQ(Settings.Refreshinterval, 3);
  EXPECT_TRUE(Settings.AutoScroll);
  EXPECT_EQ(Settings.ScrollTime, 12);
  EXPECT_EQ(Settings.InfoTyp, 1);
  EXPECT_EQ(Settings.AnzeigeTage, 4);
  EXPECT_EQ(Settings.Haltbarkeit, zdt::encodeTime(17, 45));
}

TEST_F(SettingsDialog, SingleChanges_EachSetTheChangeFlag) {
  const std::function<void(TMyEinstDlg&)> changes[] = {
      [](TMyEinstDlg& d) { d.CheckBox1->setChecked(false); }, [](TMyEinstDlg& d) { d.CheckBox3->setChecked(false); },
      [](TMyEinstDlg& d) { d.Edit3->setValue(12); },          [](TMyEinstDlg& d) { d.Edit4->setValue(2); },
      [](TMyEinstDlg& d) { d.Edit1->setValue(9); },           [](TMyEinstDlg& d) { d.Radio2->setChecked(true); },
      [](TMyEinstDlg& d) { d.Edit2->setValue(3); },           [](TMyEinstDlg& d) { d.UpDown5->stepBy(1); },
  };
  int index = 0;
  for (const auto& change : changes) {
    Settings = defaults();
    TMyEinstDlg dlg;
    change(dlg);
    dlg.OKBtnClick();
    EXPECT_TRUE(dlg.SettingsChanged) << "change " << index;
    EXPECT_FALSE(dlg.VollbildChanged || dlg.PfadeChanged) << "change " << index;
    ++index;
  }
}

// --- Layout ---

TEST_F(SettingsDialog, Layout_CaptionsFitAndNoControlsOverlap) {
  TMyEinstDlg dlg;
  dlg.show();
  QApplication::processEvents();
  QList<QWidget*> containers = {&dlg};
  for (QGroupBox* box : dlg.findChildren<QGroupBox*>()) containers << box;
  for (QWidget* container : containers) {
    QList<QWidget*> children;
    for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (w->isVisible() && !w->isWindow()) children << w;
    for (int i = 0; i < children.size(); ++i) {
      EXPECT_TRUE(container->rect().contains(children[i]->geometry()))
          << children[i]->metaObject()->className() << " leaves " << container->metaObject()->className();
      for (int j = i + 1; j < children.size(); ++j)
        EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
            << "overlap in " << container->metaObject()->className();
    }
  }
  for (QLabel* label : dlg.findChildren<QLabel*>())
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
  for (QAbstractButton* button : dlg.findChildren<QAbstractButton*>())
    if (!button->text().isEmpty()) {
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
}

TEST_F(SettingsDialog, Layout_GroupBoxesInTheirColumns) {
  TMyEinstDlg dlg;
  dlg.show();
  QApplication::processEvents();
  const QRect ansicht = dlg.GroupBox1->geometry(), update = dlg.GroupBox2->geometry(),
              autoscroll = dlg.GroupBox3->geometry(), anzeige = dlg.GroupBox4->geometry(),
              benachrichtigung = dlg.GroupBox5->geometry();
  EXPECT_EQ(dlg.GroupBox3->title(), "Autoscroll Einstellungen");
  // The path rows on top, label left and button right above the field.
  EXPECT_LT(dlg.Edit6->geometry().bottom(), ansicht.top());
  EXPECT_LT(dlg.Button1->geometry().bottom(), dlg.PfadEdit->geometry().top() + 4);
  EXPECT_GT(dlg.Button1->geometry().left(), dlg.Label1->geometry().right());
  // Left column upper and lower, middle at full height, right upper and lower.
  EXPECT_LT(ansicht.bottom(), update.top());
  EXPECT_LT(anzeige.bottom(), benachrichtigung.top());
  EXPECT_LT(update.right(), autoscroll.left());
  EXPECT_LT(autoscroll.right(), anzeige.left());
  EXPECT_EQ(autoscroll.top(), ansicht.top());
  EXPECT_EQ(autoscroll.bottom(), update.bottom());
  // OK under the left column.
  EXPECT_GT(dlg.OKBtn->geometry().top(), update.bottom());
  EXPECT_LT(dlg.OKBtn->geometry().right(), autoscroll.left());
}
