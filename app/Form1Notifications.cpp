// The notification indicator: the telephone button, its periodic check and
// the flashing of the task-bar entry, and opening the notification dialog.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/TForm1.h"
#include "db/copy/LocalCopy.h"
#include "db/worker/WorkerClient.h"
#include "notifications/Background.h"
#include "notifications/Notifications.h"
#include "notifications/TMyNachrichtDLG.h"
#include "notifications/TNachrichtListe.h"
#include "notifications/TelefonPicture.h"
#include "plan/DataModule.h"
#include "platform/Logging.h"
#include "platform/MessageBox.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

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
  NotificationUi.setTelefonBtnVisible = [self = QPointer<TForm1>(this)](bool on) {
    if (self) self->TelefonBtn->setVisible(on);
  };
  NotificationUi.setBenachrichtigungstimerEnabled = [self = QPointer<TForm1>(this)](bool on) {
    if (!self) return;
    if (on)
      self->Benachrichtigungstimer->start();
    else
      self->Benachrichtigungstimer->stop();
  };
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
    msgbox::notify(QStringLiteral("Die Bilddatei %1 kann nicht geladen werden.").arg(path), this);
    return false;
  }
  TelefonBtn->setIcon(picture);
  ++TelefonPictureLoads;
  return true;
}

void TForm1::CheckBenachrichtigungen() {
  // One check at a time: a check asked for while one runs (a tick-off, the
  // dialog closed) follows it, and timer ticks meanwhile are dropped, so
  // checks never pile up behind a share that hangs.
  if (m_checkingNotifications) {
    m_checkAgain = true;
    return;
  }
  // Killed workers still hanging in the kernel mean the share does not
  // answer; the next tick tries again.
  if (db::worker::unreapedWorkers() >= db::LocalCopy::kMaxHangingWorkers) {
    qCInfo(lcNotifications) << "Notification check left out: earlier workers still hang on the share";
    return;
  }
  // Without a folder there is no file to read: the check counts none.
  if (Settings.PfadBenachrichtigungen.isEmpty()) {
    TNachrichtListe none;
    FinishNotificationCheck(none, false);
    return;
  }
  m_checkingNotifications = true;
  auto liste = std::make_shared<TNachrichtListe>();
  auto connected = std::make_shared<bool>(false);
  const QString select = TNachrichtListe::SelectStatement(0);
  const QString file = TDM::NotificationFile();
  notifications::runInBackground(
      this, [liste, connected, select] { liste->LoadRows(select, true, *connected); },
      [this, liste, connected, file] {
        m_checkingNotifications = false;
        // A check of the file of before a settings change says nothing.
        if (file == TDM::NotificationFile()) FinishNotificationCheck(*liste, *connected);
        if (m_checkAgain) {
          m_checkAgain = false;
          CheckBenachrichtigungen();
        }
      });
}

void TForm1::FinishNotificationCheck(TNachrichtListe& liste, bool connected) {
  // A database that could not be opened at the start test is switched on by
  // the first check that opens it.
  if (connected && !NotificationsAvailable && !Settings.PfadBenachrichtigungen.isEmpty()) {
    NotificationsAvailable = true;
    qCInfo(lcNotifications) << "Notification database" << TDM::NotificationFile() << "opened: notifications on";
    TelefonBtn->setVisible(true);
  }
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
}

void TForm1::BenachrichtigungstimerTimer() { CheckBenachrichtigungen(); }

void TForm1::Flash() {
  ++FlashCount;
  QApplication::alert(window(), 0);
}

void TForm1::TelefonBtnClick() {
  if (MyNachrichtDLG) return;
  // The dialog opens at once and fills when the notification thread has
  // loaded the list; a load that fails closes it again.
  auto* dialog = new TMyNachrichtDLG(this);
  MyNachrichtDLG = dialog;
  dialog->ShowLoading();
  dialog->LoadList([this, dialog](bool connected) {
    dialog->reject();
    if (!connected) msgbox::notify(QStringLiteral("Tabelle kann nicht geöffnet werden!"), this);
  });
  dialog->exec();
  MyNachrichtDLG = nullptr;
  delete dialog;
}
