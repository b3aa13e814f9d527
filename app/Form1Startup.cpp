// The main window's controls, its start-up order and its close.
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QScreen>

#include "app/SettingsAndNotifications.h"
#include "app/TForm1.h"
#include "notifications/Notifications.h"
#include "plan/DataModule.h"
#include "platform/Folders.h"
#include "platform/PointerHider.h"
#include "platform/TimerInterval.h"
#include "plan/PlanState.h"
#include "richtext/RichEdit.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

namespace {

const QColor kDesignHeaderColor(99, 102, 118);
const QColor kNoticeColor(252, 241, 201);
const int kStatusPanelWidths[3] = {550, 120, 50};
// How long the start waits for the plan file before it shows the copy kept
// from the previous run.
constexpr int kKeptCopyWaitMs = 2000;

QLabel* headerLabel(QWidget* panel, QHBoxLayout* layout, Qt::Alignment align) {
  auto* label = new QLabel(panel);
  label->setAlignment(align | Qt::AlignVCenter);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(pal);
  layout->addWidget(label);
  return label;
}

// A header line: a coloured panel with a label at the left and one at the right.
AlignPanel* headerPanel(int height, int pointSize, bool bold, QLabel*& left, QLabel*& right) {
  auto* panel = new AlignPanel;
  panel->resize(100, height);
  panel->setColor(kDesignHeaderColor);
  QFont font(QStringLiteral("Verdana"), pointSize);
  font.setBold(bold);
  panel->setFont(font);
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(4, 0, 4, 0);
  left = headerLabel(panel, layout, Qt::AlignLeft);
  // A long heading may be cut at the right; the date at the right never is.
  left->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->setStretchFactor(left, 1);
  right = headerLabel(panel, layout, Qt::AlignRight);
  return panel;
}

}  // namespace

TForm1::TForm1(QWidget* parent, Purpose purpose) : AlignPanel(parent), m_purpose(purpose) {
  createControls();
  // A check window's timers may be started by the page layout like the
  // monitor's, but their handlers never run: the page stays as laid out.
  if (m_purpose == Purpose::Check)
    for (QTimer* t : findChildren<QTimer*>()) t->blockSignals(true);
  FormCreate();
}

TForm1::~TForm1() = default;

// The window's controls as the designer placed them, from the top down:
// control panel, status bar, plan area, then the timers and helpers.
void TForm1::createControls() {
  setFont(QFont(QStringLiteral("Verdana"), 8));
  resize(1052, 540);
  createControlPanel();
  createStatusBar();
  createPlanArea();
  createTimers();
  PlanWatcher = new QFileSystemWatcher(this);
  qApp->installEventFilter(this);
  m_pointerHider = new PointerHider(this);
}

// The control panel at the top: day chooser, the two audiences, version
// information and the notifications button.
void TForm1::createControlPanel() {
  Panel5 = new AlignPanel;
  Panel5->resize(100, 24);
  DBox = new QComboBox(Panel5);
  DBox->setEditable(false);
  DBox->setGeometry(2, 1, 145, 22);
  RadioButton3 = new QRadioButton(QStringLiteral("Schülerinformation"), Panel5);
  RadioButton3->setGeometry(168, 2, 137, 20);
  RadioButton3->setChecked(true);
  RadioButton4 = new QRadioButton(QStringLiteral("Lehrerinformation"), Panel5);
  RadioButton4->setGeometry(320, 2, 137, 20);
  SpeedButton2 = new QToolButton(Panel5);
  SpeedButton2->setText(QStringLiteral("?"));
  SpeedButton2->setToolTip(QStringLiteral("Versionsinformation"));
  SpeedButton2->setAutoRaise(true);
  SpeedButton2->setFont(QFont(QStringLiteral("Verdana"), 10));
  SpeedButton2->setGeometry(553, 1, 23, 22);
  TelefonBtn = new QToolButton(Panel5);
  TelefonBtn->setToolTip(QStringLiteral("Benachrichtigungen"));
  TelefonBtn->setAutoRaise(true);
  TelefonBtn->setGeometry(609, 1, 23, 22);
  addAligned(Panel5, Align::Top);
}

// The status bar at the bottom with three panels; the last one takes the
// rest of the bar.
void TForm1::createStatusBar() {
  StatusBar1 = new StatusBar;
  StatusBar1->resize(100, 19);
  StatusBar1->setFont(QFont(QStringLiteral("Arial"), 8));
  for (int i = 0; i < 3; ++i) StatusPanels[i] = StatusBar1->addPanel(kStatusPanelWidths[i]);
  StatusPanels[0]->setText(QStringLiteral(
      "  ESC = Ende;   F5 = Toggle Steuerpanel;   F10 = Optionen;   F7 = Force Update;   +/- = Fontsize"));
  StatusPanels[1]->setText(QStringLiteral(" Autoscroll = OFF"));
  StatusPanels[2]->setText(QStringLiteral("Next update: 24 s"));
  addAligned(StatusBar1, Align::Bottom);
}

// The plan area, filling the rest of the window from the top down: three
// header lines, the information grid (Grid2), the notice box and the
// substitution table; then the control panel's signals are connected to
// their handlers.
void TForm1::createPlanArea() {
  Panel1 = new AlignPanel;
  Panel1->setColor(Qt::white);
  Panel1->setFont(QFont(QStringLiteral("Verdana"), 11));
  Panel3 = headerPanel(22, 12, true, Label1, Label2);
  Panel1->addAligned(Panel3, Align::Top);
  Panel6 = headerPanel(18, 10, false, Label3, Label4);
  Panel1->addAligned(Panel6, Align::Top);
  Panel7 = headerPanel(18, 10, false, Label5, Label6);
  Panel1->addAligned(Panel7, Align::Top);

  Grid2 = new StringGrid;
  Grid2->setColCount(2);
  Grid2->setRowCount(1);
  Grid2->setScrollBarShown(false);
  Grid2->setFocusPolicy(Qt::NoFocus);
  Grid2->resize(100, 20);
  Grid2->setDrawCell([this](QPainter& p, int c, int r, const QRect& rect) { Grid2DrawCell(p, c, r, rect); });
  Panel1->addAligned(Grid2, Align::Top);

  Panel2 = new AlignPanel;
  Panel2->setColor(kNoticeColor);
  Panel2->resize(100, 1);
  Label7 = new QLabel(QStringLiteral("Bitte beachten:"), Panel2);
  QFont noticeCaption(QStringLiteral("Verdana"), 8);
  noticeCaption.setUnderline(true);
  Label7->setFont(noticeCaption);
  QPalette maroon = Label7->palette();
  maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
  Label7->setPalette(maroon);
  Label7->move(2, 2);
  Label7->adjustSize();
  RichEdit1 = new RichEdit;
  RichEdit1->setBackgroundColor(kNoticeColor);
  RichEdit1->resize(300, 1);
  Panel2->addAligned(RichEdit1, Align::Right);
  connect(RichEdit1, &RichEdit::resizeRequest, this, &TForm1::RichEdit1ResizeRequest);
  Panel1->addAligned(Panel2, Align::Top);

  Grid = new StringGrid;
  Grid->setColCount(7);
  Grid->setRowCount(2);
  Grid->setFixedRows(1);
  Grid->setDrawCell([this](QPainter& p, int c, int r, const QRect& rect) { GridDrawCell(p, c, r, rect); });
  connect(Grid, &StringGrid::mouseWheelDown, this, &TForm1::GridMouseWheelDown);
  connect(Grid, &StringGrid::mouseWheelUp, this, &TForm1::GridMouseWheelUp);
  Panel1->addAligned(Grid, Align::Client);
  addAligned(Panel1, Align::Client);
  connect(Panel1, &AlignPanel::resized, this, &TForm1::Panel1Resize);

  connect(DBox, &QComboBox::activated, this, [this] { DBoxChange(); });
  connect(RadioButton3, &QRadioButton::toggled, this, [this] { RadioButton3Click(); });
  connect(RadioButton4, &QRadioButton::toggled, this, [this] { RadioButton4Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
}

// The window's timers, each bound to its handler; the page layout and the
// start set the intervals that depend on the settings.
void TForm1::createTimers() {
  auto timer = [this](void (TForm1::*handler)()) {
    auto* t = new QTimer(this);
    connect(t, &QTimer::timeout, this, handler);
    return t;
  };
  UpdateTimer = timer(&TForm1::UpdateTimerTimer);
  ScrollTimer = timer(&TForm1::ScrollTimerTimer);
  Timer1 = timer(&TForm1::Timer1Timer);
  Timer1->setInterval(60000);
  Blinktimer = timer(&TForm1::BlinktimerTimer);
  Blinktimer->setInterval(3000);
  updatechecktimer = timer(&TForm1::updatechecktimerTimer);
  updatechecktimer->setInterval(1000);
  CreateNotificationIndicator();
}

int TForm1::ScaledPanelWidth(int designWidth, int ppi) {
  return ppi > 96 ? designWidth * ppi / 96 : designWidth;
}

void TForm1::FormCreate() {
  // Defaults before the settings are read.
  Plan.Nachlaufzeit = zdt::encodeTime(1, 0);
  Settings.Haltbarkeit = zdt::encodeTime(18, 0);
  ErsteAktivierung = true;
  Plan.NeuAufbau = false;
  // Program folder and the per-user folders.
  Programmpfad = folders::programFolder();
  SetupSettingsFolders(m_purpose == Purpose::Monitor);
  // Today's date, the settings, then the notification feature they enable.
  LastDate = zdt::today();
  ReadSettingsAndInitNotifications();
  TelefonBtn->setVisible(NotificationsAvailable);
  // Window placement; a negative left or top is taken as 0.
  if (Settings.Left < 0) Settings.Left = 0;
  if (Settings.Top < 0) Settings.Top = 0;
  move(Settings.Left, Settings.Top);
  resize(Settings.Width, Settings.Height);
  if (Settings.WindowMax) setWindowState(windowState() | Qt::WindowMaximized);
  // Header colour, panels, page font, status bar widths, caption.
  IsFullScreen = false;
  HeaderColor = Headerfarbe(0);
  Panel5->setVisible(Settings.ShowSteuerPanel && !Settings.KioskAktiv);
  ApplyPageFont();
  CheckHeaderPanels();
  const int ppi = qRound(screen() ? screen()->logicalDotsPerInch() : 96.0);
  for (int i = 0; i < 3; ++i) StatusBar1->setPanelWidth(i, ScaledPanelWidth(kStatusPanelWidths[i], ppi));
  // The countdown is never cut: its panel is as wide as its longest text.
  const QLabel* countdown = StatusPanels[2];
  const int countdownWidth = countdown->fontMetrics().horizontalAdvance(QStringLiteral(" next update check: 999 min")) +
                             2 * countdown->frameWidth() + 2 * countdown->margin() + 4;
  StatusBar1->setPanelWidth(2, qMax(StatusBar1->panelWidth(2), countdownWidth));
  StatusBar1->setVisible(Settings.ShowStatusPanel && !Settings.KioskAktiv);
  SetPanelText();
  setWindowTitle(QString::fromLatin1(kCaption));
  Panel1->show();
  // The plan lists exist for the whole run; they start empty.
  Plan.StatListAula.Clear();
  Plan.StatListLehrer.Clear();
  Plan.DynList.Clear();
  Plan.Tagesliste.clear();
  // Audience; checking a button runs its click handler, which finds
  // AktuellerTyp already set and does nothing. Another InfoTyp (2 and up
  // show the teachers' days) checks neither button.
  Plan.AktuellerTyp = Settings.AutoScroll ? Settings.InfoTyp : Settings.LastTyp;
  RadioButton3->setAutoExclusive(false);
  RadioButton4->setAutoExclusive(false);
  RadioButton3->setChecked(Plan.AktuellerTyp == 0);
  RadioButton4->setChecked(Plan.AktuellerTyp == 1);
  RadioButton3->setAutoExclusive(true);
  RadioButton4->setAutoExclusive(true);
  // Timers, computed in 64 bits; a hand-edited 0 must not give a
  // timer that fires without pause, nor a huge value an overflow
  ApplyTimerIntervals();
  Benachrichtigungstimer->setInterval(timerInterval(qint64{Settings.KarenzZeit} * 60000, 2000));
  if (m_purpose == Purpose::Monitor) {
    UpdateTimer->start();
    Timer1->start();
    Blinktimer->start();
    updatechecktimer->start();
  }
  // The first plan. A monitor starts from the copy kept from its previous run, at
  // once, and takes the file's own export when it comes (the redraw follows
  // only when the shown day changed). Only a start without such a copy waits
  // for the file: when it does not give a complete export within
  // kKeptCopyWaitMs, up to the deadline.
  DM->PlanCopy.setSource(TDM::PlanFile());
  DM->PlanCopy.setKeepsCopies(m_purpose == Purpose::Monitor);
  if (m_purpose == Purpose::Monitor && DM->PlanCopy.adoptKeptCopy()) {
    DM->PlanCopy.refresh();
  } else if (DM->PlanCopy.refreshAndWait(kKeptCopyWaitMs) != db::LocalCopy::State::Current &&
             !DM->PlanCopy.adoptKeptCopy() && DM->PlanCopy.isRefreshing()) {
    DM->PlanCopy.refreshAndWait();
  }
  if (m_purpose == Purpose::Monitor)
    connect(&DM->PlanCopy, &db::LocalCopy::refreshed, this, &TForm1::PlanCopyRefreshed);
  GetDaten();
  LetztesUpdate = zdt::now();
  BuildTagesliste();
  ClockWarningShown = false;
  CheckBenachrichtigungen();
  if (m_purpose == Purpose::Monitor) WatchPlanFile();
}

void TForm1::FormActivate() {
  if (!ErsteAktivierung) return;
  if (Settings.Vollbild && m_purpose == Purpose::Monitor) FullScreen(true);
  Datenanzeigen();
  ErsteAktivierung = false;
}

void TForm1::FormClose() {
  // A check window leaves the settings file as it found it.
  if (m_closed || m_purpose == Purpose::Check) return;
  m_closed = true;
  if (!Settings.Vollbild) {
    // Position of the frame, size of the window's content: what move() and
    // resize() take again at the next start.
    Settings.Left = pos().x();
    Settings.Top = pos().y();
    Settings.Width = width();
    Settings.Height = height();
    Settings.WindowMax = isMaximized();
  }
  WriteSettings();
  // Nothing polls or repaints the plan once the settings are written.
  for (QTimer* timer : findChildren<QTimer*>()) timer->stop();
  Plan.StatListAula.Clear();
  Plan.StatListLehrer.Clear();
  Plan.DynList.Clear();
  Plan.Tagesliste.clear();
  Plan.AktuellerTag.reset();
}

void TForm1::showEvent(QShowEvent* event) {
  AlignPanel::showEvent(event);
  // A window manager may never activate the window (a wall screen without
  // one, or a virtual display): the first showing counts as activation too.
  if (ErsteAktivierung) QTimer::singleShot(0, this, &TForm1::FormActivate);
}

void TForm1::changeEvent(QEvent* event) {
  AlignPanel::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}
