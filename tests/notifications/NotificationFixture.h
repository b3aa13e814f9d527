// Test support for the notification feature: notification databases with
// chosen rows, written by the Jet writer into a private folder that
// PfadBenachrichtigungen names, on a fixed clock (Tuesday, 8 December 2026,
// 10:00) with message boxes recorded instead of shown.
#pragma once

#include <QTemporaryDir>
#include <QVariant>
#include <QVector>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

#include "platform/DateTime.h"
#include "platform/MessageBox.h"

namespace notiftest {

// Tuesday, 8 December 2026, 10:00.
TDateTime now();
TDateTime today();
// Minutes as a date-time span.
double minutes(double count);

// One row of BenachrichtigungsTabelle. A null QVariant is NULL.
struct Note {
  int id = 0;
  int status = 2;
  bool valid = true;
  TDateTime setTime = 0;
  QVariant rueckTime = 0.0;
  TDateTime datum = 0;
  int stunde = 4;
  QString lehrer = QStringLiteral("Mus");
  QString klasse = QStringLiteral("7a");
  QString fach = QStringLiteral("M");
  QString bemerkung;
  QVariant telefon = QString();
  int kopie = 0;
  int tan = 0;
};

// A notification issued `minutesAgo` minutes before now, for the day
// `dayOffset` days from today.
Note note(int id, int status, double minutesAgo, int dayOffset = 0);

// Writes Benachrichtigungen.mdb with the table and its fourteen columns.
void writeNotes(const QString& file, const QVector<Note>& notes);

}  // namespace notiftest

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

class NotificationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The notification folder (with its trailing "/") and database file.
  QString folder() const { return m_dir.path() + '/'; }
  QString file() const { return folder() + QStringLiteral("Benachrichtigungen.mdb"); }
  void writeNotes(const QVector<notiftest::Note>& notes) { notiftest::writeNotes(file(), notes); }
  // Waits until the notification thread has ended every job and their
  // results have reached the display thread.
  static void settle();

  QTemporaryDir m_dir;
  std::unique_ptr<msgbox::Recorder> messages;
  // The intervals CountDue gave the notification timer, in order.
  QVector<int> intervals;
};
