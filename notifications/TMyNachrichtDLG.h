// TMyNachrichtDLG "Benachrichtigungen bearbeiten": the notifications of
// Nachrichten by day, each teacher's telephone number, and ticking a
// notification (or its cancellation) off, which writes the new status back.
//
// The dialog shows the records of Nachrichten and changes them in place; it
// reloads them only when a tick-off could not be written because the
// issuing side changed the row meanwhile, so that the row is then shown as
// it now is. Loading and writing run on the notification thread
// (Background.h); the dialog keeps answering meanwhile.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QDialog>
#include <QLineEdit>
#include <cstdint>
#include <functional>

#include "notifications/CheckListBox.h"
#include "notifications/ColorButton.h"
#include "platform/DateTime.h"

class TNachrichtsatz;

class TMyNachrichtDLG : public QDialog {
  Q_OBJECT
 public:
  // Builds the controls and runs FormCreate.
  explicit TMyNachrichtDLG(QWidget* parent = nullptr);

  QCheckBox* AktBox;   // "nur aktuelle Benachrichtungen anzeigen"
  QLineEdit* Edit1;    // the info line
  CheckListBox* Box;   // the notifications by day
  TColorButton* OKBtn; // "Schließen"

  // Header background of Box, form background and OKBtn's face, OKBtn's
  // hover colour and Edit1's background.
  static const QColor DialogColors[3];

  void FormCreate();
  // Applies the dialog's colours.
  void Colors();
  // Rebuilds every line of Box and the open count in Edit1 from Nachrichten:
  // notifications past their grace time, by day with a header per day, with
  // a second line for a cancellation.
  void ShowList();
  // Closes the dialog (cancel) and runs the main window's notification check.
  void OKBtnClick();
  // Shows teacher and telephone number of the selected line in Edit1.
  void BoxClick();
  // Marks the notification of the ticked (selected) line done: status 2 -> 3
  // or 4 -> 5, shown at once and written with SaveToDB on the notification
  // thread; FinishTickOff when the write has ended. Another status: ShowList
  // and the main window's notification check.
  void BoxClickCheck();
  // After a tick-off's write: kept when it succeeded; otherwise the old
  // status comes back and TickOffFailure is shown (a row changed meanwhile
  // is loaded again first). Then ShowList and the main window's check.
  void FinishTickOff(const TNachrichtsatz& written, bool ok, std::uint8_t before);
  // Why a tick-off was not written, for the person at the screen.
  static QString TickOffFailure(const TNachrichtsatz& record);
  // Loads the notifications of the last 14 days into Nachrichten on the
  // notification thread, then ShowList. When that fails, `failed` runs with
  // whether the database opened (a database that cannot be opened is then
  // not queried); without it the list shown stays as it is.
  void LoadList(std::function<void(bool connected)> failed = {});
  // The empty list with " Benachrichtigungen werden geladen …" in Edit1,
  // while TelefonBtnClick's load runs.
  void ShowLoading();
  // Shows all notifications or only today's and later ones.
  void AktBoxClick();
  // Edit1 is visible exactly while it holds text.
  void Edit1Change();
  // Paints the text area of one line of Box.
  void BoxDrawItem(QPainter& painter, int index, const QRect& area, const CheckListBox::LineState& state);

  // The weekday, ", " and the date in the short format of
  // zdt::germanLocale(system): "Dienstag, 08.12.26".
  static QString DayCaption(TDateTime day, const QLocale& system = QLocale::system());

 protected:
  void showEvent(QShowEvent* event) override;
};

// False: only notifications dated today or later are listed; true: also
// older ones. Set false by each new dialog.
extern bool ShowAll;

// The dialog while it is shown by TelefonBtnClick, otherwise null.
extern TMyNachrichtDLG* MyNachrichtDLG;
