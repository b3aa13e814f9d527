// Day-count date-times: conversions to and from Qt's types, and the clock.
#include "platform/DateTime.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

std::function<TDateTime()>& clockSource() {
  static std::function<TDateTime()> source;
  return source;
}

}  // namespace

namespace zdt {

TDateTime fromDate(const QDate& date) { return static_cast<double>(kEpoch.daysTo(date)); }

TDateTime encodeTime(int hour, int minute, int second) {
  return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

TDateTime encode(int year, int month, int day, int hour, int minute, int second) {
  const double days = fromDate(QDate(year, month, day));
  const double time = encodeTime(hour, minute, second);
  // Jet and its peers keep the fraction positive even before the epoch.
  return days >= 0 ? days + time : days - time;
}

TDateTime fromQDateTime(const QDateTime& dateTime) {
  const QDate date = dateTime.date();
  const QTime time = dateTime.time();
  const double days = fromDate(date);
  const double fraction = time.msecsSinceStartOfDay() / kMsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

QDate toDate(TDateTime value) {
  return kEpoch.addDays(static_cast<qint64>(std::trunc(value)));
}

QTime toTime(TDateTime value) {
  const double fraction = std::fabs(value - std::trunc(value));
  qint64 ms = std::llround(fraction * kMsPerDay);
  if (ms >= 86400000) ms = 86399999;
  return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

QDateTime toQDateTime(TDateTime value) { return QDateTime(toDate(value), toTime(value)); }

TDateTime dateOf(TDateTime value) { return std::trunc(value); }

TDateTime timeOf(TDateTime value) { return std::fabs(value - std::trunc(value)); }

TDateTime now() {
  if (clockSource()) return clockSource()();
  return fromQDateTime(QDateTime::currentDateTime());
}

TDateTime today() { return dateOf(now()); }

void setClock(std::function<TDateTime()> clock) { clockSource() = std::move(clock); }

void setFixedNow(TDateTime moment) {
  setClock([moment] { return moment; });
}

QLocale germanLocale(const QLocale& system) {
  return system.language() == QLocale::German ? system : QLocale(QLocale::German, QLocale::Germany);
}

}  // namespace zdt
