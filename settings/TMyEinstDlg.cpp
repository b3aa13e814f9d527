// The settings dialog "Einstellungen" (see TMyEinstDlg.h): its controls and
// layout, filling them from the settings values, the folder pickers, the
// time spinner, and storing the result on OK.
#include "settings/TMyEinstDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/FolderPicker.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "widgets/UpDown.h"

namespace {

const QColor kCream(255, 251, 240);

std::function<void(TMyEinstDlg&)>& openedHandler() {
  static std::function<void(TMyEinstDlg&)> handler;
  return handler;
}

void makeCream(QLineEdit* edit) {
  QPalette pal = edit->palette();
  pal.setColor(QPalette::Base, kCream);
  edit->setPalette(pal);
}

QSpinBox* numberField(QWidget* parent, int minimum, int maximum, int width) {
  auto* field = new QSpinBox(parent);
  field->setRange(minimum, maximum);
  field->setSingleStep(1);
  field->setFixedWidth(width);
  return field;
}

// A group box whose rows are spread evenly over its height.
QVBoxLayout* spreadLayout(QGroupBox* box) {
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(10, 6, 10, 8);
  layout->setSpacing(2);
  return layout;
}

void addRow(QVBoxLayout* layout, QWidget* row) {
  layout->addWidget(row);
  layout->addStretch(1);
}

void addRow(QVBoxLayout* layout, QLayout* row) {
  layout->addLayout(row);
  layout->addStretch(1);
}

// A label with its field beside it, the field at the right end.
QHBoxLayout* besideRow(QWidget* label, QWidget* field) {
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addStretch(1);
  row->addWidget(field);
  return row;
}

// A label with its field below it.
QVBoxLayout* belowRow(QWidget* label, QWidget* field) {
  auto* row = new QVBoxLayout;
  row->setSpacing(2);
  row->addWidget(label);
  row->addWidget(field, 0, Qt::AlignLeft);
  return row;
}

int minutesOf(TDateTime timeOfDay) {
  const QTime time = zdt::toTime(timeOfDay);
  return time.hour() * 60 + time.minute();
}

}  // namespace

TMyEinstDlg::TMyEinstDlg(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Einstellungen"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(13);
  setFont(font);
  setFixedSize(kClientWidth, kClientHeight);
  createControls();
  // Centred on the screen, not over the owner (a set position keeps Qt from
  // placing the dialog itself).
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen) move(screen->geometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  FormCreate();
  OKBtn->setFocus();
}

void TMyEinstDlg::createControls() {
  createPathRows();
  createLeftColumn();
  createMiddleColumn();
  createRightColumn();
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setGeometry(50, 468, 100, 30);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &TMyEinstDlg::OKBtnClick);
  connect(CheckBox2, &QCheckBox::toggled, this, &TMyEinstDlg::CheckBox2Click);
  connect(Button1, &QPushButton::clicked, this, &TMyEinstDlg::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TMyEinstDlg::Button2Click);
}

void TMyEinstDlg::createPathRows() {
  Label1 = new QLabel(QStringLiteral("Pfad zur Datenbank Zova-Internet.mdb"), this);
  Label1->setGeometry(8, 10, 470, 18);
  Button1 = new QPushButton(QStringLiteral("Durchsuchen"), this);
  Button1->setGeometry(492, 4, 100, 26);
  PfadEdit = new QLineEdit(this);
  PfadEdit->setGeometry(8, 33, 584, 24);
  PfadEdit->setReadOnly(true);
  makeCream(PfadEdit);

  Label9 = new QLabel(QStringLiteral("optionaler Pfad zu Benachrichtigungen.mdb"), this);
  Label9->setGeometry(8, 68, 470, 18);
  Button2 = new QPushButton(QStringLiteral("Durchsuchen"), this);
  Button2->setGeometry(492, 62, 100, 26);
  Edit6 = new QLineEdit(this);
  Edit6->setGeometry(8, 91, 584, 24);
  makeCream(Edit6);
}

void TMyEinstDlg::createLeftColumn() {
  GroupBox1 = new QGroupBox(QStringLiteral("Ansicht"), this);
  GroupBox1->setGeometry(8, 126, 184, 222);
  CheckBox1 = new QCheckBox(QStringLiteral("Steuerpanel sichtbar"), GroupBox1);
  CheckBox3 = new QCheckBox(QStringLiteral("Statusleiste sichtbar"), GroupBox1);
  CheckBox4 = new QCheckBox(QStringLiteral("Vollbild"), GroupBox1);
  Label2 = new QLabel(QStringLiteral("Schriftgröße"), GroupBox1);
  Edit3 = numberField(GroupBox1, 6, 28, 56);
  FontAutoBox = new QCheckBox(QStringLiteral("automatisch"), GroupBox1);
  connect(FontAutoBox, &QCheckBox::toggled, Edit3, [this](bool on) { Edit3->setEnabled(!on); });
  QVBoxLayout* ansicht = spreadLayout(GroupBox1);
  ansicht->addStretch(1);
  for (QWidget* box : {CheckBox1, CheckBox3, CheckBox4}) addRow(ansicht, box);
  addRow(ansicht, besideRow(Label2, Edit3));
  addRow(ansicht, FontAutoBox);

  GroupBox2 = new QGroupBox(QStringLiteral("Updatesuche"), this);
  GroupBox2->setGeometry(8, 356, 184, 100);
  Label6 = new QLabel(QStringLiteral("alle"), GroupBox2);
  Edit4 = numberField(GroupBox2, 1, 32000, 72);
  Label7 = new QLabel(QStringLiteral("Minuten"), GroupBox2);
  auto* interval = new QHBoxLayout;
  interval->addWidget(Label6);
  interval->addWidget(Edit4);
  interval->addWidget(Label7);
  interval->addStretch(1);
  QVBoxLayout* updatesuche = spreadLayout(GroupBox2);
  updatesuche->addStretch(1);
  addRow(updatesuche, interval);
}

void TMyEinstDlg::createMiddleColumn() {
  GroupBox3 = new QGroupBox(QStringLiteral("Autoscroll Einstellungen"), this);
  GroupBox3->setGeometry(200, 126, 200, 330);
  CheckBox2 = new QCheckBox(QStringLiteral("Autoscroll verwenden"), GroupBox3);
  Radio1 = new QRadioButton(QStringLiteral("Schülerinformation"), GroupBox3);
  Radio2 = new QRadioButton(QStringLiteral("Lehrerinformation"), GroupBox3);
  Label3 = new QLabel(QStringLiteral("Scrollzeit in Sekunden"), GroupBox3);
  Edit1 = numberField(GroupBox3, 1, 200, 64);
  Label4 = new QLabel(QStringLiteral("Wie viele Tage anzeigen"), GroupBox3);
  Edit2 = numberField(GroupBox3, 1, 7, 56);
  Label5 = new QLabel(QStringLiteral("Aktuellen Tag nicht mehr "), GroupBox3);
  Label8 = new QLabel(QStringLiteral("anzeigen nach:"), GroupBox3);
  Edit5 = new QLineEdit(GroupBox3);
  Edit5->setFixedWidth(90);
  UpDown5 = new UpDown(GroupBox3);
  UpDown5->setRange(kHaltbarkeitMin, kHaltbarkeitMax);
  UpDown5->setFixedSize(17, Edit5->sizeHint().height());
  UpDown5->setGuard([this](int proposed) { return UpDown5ChangingEx(proposed); });

  QVBoxLayout* autoscroll = spreadLayout(GroupBox3);
  autoscroll->addStretch(1);
  addRow(autoscroll, CheckBox2);
  auto* radios = new QVBoxLayout;
  radios->addWidget(Radio1);
  radios->addWidget(Radio2);
  addRow(autoscroll, radios);
  addRow(autoscroll, belowRow(Label3, Edit1));
  addRow(autoscroll, belowRow(Label4, Edit2));
  auto* time = new QHBoxLayout;
  time->setSpacing(0);
  time->addWidget(Edit5);
  time->addWidget(UpDown5);
  time->addStretch(1);
  auto* haltbarkeit = new QVBoxLayout;
  haltbarkeit->setSpacing(2);
  haltbarkeit->addWidget(Label5);
  haltbarkeit->addWidget(Label8);
  haltbarkeit->addLayout(time);
  addRow(autoscroll, haltbarkeit);
}

void TMyEinstDlg::createRightColumn() {
  GroupBox4 = new QGroupBox(QStringLiteral("Anzeige Einstellungen"), this);
  GroupBox4->setGeometry(408, 126, 184, 222);
  CheckBox5 = new QCheckBox(QStringLiteral("Abwesende Lehrer"), GroupBox4);
  CheckBox6 = new QCheckBox(QStringLiteral("Abwesende Klassen"), GroupBox4);
  CheckBox7 = new QCheckBox(QStringLiteral("Abwesende Kurse"), GroupBox4);
  CheckBox8 = new QCheckBox(QStringLiteral("Fehlende Räume"), GroupBox4);
  CheckBox9 = new QCheckBox(QStringLiteral("Betroffene Klassen"), GroupBox4);
  CheckBox10 = new QCheckBox(QStringLiteral("Betroffene Lehrer"), GroupBox4);
  QVBoxLayout* anzeige = spreadLayout(GroupBox4);
  anzeige->addStretch(1);
  for (QWidget* box : {CheckBox5, CheckBox6, CheckBox7, CheckBox8, CheckBox9, CheckBox10}) addRow(anzeige, box);

  GroupBox5 = new QGroupBox(QStringLiteral("Benachrichtigungen"), this);
  GroupBox5->setGeometry(408, 356, 184, 100);
  Label10 = new QLabel(QStringLiteral("Karenzzeit in Minuten"), GroupBox5);
  Edit7 = numberField(GroupBox5, 1, 30, 56);
  QVBoxLayout* benachrichtigungen = spreadLayout(GroupBox5);
  benachrichtigungen->addStretch(1);
  addRow(benachrichtigungen, belowRow(Label10, Edit7));
}

void TMyEinstDlg::FormCreate() {
  const SettingsValues& s = Settings;
  // The dialog works on a copy of the settings until OK.
  m_kopie.Datenpfad = s.Datenpfad;
  m_kopie.PfadBenachrichtigungen = s.PfadBenachrichtigungen;
  m_kopie.ShowSteuerPanel = s.ShowSteuerPanel;
  m_kopie.ShowStatusPanel = s.ShowStatusPanel;
  m_kopie.Vollbild = s.Vollbild;
  m_kopie.Fontsize = s.Fontsize;
  m_kopie.Refreshinterval = s.Refreshinterval;
  m_kopie.AutoScroll = s.AutoScroll;
  m_kopie.ScrollTime = s.ScrollTime;
  m_kopie.InfoTyp = s.InfoTyp;
  m_kopie.AnzeigeTage = s.AnzeigeTage;
  // Haltbarkeit: a time between quarter hours goes to the quarter hour before it; a
  // position outside the spinner's range is refused, so a time before 07:00
  // leaves the spinner at 07:00
  UpDown5->setPosition(minutesOf(s.Haltbarkeit) / 15);
  // Which lists the information grid shows.
  m_kopie.ShowALehrer = s.ShowALehrer;
  m_kopie.ShowAKlassen = s.ShowAKlassen;
  m_kopie.ShowAKurse = s.ShowAKurse;
  m_kopie.ShowARaeume = s.ShowARaeume;
  m_kopie.ShowBKlassen = s.ShowBKlassen;
  m_kopie.ShowBLehrer = s.ShowBLehrer;
  // The controls show the copy; a number outside its field's range shows the range end
  PfadEdit->setText(m_kopie.Datenpfad);
  Edit6->setText(m_kopie.PfadBenachrichtigungen);
  CheckBox1->setChecked(m_kopie.ShowSteuerPanel);
  CheckBox3->setChecked(m_kopie.ShowStatusPanel);
  CheckBox4->setChecked(m_kopie.Vollbild);
  // Fontsize 0 is the automatic size; its field keeps the default meanwhile.
  FontAutoBox->setChecked(m_kopie.Fontsize == 0);
  Edit3->setEnabled(m_kopie.Fontsize != 0);
  Edit3->setValue(m_kopie.Fontsize == 0 ? 11 : m_kopie.Fontsize);
  Edit4->setValue(m_kopie.Refreshinterval);
  Edit7->setValue(s.KarenzZeit);
  CheckBox2->setChecked(m_kopie.AutoScroll);  // a change runs CheckBox2Click
  CheckBox1->setEnabled(!m_kopie.AutoScroll);
  Edit1->setValue(m_kopie.ScrollTime);
  if (m_kopie.InfoTyp != 0)
    Radio2->setChecked(true);
  else
    Radio1->setChecked(true);
  Edit2->setValue(m_kopie.AnzeigeTage);
  VollbildChanged = false;
  PfadeChanged = false;
  SettingsChanged = false;
  CheckBox5->setChecked(m_kopie.ShowALehrer);
  CheckBox6->setChecked(m_kopie.ShowAKlassen);
  CheckBox7->setChecked(m_kopie.ShowAKurse);
  CheckBox8->setChecked(m_kopie.ShowARaeume);
  CheckBox9->setChecked(m_kopie.ShowBKlassen);
  CheckBox10->setChecked(m_kopie.ShowBLehrer);
  // The Haltbarkeit spinner's time as text.
  Edit5->setText(HaltbarkeitText(UpDown5->position()));
}

void TMyEinstDlg::CheckBox2Click() {
  const bool autoScroll = CheckBox2->isChecked();
  CheckBox1->setChecked(!autoScroll);
  CheckBox1->setEnabled(!autoScroll);
}

QString TMyEinstDlg::HaltbarkeitText(int position) {
  const int minutes = position * 15;
  const auto twoDigits = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
  return twoDigits(minutes / 60) + IniFile::timeSeparator(QLocale::system()) + twoDigits(minutes % 60) +
         QStringLiteral(" Uhr");
}

bool TMyEinstDlg::UpDown5ChangingEx(int newPosition) {
  if (newPosition > UpDown5->maximum() || newPosition < UpDown5->minimum()) return false;
  Edit5->setText(HaltbarkeitText(newPosition));
  return true;
}

QString TMyEinstDlg::BrowseForPath(const QString& instruction, QWidget* owner) {
  const QString picked = folderpicker::pickFolder(owner, instruction);
  if (picked.isEmpty()) return QString();
  // The absolute form with one trailing separator; a root stays a single "/".
  return folders::withTrailingSeparator(QDir::cleanPath(QDir::current().absoluteFilePath(picked)));
}

void TMyEinstDlg::Button1Click() {
  const QString folder = BrowseForPath(QStringLiteral("Pfad wählen!"), this);
  if (!folder.isEmpty()) PfadEdit->setText(folder);
}

void TMyEinstDlg::Button2Click() {
  const QString folder = BrowseForPath(QStringLiteral("Pfad wählen!"), this);
  if (!folder.isEmpty()) Edit6->setText(folder);
}

void TMyEinstDlg::OKBtnClick() {
  SettingsValues& s = Settings;
  // Digits typed but not yet taken over count as the user sees them; a
  // text the field cannot take falls back to its last value.
  for (QSpinBox* field : {Edit3, Edit4, Edit7, Edit1, Edit2}) field->interpretText();
  // The copy from the controls.
  m_kopie.Datenpfad = PfadEdit->text();
  m_kopie.PfadBenachrichtigungen = Edit6->text();
  m_kopie.ShowSteuerPanel = CheckBox1->isChecked();
  m_kopie.ShowStatusPanel = CheckBox3->isChecked();
  m_kopie.Vollbild = CheckBox4->isChecked();
  m_kopie.Fontsize = FontAutoBox->isChecked() ? 0 : Edit3->value();
  m_kopie.Refreshinterval = Edit4->value();
  s.KarenzZeit = Edit7->value();
  m_kopie.AutoScroll = CheckBox2->isChecked();
  m_kopie.ScrollTime = Edit1->value();
  m_kopie.InfoTyp = Radio1->isChecked() ? 0 : 1;
  m_kopie.AnzeigeTage = Edit2->value();
  const int minutes = UpDown5->position() * 15;
  m_kopie.Haltbarkeit = zdt::encodeTime(minutes / 60, minutes % 60, 0);
  // What the main window must redo: full screen, and the files it opens.
  VollbildChanged = m_kopie.Vollbild != s.Vollbild;
  PfadeChanged = m_kopie.Datenpfad != s.Datenpfad || m_kopie.PfadBenachrichtigungen != s.PfadBenachrichtigungen;
  // Which lists the information grid shows.
  m_kopie.ShowALehrer = CheckBox5->isChecked();
  m_kopie.ShowAKlassen = CheckBox6->isChecked();
  m_kopie.ShowAKurse = CheckBox7->isChecked();
  m_kopie.ShowARaeume = CheckBox8->isChecked();
  m_kopie.ShowBKlassen = CheckBox9->isChecked();
  m_kopie.ShowBLehrer = CheckBox10->isChecked();
  // Any other change lays the page out anew.
  const SettingsValues& k = m_kopie;
  SettingsChanged = k.ShowSteuerPanel != s.ShowSteuerPanel || k.ShowStatusPanel != s.ShowStatusPanel ||
                    k.Fontsize != s.Fontsize || k.Refreshinterval != s.Refreshinterval ||
                    k.AutoScroll != s.AutoScroll || k.ScrollTime != s.ScrollTime || k.InfoTyp != s.InfoTyp ||
                    k.AnzeigeTage != s.AnzeigeTage || k.Haltbarkeit != s.Haltbarkeit ||
                    k.ShowALehrer != s.ShowALehrer || k.ShowAKlassen != s.ShowAKlassen ||
                    k.ShowAKurse != s.ShowAKurse || k.ShowARaeume != s.ShowARaeume ||
                    k.ShowBLehrer != s.ShowBLehrer || k.ShowBKlassen != s.ShowBKlassen;
  // The copy becomes the settings.
  s.Vollbild = k.Vollbild;
  s.Datenpfad = k.Datenpfad;
  s.PfadBenachrichtigungen = k.PfadBenachrichtigungen;
  s.ShowSteuerPanel = k.ShowSteuerPanel;
  s.ShowStatusPanel = k.ShowStatusPanel;
  s.Fontsize = k.Fontsize;
  s.Refreshinterval = k.Refreshinterval;
  s.AutoScroll = k.AutoScroll;
  s.ScrollTime = k.ScrollTime;
  s.InfoTyp = k.InfoTyp;
  s.AnzeigeTage = k.AnzeigeTage;
  s.Haltbarkeit = k.Haltbarkeit;
  s.ShowALehrer = k.ShowALehrer;
  s.ShowAKlassen = k.ShowAKlassen;
  s.ShowAKurse = k.ShowAKurse;
  s.ShowARaeume = k.ShowARaeume;
  s.ShowBLehrer = k.ShowBLehrer;
  s.ShowBKlassen = k.ShowBKlassen;
  // Whoever opened the dialog tests the notification database again on
  // every OK, changed or not (QDialog::accepted).
  accept();
}

void TMyEinstDlg::setOpenedHandler(std::function<void(TMyEinstDlg&)> handler) {
  openedHandler() = std::move(handler);
}

void TMyEinstDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (openedHandler()) QTimer::singleShot(0, this, [this] { openedHandler()(*this); });
}

void TMyEinstDlg::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TMyEinstDlg::keyReleaseEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cancel) && !event->isAutoRepeat()) {
    event->accept();
    reject();
    return;
  }
  QDialog::keyReleaseEvent(event);
}
