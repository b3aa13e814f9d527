// The notification dialog offscreen: notifications by day with their
// headers, the open count, the telephone line, ticking a notification or a
// cancellation off (written, read back by mdbtools and the npm reader), a
// row the issuing side changed meanwhile, and the painting of the lines.
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMouseEvent>

#include "db/worker/WorkerClient.h"
#include "notifications/Background.h"
#include "notifications/Notifications.h"
#include "notifications/TMyNachrichtDLG.h"
#include "notifications/TNachrichtListe.h"
#include "tests/db/DbFixtures.h"
#include "tests/notifications/NotificationFixture.h"
#include "tests/support/MissingTool.h"

using namespace notiftest;

namespace {

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Status of the row as mdb-export and as the npm reader read it (-1: not found).
int exportedStatus(const QString& file, int id) {
  for (const QByteArray& line : dbtest::mdbExport(file, "BenachrichtigungsTabelle").split('\n'))
    if (line.startsWith(QByteArray::number(id) + ',')) return line.split(',').value(1).toInt();
  return -1;
}
int readerStatus(const QString& file, int id) {
  for (const QJsonValue row : QJsonDocument::fromJson(dbtest::mdbReaderJson(file))["tables"][0]["rows"].toArray())
    if (row[0].toInt() == id) return row[1].toInt();
  return -1;
}

class NotificationDialog : public NotificationTest {
 protected:
  void SetUp() override {
    NotificationTest::SetUp();
    NotificationUi.checkBenachrichtigungen = [this] { ++checks; };
  }
  void TearDown() override {
    dialog.reset();
    NotificationTest::TearDown();
  }

  // Loads Nachrichten as the telephone button does and opens the dialog (not modal).
  TMyNachrichtDLG& open(const QVector<Note>& notes) {
    writeNotes(notes);
    EXPECT_TRUE(Nachrichten.LoadFromDB(14, false));
    dialog = std::make_unique<TMyNachrichtDLG>();
    dialog->ShowList();
    dialog->show();
    return *dialog;
  }

  QStringList lines() const {
    QStringList texts;
    for (int i = 0; i < dialog->Box->lineCount(); ++i) texts << dialog->Box->lineText(i);
    return texts;
  }

  // "H" header, "x" ticked and disabled, "o" open (unticked, enabled), per line.
  QString marks() const {
    QString text;
    const CheckListBox* box = dialog->Box;
    for (int i = 0; i < box->lineCount(); ++i) {
      if (box->header(i)) text += 'H';
      else if (box->checked(i) && !box->lineEnabled(i)) text += 'x';
      else if (!box->checked(i) && box->lineEnabled(i)) text += 'o';
      else text += '?';
    }
    return text;
  }

  // Clicks with the mouse into the tick box of a line.
  void clickTickBox(int line) { click(dialog->Box->viewport(), dialog->Box->checkBoxRect(line).center()); }

  static void click(QWidget* viewport, const QPointF& at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
  }

  // Clicks with the mouse on the text of a line.
  void clickLine(int line) {
    QWidget* viewport = dialog->Box->viewport();
    const QPointF at = dialog->Box->visualItemRect(dialog->Box->item(line)).center();
    click(viewport, at);
  }

  void select(int line) { dialog->Box->setCurrentRow(line); }

  std::unique_ptr<TMyNachrichtDLG> dialog;
  int checks = 0;
};

// The week around the fixed day: open, cancelled, in grace, hidden, done,
// acknowledged and yesterday's notifications.
QVector<Note> weekNotes() {
  Note open = note(1, 2, 60);
  open.bemerkung = "Vertretung";
  open.telefon = "01234 567890";
  Note cancelled = note(2, 4, 120);
  cancelled.lehrer = "Zorn";
  cancelled.stunde = 2;
  cancelled.rueckTime = now() - minutes(10);
  Note inGrace = note(3, 2, 3);
  Note hidden = note(4, 1, 60);
  Note done = note(5, 3, 60, 1);
  done.klasse = "9c";
  Note acknowledged = note(6, 5, 60, 2);
  Note yesterday = note(7, 2, 1500, -1);
  return {open, cancelled, inGrace, hidden, done, acknowledged, yesterday};
}

}  // namespace

TEST_F(NotificationDialog, ShowList_HeadsEachDayAndListsWhatIsPastItsGraceTime) {
  open(weekNotes());
  EXPECT_EQ(lines(), (QStringList{"Heute Dienstag, 08.12.26", "Mus / 4. Std. 7a M / Vertretung",
                                  "Zorn / 2. Std. 7a M / ", "** AUFGEHOBEN ** Zorn / 2. Std. 7a M / ",
                                  "Morgen Mittwoch, 09.12.26", "Mus / 4. Std. 9c M / ", "Donnerstag, 10.12.26",
                                  "Mus / 4. Std. 7a M / ", "** AUFGEHOBEN ** Mus / 4. Std. 7a M / "}));
  EXPECT_EQ(marks(), "HoxoHxHxx");
  EXPECT_EQ(dialog->Edit1->text(), " 2 unerledigte Benachrichtigungen");
  EXPECT_EQ(dialog->Box->record(0), nullptr);
  EXPECT_EQ(dialog->Box->record(2), dialog->Box->record(3));
}

TEST_F(NotificationDialog, AllNotificationsShown_YesterdayComesFirstAndIsNotCounted) {
  open(weekNotes());
  dialog->AktBox->setChecked(false);
  EXPECT_TRUE(ShowAll);
  ASSERT_GE(dialog->Box->lineCount(), 3);
  EXPECT_EQ(lines().mid(0, 3),
            (QStringList{"Montag, 07.12.26", "Mus / 4. Std. 7a M / ", "Heute Dienstag, 08.12.26"}));
  EXPECT_EQ(dialog->Edit1->text(), " 2 unerledigte Benachrichtigungen");
  dialog->AktBox->setChecked(true);
  EXPECT_EQ(lines().first(), "Heute Dienstag, 08.12.26");
}

TEST_F(NotificationDialog, NothingToList_EmptyBoxAndZeroInThePlural) {
  open({note(1, 2, 2), note(2, 1, 60)});
  EXPECT_EQ(dialog->Box->lineCount(), 0);
  EXPECT_EQ(dialog->Edit1->text(), " 0 unerledigte Benachrichtigungen");
  EXPECT_FALSE(dialog->Edit1->isHidden());
}

TEST_F(NotificationDialog, ExactlyOneOpen_CountInTheSingular) {
  open({note(1, 2, 60), note(2, 3, 60)});
  EXPECT_EQ(dialog->Edit1->text(), " 1 unerledigte Benachrichtigung");
}

TEST_F(NotificationDialog, SelectingALine_ShowsTeacherAndTelephone) {
  open(weekNotes());
  select(1);
  EXPECT_EQ(dialog->Edit1->text(), " Mus Tel.: 01234 567890");
  select(3);
  EXPECT_EQ(dialog->Edit1->text(), " Zorn keine Telefonnummer hinterlegt");
  select(0);
  EXPECT_EQ(dialog->Edit1->text(), " ");
  EXPECT_EQ(checks, 0);
}

TEST_F(NotificationDialog, TickingAnOpenNotification_WritesStatus3AndRunsTheCheck) {
  open(weekNotes());
  clickTickBox(1);
  EXPECT_EQ(marks(), "HxxoHxHxx") << "the tick shows while the write runs";
  EXPECT_EQ(checks, 0);
  settle();
  EXPECT_EQ(marks(), "HxxoHxHxx");
  EXPECT_EQ(dialog->Edit1->text(), " 1 unerledigte Benachrichtigung");
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(exportedStatus(file(), 1), 3);
  const int read = readerStatus(file(), 1);
  if (read < 0) ZOVA_MISSING_TOOL("node with the npm reader (tools/testtools)");
  EXPECT_EQ(read, 3);
}

TEST_F(NotificationDialog, TickingTheSelectedLine_LeavesTheOpenCountInTheInfoLine) {
  open(weekNotes());
  clickLine(1);
  ASSERT_EQ(dialog->Edit1->text(), " Mus Tel.: 01234 567890");
  clickTickBox(1);
  settle();
  EXPECT_EQ(dialog->Edit1->text(), " 1 unerledigte Benachrichtigung");
  EXPECT_EQ(dialog->Box->itemIndex(), -1);
  EXPECT_EQ(exportedStatus(file(), 1), 3);
}

TEST_F(NotificationDialog, TickingTheCancellationLine_WritesStatus5AndBothLinesEndTicked) {
  open(weekNotes());
  clickTickBox(3);
  settle();
  EXPECT_EQ(marks(), "HoxxHxHxx");
  EXPECT_EQ(dialog->Edit1->text(), " 1 unerledigte Benachrichtigung");
  EXPECT_EQ(exportedStatus(file(), 2), 5);
  const int read = readerStatus(file(), 2);
  if (read < 0) ZOVA_MISSING_TOOL("node with the npm reader (tools/testtools)");
  EXPECT_EQ(read, 5);
}

TEST_F(NotificationDialog, DoneLinesAndHeaders_CannotBeTicked) {
  open(weekNotes());
  const QByteArray before = fileBytes(file());
  clickTickBox(2);  // the done first line of the cancelled notification
  settle();
  EXPECT_FALSE(dialog->Box->toggleCheck(0));
  EXPECT_EQ(marks(), "HoxoHxHxx");
  EXPECT_EQ(checks, 0);
  EXPECT_EQ(fileBytes(file()), before);
}

TEST_F(NotificationDialog, StatusZeroTicked_WritesNothingAndIsUntickedAgain) {
  open({note(1, 0, 60)});
  const QByteArray before = fileBytes(file());
  clickTickBox(1);
  settle();
  EXPECT_EQ(marks(), "Ho");
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(fileBytes(file()), before);
}

TEST_F(NotificationDialog, RowCancelledByTheIssuerSinceTheLoad_NothingWrittenAndTheNewStateShown) {
  open(weekNotes());
  // The issuing program cancels notification 1 while the dialog is open.
  QVector<Note> changed = weekNotes();
  changed[0].status = 4;
  changed[0].rueckTime = now() - minutes(6);
  writeNotes(changed);
  const QByteArray before = fileBytes(file());
  clickTickBox(1);
  settle();
  EXPECT_EQ(fileBytes(file()), before);
  EXPECT_EQ(exportedStatus(file(), 1), 4);
  // The dialog shows the cancellation for the user to acknowledge.
  EXPECT_EQ(lines().mid(1, 2), (QStringList{"Mus / 4. Std. 7a M / Vertretung",
                                            "** AUFGEHOBEN ** Mus / 4. Std. 7a M / Vertretung"}));
  EXPECT_EQ(marks(), "HxoxoHxHxx");
  EXPECT_EQ(checks, 1);
  ASSERT_EQ(messages->texts.size(), 1);
  EXPECT_TRUE(messages->texts[0].contains(QString::fromUtf8("inzwischen geändert"))) << messages->texts[0].toStdString();
  // And the next check counts it as due.
  TNachrichtListe check;
  ASSERT_TRUE(check.LoadFromDB(0, true));
  EXPECT_EQ(check.CountDue(), 2);
}

namespace {

// The notification thread's database worker starts again, and so takes the
// environment as it is now.
void restartNotificationWorker() {
  notifications::runInBackground(QCoreApplication::instance(), [] { db::worker::setWorkerForTesting(QString()); }, {});
  ASSERT_TRUE(notifications::waitForBackground());
}

}  // namespace

TEST_F(NotificationDialog, WriteRefused_TickTakenBackCountKeptAndTheReasonSaid) {
  open(weekNotes());
  qputenv("ZOVA_DB_WORKER_FAULT", "read-only-file");
  restartNotificationWorker();
  clickTickBox(1);
  settle();
  qunsetenv("ZOVA_DB_WORKER_FAULT");
  restartNotificationWorker();
  EXPECT_EQ(marks(), "HoxoHxHxx");
  EXPECT_EQ(dialog->Edit1->text(), " 2 unerledigte Benachrichtigungen");
  EXPECT_EQ(checks, 1);
  ASSERT_EQ(messages->texts.size(), 1);
  EXPECT_EQ(messages->texts[0], QString::fromUtf8("Die Benachrichtigung wurde nicht als erledigt gespeichert!\r"
                                                  "Die Datenbank Benachrichtigungen.mdb ist schreibgeschützt."));
  EXPECT_EQ(exportedStatus(file(), 1), 2);
}

TEST_F(NotificationDialog, CloseButton_ClosesAndRunsTheCheck) {
  open(weekNotes());
  dialog->OKBtn->click();
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(checks, 1);
}

TEST_F(NotificationDialog, WindowCloseBox_RunsNoCheck) {
  open(weekNotes());
  dialog->close();
  EXPECT_EQ(checks, 0);
}

TEST_F(NotificationDialog, Form_FixedSizeAndWholeLinesInTheBox) {
  open({});
  EXPECT_EQ(dialog->size(), QSize(636, 469));
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
  EXPECT_EQ((dialog->Box->height() - 2 * dialog->Box->frameWidth()) % 18, 0);
}

TEST_F(NotificationDialog, Edit1_VisibleExactlyWhileItHoldsText) {
  open(weekNotes());
  dialog->Edit1->setText(QString());
  EXPECT_TRUE(dialog->Edit1->isHidden());
  dialog->Edit1->setText(" ");
  EXPECT_FALSE(dialog->Edit1->isHidden());
}

TEST(NotificationDayCaption, GermanShortDateWhateverTheLocale) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(TMyNachrichtDLG::DayCaption(zdt::encode(2026, 12, 8), english), "Dienstag, 08.12.26");
  EXPECT_EQ(TMyNachrichtDLG::DayCaption(zdt::encode(2027, 1, 3), QLocale::c()), "Sonntag, 03.01.27");
}

TEST_F(NotificationDialog, Painting_HeaderInDarkRedOnGreySelectedLineOnCream) {
  open(weekNotes());
  select(1);
  const QImage image = dialog->Box->viewport()->grab().toImage();
  const QRect header = dialog->Box->visualItemRect(dialog->Box->item(0));
  const QRect selected = dialog->Box->visualItemRect(dialog->Box->item(1));
  EXPECT_EQ(image.pixelColor(header.left() + 2, header.top() + 1), QColor(227, 224, 219));
  EXPECT_EQ(image.pixelColor(selected.right() - 2, selected.top() + 1), QColor(255, 251, 240));
  const QRect unselected = dialog->Box->visualItemRect(dialog->Box->item(3));
  EXPECT_EQ(image.pixelColor(unselected.right() - 2, unselected.top() + 1), QColor(Qt::white));
  bool darkRed = false;
  for (int x = header.left(); x < header.left() + 200; ++x)
    for (int y = header.top(); y <= header.bottom(); ++y) {
      const QColor c = image.pixelColor(x, y);
      darkRed = darkRed || (c.red() > 120 && c.green() < 60 && c.blue() < 60);
    }
  EXPECT_TRUE(darkRed);
  // The text begins 20 pixels into the line's text area.
  bool inked = false;
  const int textLeft = header.left() + 20;
  for (int y = header.top(); y <= header.bottom(); ++y)
    for (int x = header.left(); x < textLeft; ++x) inked = inked || image.pixelColor(x, y) != QColor(227, 224, 219);
  EXPECT_FALSE(inked);
}
