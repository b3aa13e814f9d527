// The settings dialog "Einstellungen": every setting of "Zova-Monitor.ini"
// except the window geometry and LastTyp, edited at the screen (F10).
//
// The dialog fills its controls from the settings values when it is created
// (FormCreate) and stores them back only when OK is pressed (OKBtnClick); the
// close box cancels. Three result flags tell the main window afterwards what
// it has to apply (TForm1::Optionen1Click). A new dialog is created for
// every opening; it keeps nothing between openings.
//
// Each number field is a spin box named after its field (Edit3 for
// Fontsize ...); the spin box is field and spinner in one, and the value that
// counts is its value, always within its range. The time of Haltbarkeit is
// different: the spinner UpDown5 stands apart from the field Edit5, which
// only shows the spinner's position as a time.
#pragma once

#include <QDialog>
#include <functional>

#include "settings/SettingsValues.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class UpDown;

class TMyEinstDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 600;
  static constexpr int kClientHeight = 508;
  // Range of the time spinner: one step is a quarter hour, 07:00 to 23:45.
  static constexpr int kHaltbarkeitMin = 28;
  static constexpr int kHaltbarkeitMax = 95;

  // Creates the dialog owned by `owner` (the main window), centred on the
  // screen, and runs FormCreate.
  explicit TMyEinstDlg(QWidget* owner = nullptr);

  // --- Controls, top to bottom and left to right ---
  QLabel* Label1;
  QLineEdit* PfadEdit;  // Datenpfad, read-only: chosen with Button1 only
  QPushButton* Button1;
  QLabel* Label9;
  QLineEdit* Edit6;  // PfadBenachrichtigungen, typed or chosen with Button2
  QPushButton* Button2;

  QGroupBox* GroupBox1;  // "Ansicht"
  QCheckBox* CheckBox1;  // ShowSteuerPanel
  QCheckBox* CheckBox3;  // ShowStatusPanel
  QCheckBox* CheckBox4;  // Vollbild
  QLabel* Label2;
  QSpinBox* Edit3;  // Fontsize
  QCheckBox* FontAutoBox;  // "automatisch": Fontsize 0, the size fits the screen

  QGroupBox* GroupBox2;  // "Updatesuche"
  QLabel* Label6;
  QSpinBox* Edit4;  // Refreshinterval
  QLabel* Label7;

  QGroupBox* GroupBox3;  // "Autoscroll Einstellungen"
  QCheckBox* CheckBox2;  // AutoScroll
  QRadioButton* Radio1;  // InfoTyp 0
  QRadioButton* Radio2;  // InfoTyp 1
  QLabel* Label3;
  QSpinBox* Edit1;  // ScrollTime
  QLabel* Label4;
  QSpinBox* Edit2;  // AnzeigeTage
  QLabel* Label5;
  QLabel* Label8;
  QLineEdit* Edit5;  // shows the time of UpDown5; what is typed here is not read
  UpDown* UpDown5;   // Haltbarkeit in quarter hours

  QGroupBox* GroupBox4;   // "Anzeige Einstellungen"
  QCheckBox* CheckBox5;   // ShowALehrer
  QCheckBox* CheckBox6;   // ShowAKlassen
  QCheckBox* CheckBox7;   // ShowAKurse
  QCheckBox* CheckBox8;   // ShowARaeume
  QCheckBox* CheckBox9;   // ShowBKlassen
  QCheckBox* CheckBox10;  // ShowBLehrer

  QGroupBox* GroupBox5;  // "Benachrichtigungen"
  QLabel* Label10;
  QSpinBox* Edit7;  // KarenzZeit

  QPushButton* OKBtn;

  // --- Result flags, read by the main window after the dialog closed ---
  bool VollbildChanged = false;
  bool PfadeChanged = false;
  // Any other edited setting changed (KarenzZeit does not count).
  bool SettingsChanged = false;

  // Takes the copies from the settings values and fills the controls.
  void FormCreate();
  // Couples "Autoscroll verwenden" with "Steuerpanel sichtbar": checking it
  // unchecks and disables CheckBox1, unchecking it checks and enables it.
  void CheckBox2Click();
  // The guard of UpDown5: refuses a position outside 28..95; otherwise shows
  // the position's time in Edit5 and allows the change.
  bool UpDown5ChangingEx(int newPosition);
  // The folder pickers for PfadEdit and Edit6; a cancel keeps the text.
  void Button1Click();
  void Button2Click();
  // Stores the controls into the settings values (KarenzZeit without change
  // detection), sets the result flags, closes the dialog with the result OK
  // (accepted() follows; the monitor then tests the notification database
  // again, app/SettingsAndNotifications.h).
  void OKBtnClick();

  // Shows the folder picker owned by `owner` with `instruction`. Returns the
  // picked folder as an absolute path ending in "/", or an empty text when
  // the user cancelled.
  static QString BrowseForPath(const QString& instruction, QWidget* owner);

  // The display form of a time-spinner position: "hh:nn Uhr" with the
  // locale's time separator (28 -> "07:00 Uhr").
  static QString HaltbarkeitText(int position);

  // Runs `handler` with every dialog just opened, from within its modal loop
  // (tests fill the controls there and press OK or close the dialog). An
  // empty function removes it.
  static void setOpenedHandler(std::function<void(TMyEinstDlg&)> handler);

 protected:
  void showEvent(QShowEvent* event) override;
  // Esc cancels when it is let go, not when pressed: a key held down repeats,
  // and repeats arriving after the dialog closed would reach the main
  // window, where Esc ends the program.
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void createControls();
  void createPathRows();
  void createLeftColumn();
  void createMiddleColumn();
  void createRightColumn();
  // The dialog's copies of the settings it edits (KarenzZeit has none).
  SettingsValues m_kopie;
};
