// Day-count date-times and the one source of "now".
//
// A TDateTime is a double whose integer part counts days since 30 December
// 1899 and whose fraction is the time of day (0.5 = noon). Plan days are
// identified by exact equality of this value at midnight. For days before
// 1899 the integer part is negative and the fraction still counts forward
// from midnight (-1.25 is 29 December 1899, 06:00), as Jet stores them.
//
// "Now" comes from a replaceable clock so that tests can stand at any moment;
// the program itself uses the system clock in local time.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>

using TDateTime = double;

namespace zdt {

// Day count of a calendar date at midnight.
TDateTime fromDate(const QDate& date);
// Day count of a local date and time, to the millisecond.
TDateTime fromQDateTime(const QDateTime& dateTime);
// Day count of y-m-d hh:nn:ss (convenience for tests and tools).
TDateTime encode(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// Time of day as a fraction: encodeTime(18, 0) == 0.75.
TDateTime encodeTime(int hour, int minute, int second = 0);

// Calendar date of a day count; the time of day is ignored.
QDate toDate(TDateTime value);
// Time of day of a day count, rounded to the millisecond.
QTime toTime(TDateTime value);
// Local date and time of a day count.
QDateTime toQDateTime(TDateTime value);

// The date part (midnight of the same calendar day) and the time-of-day part.
TDateTime dateOf(TDateTime value);
TDateTime timeOf(TDateTime value);

// The current moment and today's midnight, from the clock below.
TDateTime now();
TDateTime today();

// The locale of the texts on screen: the system's when it is German (de_DE,
// de_AT, de_CH ...), Germany's otherwise, since kiosk installations often run
// with LANG unset or C.UTF-8. Weekday names and short dates come from it.
QLocale germanLocale(const QLocale& system = QLocale::system());

// Replaces the clock; an empty function restores the system clock.
void setClock(std::function<TDateTime()> clock);
// Stands the clock still at one moment (tests).
void setFixedNow(TDateTime moment);

}  // namespace zdt
