// The notification indicator: the telephone button, its periodic check and
// the flashing of the task-bar entry, and opening the notification dialog.
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "app/TForm1.h"
#include "notifications/Notifications.h"
#include "notifications/TMyNachrichtDLG.h"
#include "notifications/TNachrichtListe.h"
#include "notifications/TelefonPicture.h"
#include "platform/MessageBox.h"
#include "settings/SettingsFile.h"

void TForm1::CreateNotificationIndicator() {
  Benachrichtigungstimer = new QTimer(this);
  Benachrichtigungstimer->setInterval(5000);
  // A check is due when a grace time ends, never seconds before it, as a
  // coarse timer may fire.
  Benachrichtigungstimer->setTimerType(Qt::PreciseTimer);
  connect(Benachrichtigungstimer, &QTimer::timeout, this, &TForm1::BenachrichtigungstimerTimer);
  TelefonBtn->setIcon(telefon::builtInPicture());
  TelefonBtn->setIconSize(QSize(16, 16));
  connect(TelefonBtn, &QToolButton::clicked, this, &TForm1::TelefonBtnClick);
  // A different interval restarts the running timer, so the next check comes
  // one new interval after this one; the same interval leaves it running.
  // The hooks outlive the window; once it is gone they do nothing.
  NotificationUi.setBenachrichtigungstimerInterval = [self = QPointer<TForm1>(this)](int ms) {
    if (self && self->Benachrichtigungstimer->interval() != ms) self->Benachrichtigungstimer->setInterval(ms);
  };
  NotificationUi.checkBenachrichtigungen = [self = QPointer<TForm1>(this)] {
    if (self) self->CheckBenachrichtigungen();
  };
}

bool TForm1::LoadTelefonPicture(const QString& file) {
  const QString path = Programmpfad + file;
  const QPixmap picture = telefon::loadPicture(path);
  if (picture.isNull()) {
    msgbox::show(QStringLiteral("Die Bilddatei %1 kann nicht geladen werden.").arg(path), QString(),
                 msgbox::Icon::Error);
    return false;
  }
  TelefonBtn->setIcon(picture);
  ++TelefonPictureLoads;
  return true;
}

void TForm1::CheckBenachrichtigungen() {
  // A message box of a running check (clock, picture) lets the timer fire
  // again; the boxes must not pile up on an unattended screen.
  if (m_checkingNotifications) return;
  m_checkingNotifications = true;
  TNachrichtListe liste;
  liste.LoadFromDB(0, true);
  const bool due = liste.CountDue() > 0;
  // The state changes only once its picture is loaded, so a failed load is
  // tried again by the next check.
  if (due && IndicatorIdle) {
    if (LoadTelefonPicture(QStringLiteral("BMP/Telefonrot.bmp"))) {
      Flash();
      IndicatorIdle = false;
    }
  } else if (!due && !IndicatorIdle) {
    if (LoadTelefonPicture(QStringLiteral("BMP/Telefon.bmp"))) IndicatorIdle = true;
  }
  m_checkingNotifications = false;
}

void TForm1::BenachrichtigungstimerTimer() { CheckBenachrichtigungen(); }

void TForm1::Flash() {
  ++FlashCount;
  QApplication::alert(window(), 0);
}

void TForm1::TelefonBtnClick() {
  if (!Nachrichten.LoadFromDB(14, false)) return;
  auto* dialog = new TMyNachrichtDLG(this);
  MyNachrichtDLG = dialog;
  dialog->ShowList();
  dialog->exec();
  MyNachrichtDLG = nullptr;
  delete dialog;
}
