// The notification dialog: its controls, the list of notifications by day,
// and ticking them off.
#include "notifications/TMyNachrichtDLG.h"

#include <QPainter>
#include <QScreen>
#include <memory>

#include "db/Database.h"
#include "notifications/Background.h"
#include "notifications/Notifications.h"
#include "notifications/TNachrichtListe.h"
#include "plan/PlanRecords.h"
#include "platform/MessageBox.h"

bool ShowAll = false;
TMyNachrichtDLG* MyNachrichtDLG = nullptr;

const QColor TMyNachrichtDLG::DialogColors[3] = {QColor(227, 224, 219), QColor(227, 224, 219), QColor(255, 251, 240)};

namespace {

const QColor kHeaderText(176, 0, 0);
const QColor kSelectedLine(255, 251, 240);
constexpr int kLineHeight = 18;

void setBackground(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  QPalette pal = widget->palette();
  pal.setColor(role, color);
  widget->setPalette(pal);
}

}  // namespace

TMyNachrichtDLG::TMyNachrichtDLG(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Benachrichtigungen bearbeiten"));
  setFixedSize(636, 469);
  QFont font(QStringLiteral("Verdana"));
  font.setPixelSize(13);
  setFont(font);
  setAutoFillBackground(true);

  AktBox = new QCheckBox(QStringLiteral("nur aktuelle Benachrichtungen anzeigen"), this);
  AktBox->setGeometry(8, 12, 309, 17);
  AktBox->setChecked(true);

  Edit1 = new QLineEdit(this);
  Edit1->setGeometry(8, 48, 613, 20);
  Edit1->setReadOnly(true);
  Edit1->setFrame(false);

  Box = new CheckListBox(this);
  Box->setLineHeight(kLineHeight);
  // Whole lines only: the height is rounded down to a multiple of the line height.
  const int frame = 2 * Box->frameWidth();
  Box->setGeometry(8, 90, 617, (308 - frame) / kLineHeight * kLineHeight + frame);
  Box->drawItem = [this](QPainter& painter, int index, const QRect& area, const CheckListBox::LineState& state) {
    BoxDrawItem(painter, index, area, state);
  };

  OKBtn = new TColorButton(QStringLiteral("Schließen"), this);
  OKBtn->setGeometry(532, 417, 93, 25);

  connect(AktBox, &QCheckBox::toggled, this, &TMyNachrichtDLG::AktBoxClick);
  connect(Edit1, &QLineEdit::textChanged, this, &TMyNachrichtDLG::Edit1Change);
  connect(Box, &CheckListBox::lineClicked, this, &TMyNachrichtDLG::BoxClick);
  connect(Box, &CheckListBox::clickCheck, this, &TMyNachrichtDLG::BoxClickCheck);
  connect(OKBtn, &QPushButton::clicked, this, &TMyNachrichtDLG::OKBtnClick);
  FormCreate();
}

void TMyNachrichtDLG::FormCreate() {
  ShowAll = false;
  Colors();
  Edit1Change();
}

void TMyNachrichtDLG::Colors() {
  setBackground(this, QPalette::Window, DialogColors[1]);
  OKBtn->SetBackColor(DialogColors[1]);
  OKBtn->SetHoverColor(DialogColors[2]);
  Box->setBackgroundColor(Qt::white);
  Box->setHeaderColor(kHeaderText);
  Box->setHeaderBackgroundColor(DialogColors[0]);
  setBackground(Edit1, QPalette::Base, DialogColors[2]);
}

QString TMyNachrichtDLG::DayCaption(TDateTime day, const QLocale& system) {
  const QLocale german = zdt::germanLocale(system);
  return Wochentage[static_cast<size_t>(WochentagIndex(day))] + QStringLiteral(", ") +
         german.toString(zdt::toDate(day), german.dateFormat(QLocale::ShortFormat));
}

void TMyNachrichtDLG::ShowList() {
  const TDateTime today = zdt::today();
  const TDateTime tomorrow = today + 1;
  const TDateTime threshold = zdt::now() - GraceDays();
  Box->clear();
  TDateTime lastGroupDate = 0;
  int openCount = 0;
  for (int i = 0; i < Nachrichten.Count(); ++i) {
    TNachrichtsatz* r = Nachrichten.Items(i);
    const TDateTime lastChange = r->LastChange();
    if (!r->Valid || !(lastChange < threshold) || r->Status == 1) continue;
    if (!(r->Datum >= today) && !ShowAll) continue;
    if (r->Datum > lastGroupDate) {
      const QString prefix = r->Datum == today      ? QStringLiteral("Heute ")
                             : r->Datum == tomorrow ? QStringLiteral("Morgen ")
                                                    : QString();
      Box->setHeader(Box->addLine(prefix + DayCaption(r->Datum)), true);
      lastGroupDate = r->Datum;
    }
    const QString text = r->Lehrer + QStringLiteral(" / ") + QString::number(r->Stunde) + QStringLiteral(". Std. ") +
                         r->Klasse + u' ' + r->Fach + QStringLiteral(" / ") + r->Bemerkung;
    const int line = Box->addLine(text, r);
    Box->setChecked(line, r->Status > 2);
    Box->setLineEnabled(line, !Box->checked(line));
    if (r->Status >= 4) {
      const int cancellation = Box->addLine(QStringLiteral("** AUFGEHOBEN ** ") + text, r);
      Box->setChecked(cancellation, r->Status > 4);
      Box->setLineEnabled(cancellation, !Box->checked(cancellation));
    }
    if (r->Datum >= today && (r->Status == 2 || r->Status == 4)) ++openCount;
  }
  Edit1->setText(u' ' + QString::number(openCount) +
                 (openCount == 1 ? QStringLiteral(" unerledigte Benachrichtigung")
                                 : QStringLiteral(" unerledigte Benachrichtigungen")));
}

void TMyNachrichtDLG::OKBtnClick() {
  reject();
  if (NotificationUi.checkBenachrichtigungen) NotificationUi.checkBenachrichtigungen();
}

void TMyNachrichtDLG::BoxClick() {
  const int index = Box->itemIndex();
  if (index < 0) return;
  QString text;
  if (const TNachrichtsatz* r = Box->record(index)) {
    text = r->Lehrer;
    text += r->Telefon.isEmpty() ? QStringLiteral(" keine Telefonnummer hinterlegt")
                                 : QStringLiteral(" Tel.: ") + r->Telefon;
  }
  Edit1->setText(u' ' + text);
}

void TMyNachrichtDLG::BoxClickCheck() {
  const int index = Box->itemIndex();
  if (index < 0) return;
  TNachrichtsatz* r = Box->record(index);
  if (!r) return;
  if (r->Status != 2 && r->Status != 4) {
    ShowList();
    if (NotificationUi.checkBenachrichtigungen) NotificationUi.checkBenachrichtigungen();
    return;
  }
  // The tick shows while the notification thread writes; it stays only when
  // the write succeeded.
  const std::uint8_t before = r->Status;
  r->Status = before == 2 ? 3 : 5;
  ShowList();
  auto written = std::make_shared<TNachrichtsatz>(*r);
  auto ok = std::make_shared<bool>(false);
  notifications::runInBackground(
      this, [written, ok] { *ok = written->SaveToDB(); },
      [this, written, ok, before] { FinishTickOff(*written, *ok, before); });
}

void TMyNachrichtDLG::FinishTickOff(const TNachrichtsatz& written, bool ok, std::uint8_t before) {
  // Found by its key: the list may have been reloaded meanwhile.
  TNachrichtsatz* r = nullptr;
  for (int i = 0; i < Nachrichten.Count() && !r; ++i)
    if (Nachrichten.Items(i)->ID == written.ID) r = Nachrichten.Items(i);
  if (ok) {
    if (r) *r = written;  // the row as now written guards the next write
  } else {
    if (r && r->Status == written.Status) r->Status = before;
    // The issuing side changed the row since it was loaded: show it as it is now.
    if (written.RowChangedOnSave) LoadList();
    msgbox::notify(TickOffFailure(written), this);
  }
  ShowList();
  if (NotificationUi.checkBenachrichtigungen) NotificationUi.checkBenachrichtigungen();
}

QString TMyNachrichtDLG::TickOffFailure(const TNachrichtsatz& record) {
  QString reason;
  switch (record.RowChangedOnSave ? db::Error::Kind::RowChanged : record.SaveFailure) {
    case db::Error::Kind::RowChanged:
      reason = QStringLiteral("Sie wurde inzwischen geändert. Die Liste zeigt sie jetzt, wie sie ist.");
      break;
    case db::Error::Kind::ReadOnly:
      reason = QStringLiteral("Die Datenbank Benachrichtigungen.mdb ist schreibgeschützt.");
      break;
    case db::Error::Kind::NoSpace:
      reason = QStringLiteral("Auf dem Laufwerk der Datenbank ist kein Platz mehr frei.");
      break;
    case db::Error::Kind::NoAnswer:
      reason = QStringLiteral("Die Datenbank antwortet nicht.");
      break;
    case db::Error::Kind::Other:
      reason = QStringLiteral("Die Datenbank kann nicht geschrieben werden.");
      break;
  }
  return QStringLiteral("Die Benachrichtigung wurde nicht als erledigt gespeichert!") + QChar(u'\r') + reason;
}

void TMyNachrichtDLG::LoadList(std::function<void(bool connected)> failed) {
  auto fresh = std::make_shared<TNachrichtListe>();
  auto ok = std::make_shared<bool>(false);
  auto connected = std::make_shared<bool>(false);
  const QString select = TNachrichtListe::SelectStatement(14);
  const bool quiet = !failed;
  notifications::runInBackground(
      this, [fresh, ok, connected, select, quiet] { *ok = fresh->LoadRows(select, quiet, *connected); },
      [this, fresh, ok, connected, failed] {
        if (!*ok) {
          if (failed) failed(*connected);
          return;
        }
        Nachrichten.TakeItems(*fresh);
        ShowList();
      });
}

void TMyNachrichtDLG::ShowLoading() {
  Box->clear();
  Edit1->setText(QStringLiteral(" Benachrichtigungen werden geladen …"));
}

void TMyNachrichtDLG::AktBoxClick() {
  ShowAll = !AktBox->isChecked();
  ShowList();
}

void TMyNachrichtDLG::Edit1Change() { Edit1->setVisible(!Edit1->text().isEmpty()); }

void TMyNachrichtDLG::BoxDrawItem(QPainter& painter, int index, const QRect& area,
                                  const CheckListBox::LineState& state) {
  QColor fill = state.fill;
  QColor text = state.text;
  if (state.selected) {
    fill = kSelectedLine;
    text = Qt::black;
  }
  if (state.header) {
    fill = Box->headerBackgroundColor();
    text = Box->headerColor();
  }
  painter.fillRect(area, fill);
  painter.setPen(text);
  painter.setClipRect(area);
  painter.drawText(area.adjusted(20, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Box->lineText(index));
}

void TMyNachrichtDLG::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* where = screen())
    move(where->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}
