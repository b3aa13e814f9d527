// The hours a wall screen is on: [Kiosk] An=06:30, Aus=17:30, Tage=Mo-Fr.
//
// The screen is on from An up to (not including) Aus on the days of Tage,
// and off at every other moment. Tage lists German day abbreviations (Mo Di
// Mi Do Fr Sa So), single days and ranges separated by commas ("Mo-Fr",
// "Mo,Mi,Fr", "Mo-Do,Sa"); a missing Tage means every day. Without An and
// Aus the screen is never switched off. An odd value (a time that is none,
// An not before Aus, an unknown day) switches nothing either, and says why.
#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

struct SleepHours {
  QTime on;   // An
  QTime off;  // Aus
  quint8 days = 0x7f;  // bit 0 Monday ... bit 6 Sunday
  QString daysText = QStringLiteral("Mo-So");  // Tage as written

  // The hours from the three settings texts; nothing when An and Aus are
  // both empty or a value is odd (then `problem` names it).
  static std::optional<SleepHours> fromSettings(const QString& an, const QString& aus, const QString& tage,
                                                QString* problem = nullptr);
  // "06:30-17:30 Mo-Fr", for reports.
  QString text() const;
  // Whether the screen is on at this local moment.
  bool screenOnAt(const QDateTime& moment) const;
  // The next moment after `moment` at which the screen comes on; invalid
  // when no day is listed.
  QDateTime nextOnAfter(const QDateTime& moment) const;
};

// The days of a Tage text as bits (bit 0 Monday); nothing when the text is odd.
std::optional<quint8> parseSchoolDays(const QString& text);
