// The main window of the monitor: every control of the plan display, its six
// timers, and the handlers that drive the page.
//
// The member functions live in several files by concern: start-up and close
// (Form1Startup.cpp), loading the plan (Form1Plan.cpp), the refresh cycle
// (Form1Refresh.cpp), day and audience choice (Form1DayChoice.cpp), page
// layout (Form1Layout.cpp), grid painting (Form1Painting.cpp), the header
// colours, timers and keys (Form1Timers.cpp), the settings dialog
// (Form1Options.cpp) and the notification indicator (Form1Notifications.cpp).
#pragma once

#include <QColor>
#include <QComboBox>
#include <QFileSystemWatcher>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <cstdint>

#include "platform/DateTime.h"
#include "plan/PlanRecords.h"
#include "widgets/AlignPanel.h"
#include "widgets/StatusBar.h"
#include "widgets/StringGrid.h"

class PointerHider;
class QKeyEvent;
class RichEdit;
class TNachrichtListe;

class TForm1 : public AlignPanel {
  Q_OBJECT
 public:
  static constexpr const char* kCaption = "ZENTROVA - Vertretungsmonitor 1.0.15";

  // What the window is for. A check window (zova-check) decides and lays out
  // everything as the monitor would, but changes nothing: it creates no
  // settings folder, its timers never fire, it watches no file, it does not
  // enter full screen and it never writes the settings.
  enum class Purpose { Monitor, Check };

  // Creating the window runs FormCreate.
  explicit TForm1(QWidget* parent = nullptr, Purpose purpose = Purpose::Monitor);
  ~TForm1() override;

  // --- Controls, top to bottom ---
  AlignPanel* Panel5;  // control panel
  QComboBox* DBox;
  QRadioButton* RadioButton3;
  QRadioButton* RadioButton4;
  QToolButton* SpeedButton2;
  QToolButton* TelefonBtn;
  StatusBar* StatusBar1;
  QLabel* StatusPanels[3];  // the three panels of StatusBar1
  AlignPanel* Panel1;  // plan area; its font is the page font
  AlignPanel* Panel3;
  QLabel* Label1;
  QLabel* Label2;
  AlignPanel* Panel6;
  QLabel* Label3;
  QLabel* Label4;
  AlignPanel* Panel7;
  QLabel* Label5;
  QLabel* Label6;
  StringGrid* Grid2;  // absence lists and page row
  AlignPanel* Panel2;  // notice area
  QLabel* Label7;
  RichEdit* RichEdit1;
  StringGrid* Grid;  // substitution table

  QTimer* UpdateTimer;
  QTimer* ScrollTimer;
  QTimer* Timer1;
  QTimer* Blinktimer;
  QTimer* updatechecktimer;
  QTimer* Benachrichtigungstimer;

  // --- Fields ---
  TDateTime LastDate = 0;
  QColor HeaderColor;
  int UpdateIntervall = 0;
  TDateTime LetztesUpdate = 0;
  bool BlinkActive = false;
  int BlinkPhase = 0;
  bool ErsteAktivierung = true;
  bool IsFullScreen = false;
  bool DBVerbunden = false;
  int AktSeite = 1;
  int AnzSeiten = 1;
  int AnzSichtbar = 0;
  int AnzZeilen = 0;
  int Seitenzeile = 0;  // row of Grid2 that shows the page indicator
  QStringList Spaltenkoepfe = QStringList(8, QString());  // headings 1..7
  int Spaltenbreiten[8] = {};                               // widths 1..7

  // Page layouts and polls done so far (for tests and diagnostics).
  int LayoutCount = 0;
  int PollCount = 0;

  // --- Start and close ---
  void FormCreate();
  void FormActivate();
  void FormClose();

  // --- Loading the plan ---
  void GetDaten();
  void GetDynData(std::uint8_t infoTyp, TDateTime datum);

  // --- Refresh cycle ---
  // The timer poll and F7 first have the local copy of the plan file
  // refreshed in the background; the poll itself (GetNewDaten) runs when
  // that has ended, successful or not.
  void UpdateTimerTimer();
  void ForceUpdate();
  // Who asked for the poll that runs after the copy's refresh.
  enum PollRequest { kPollByTimer = 1, kPollByKey = 2, kPollByWatch = 4 };
  void RequestPoll(PollRequest by);
  // The local copy's refresh has ended: runs the polls asked for, and one
  // when a complete new export arrived by itself (a retry after a half-
  // written file).
  void PlanCopyRefreshed();
  bool PollPending() const { return m_pendingPolls != 0; }
  void GetNewDaten();
  void Datenanzeigen();
  void Datenloeschen();

  // --- Day and audience choice ---
  void BuildDBox();
  void DBoxChange();
  void RadioButton3Click();
  void RadioButton4Click();
  void BuildTagesliste();
  void CheckAnzList();
  // The record behind DBox's item, or none.
  TStatItemRef DBoxRecord(int index) const;
  // "ddd, dd.mm.yy" with the short weekday name of zdt::germanLocale(system).
  static QString DBoxText(TDateTime datum, const QLocale& system = QLocale::system());

  // --- Page layout ---
  void Showdaten();
  void AddInfoZeilen(const QString& liste, const QString& caption);
  static QStringList WrapListe(const QString& text, int width, const QFont& font);
  void CalcSpaltenbreiten(const QFont& font, int gridWidth);
  static void ClearGrid(StringGrid* grid);
  // Pages of `rows` body rows when `visible` rows fit on one (at least 1).
  static int PageCount(int rows, int visible);
  void CheckHeaderPanels();
  void RichEdit1ResizeRequest(const QRect& requested);
  void Panel1Resize();

  // --- Grid painting ---
  void GridDrawCell(QPainter& painter, int col, int row, const QRect& rect);
  void Grid2DrawCell(QPainter& painter, int col, int row, const QRect& rect);

  // --- Automatic paging and manual paging (Form1Paging.cpp) ---
  void ScrollTimerTimer();
  TStatItemRef NextTag();
  void ShowNextTag(const TStatItemRef& tag);
  void GridPageDown();
  void GridPageUp();
  // Shows page `page` of the day on screen as automatic paging reaches it:
  // the grid's top row and, in automatic mode, AktSeite and the page row.
  // Precondition: the day is laid out and 1 <= page <= AnzSeiten.
  void ShowPage(int page);
  // The page row's text in automatic mode: "Seite AktSeite von AnzSeiten".
  QString PageRowText() const;
  // Wheel handlers; each marks the wheel event handled.
  void GridMouseWheelDown(bool& handled);
  void GridMouseWheelUp(bool& handled);
  void FormMouseWheelDown(bool& handled);

  // --- Header colours, clock, blinking, countdown (Form1Timers.cpp) ---
  static QColor Headerfarbe(int position);
  void LabelBlinking(bool on);
  void BlinktimerTimer();
  void Timer1Timer();
  void updatechecktimerTimer();

  // --- Keys, font size, panels, full screen (Form1Keys.cpp) ---
  // Handles a key of the main window by its key code alone; returns with
  // the key consumed whether it matched or not.
  void FormKeyDown(int key);
  // The key code FormKeyDown acts on (27 Esc, 121 F10, 116 F5, 118 F7,
  // 107/109 keypad plus/minus, 187/189 plus/minus, 33/34 page up/down), or
  // 0 for any other key; modifiers do not change it.
  static int KeyCode(const QKeyEvent& event);
  void ChangeSize(int step);
  void ToggleSteuerpanel();
  void SetPanelText();
  void FullScreen(bool on);
  void SpeedButton2Click();
  // The point size the page is painted in: Fontsize, kept within what can
  // be painted (a hand-edited settings file may hold any number), or with
  // Fontsize 0 the size FitAutoFontSize chose.
  int PageFontSize() const;
  // Fontsize 0: the largest page font at which the seven columns of the
  // widest rows of the days in Tagesliste (and the shown day) fit the
  // table's width and a page holds kAutoMinRows whole body rows, found by
  // laying the page out; the smallest size when none does.
  void FitAutoFontSize();
  static constexpr int kAutoMinRows = 12;
  static constexpr int kAutoMinFontSize = 6;
  static constexpr int kAutoMaxFontSize = 72;
  // Panel1's font at PageFontSize(); the page's controls take it over.
  void ApplyPageFont();
  // ScrollTimer's and UpdateTimer's intervals (and UpdateIntervall) from the
  // settings, computed in 64 bits and bounded below; running timers restart.
  void ApplyTimerIntervals();
  // Width of a status-bar panel on a screen of `ppi` pixels per inch.
  static int ScaledPanelWidth(int designWidth, int ppi);

  // --- Settings dialog (Form1Options.cpp) ---
  // Opens the settings dialog (F10) and applies what it changed.
  void Optionen1Click();

  // --- Notification indicator (Form1Notifications.cpp) ---
  // Creates Benachrichtigungstimer and wires it, TelefonBtn (built-in
  // picture, click) and the notification hooks; part of creating the controls.
  void CreateNotificationIndicator();
  // Reloads today's and later notifications into a list of its own on the
  // notification thread; when that has ended, FinishNotificationCheck.
  void CheckBenachrichtigungen();
  // Counts the due notifications of a loaded list (which sets
  // Benachrichtigungstimer's next interval) and switches the indicator: the
  // red picture and a flash on the change to due, the normal picture on the
  // change back. A picture file that cannot be loaded is reported and the
  // state kept, so the next check tries again. `connected`: the database
  // opened, which switches on a feature whose start test failed.
  void FinishNotificationCheck(TNachrichtListe& liste, bool connected);
  void BenachrichtigungstimerTimer();
  // Flashes the task-bar entry and caption until the program comes to the front.
  void Flash();
  // Shows the notification dialog modally, at once, and fills it once the
  // notifications of the last 14 days are loaded into Nachrichten; a load
  // that fails closes it ("Tabelle kann nicht geöffnet werden!" when the
  // database cannot be opened).
  void TelefonBtnClick();
  int FlashCount = 0;           // flashes so far (tests and diagnostics)
  int TelefonPictureLoads = 0;  // picture files loaded into TelefonBtn so far

  // The plan file watch: a changed Zova-Internet.mdb is polled at once,
  // besides the regular UpdateTimer poll; whether the export is complete is
  // the copy's to tell (a change during a poll brings another poll).
  void WatchPlanFile();
  QFileSystemWatcher* PlanWatcher;

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Kiosk mode ([Kiosk] Aktiv): swallows every key and click on the window,
  // except Ctrl+Alt+F10 (settings) and Ctrl+Alt+Esc (end); true when the
  // event was for this window.
  bool KioskFilter(QObject* watched, QEvent* event);
  void createControls();
  void createControlPanel();
  void createStatusBar();
  void createPlanArea();
  void createTimers();
  // Opens the plan database for a load; on failure the page shows the
  // no-connection text. Sets DBVerbunden either way.
  bool OpenPlanForLoad();
  // Runs the query of one day's rows of the audience on the open plan
  // connection (GetDynData's query); throws db::Error.
  void OpenDayRows(std::uint8_t infoTyp, TDateTime datum);
  void setPanelHeight(QWidget* panel, int height);
  // Loads Programmpfad + `file` into TelefonBtn; false (reported in a
  // message box) when it cannot be loaded.
  bool LoadTelefonPicture(const QString& file);
  bool m_checkingNotifications = false;  // a check is queued or running
  bool m_checkAgain = false;             // a check was asked for while one ran
  // Shows or hides the control panel with the plan area hidden meanwhile,
  // so the page is laid out anew around it.
  void applyPanelVisibility();
  // Hides the idle mouse pointer while the window is in full screen.
  PointerHider* m_pointerHider = nullptr;
  // The window as it was before full screen, restored when leaving it.
  struct SavedWindow {
    Qt::WindowFlags flags;
    QRect geometry;  // the normal (not maximised) geometry
    Qt::WindowStates state;
  } m_savedWindow;
  Purpose m_purpose = Purpose::Monitor;
  int m_pendingPolls = 0;         // PollRequest flags waiting for the copy's refresh
  TDateTime m_timerPollAt = 0;    // when UpdateTimer asked for the pending poll
  int m_gridCursor = 0;      // row cursor of Grid2 while a page is laid out
  int m_infoColumnWidth = 0; // width C1 of Grid2's list column
  int m_autoFontSize = 11;   // the page font of Fontsize 0
  QString m_mergedCopy;      // the plan copy whose days the lists hold, when read whole
  // Per day record ("audience/date/Druckdatum"), the widest texts of each
  // column, measured in a reference font; see FitAutoFontSize.
  QHash<QString, std::array<QStringList, 8>> m_widestTexts;
  // The sizes FitAutoFontSize found, by shown day record, for the window,
  // settings and day list of m_fitContext.
  QString m_fitContext;
  QHash<QString, int> m_fittedSizes;
  std::array<QStringList, 8> WidestTexts(std::uint8_t typ, const TStatItem& day);
  void LayoutPage();
  // The parts of LayoutPage, in its order.
  void ShowHeaderTexts(const TStatItem& tag);
  int FillInfoGrid(const TStatItem& tag, const QFont& pageFont);
  void ShowNotice(const TStatItem& tag, const QFont& pageFont);
  int FillSubstitutionTable(const TStatItem& tag, const QFont& pageFont, int rowHeight);
  void ShowPaging(int rows);
  bool m_closed = false;
};
