// Reading the screen's hours from the settings and asking them about a moment.
#include "app/SleepHours.h"

#include <QStringList>

namespace {

// Monday 0 ... Sunday 6; -1 for anything else.
int dayIndex(const QString& abbreviation) {
  static const QStringList names{QStringLiteral("mo"), QStringLiteral("di"), QStringLiteral("mi"), QStringLiteral("do"),
                                 QStringLiteral("fr"), QStringLiteral("sa"), QStringLiteral("so")};
  return static_cast<int>(names.indexOf(abbreviation.trimmed().toLower()));
}

// "06:30" or "6:30" (also with seconds); invalid for anything else.
QTime timeOfDay(const QString& text) {
  for (const char* form : {"H:mm", "H:mm:ss"}) {
    const QTime time = QTime::fromString(text, QString::fromLatin1(form));
    if (time.isValid()) return time;
  }
  return QTime();
}

}  // namespace

std::optional<quint8> parseSchoolDays(const QString& text) {
  if (text.trimmed().isEmpty()) return std::nullopt;
  quint8 days = 0;
  for (const QString& part : text.split(u',')) {
    const QStringList ends = part.split(u'-');
    if (ends.size() > 2) return std::nullopt;
    const int first = dayIndex(ends.front());
    const int last = dayIndex(ends.back());
    if (first < 0 || last < 0) return std::nullopt;
    // A range runs forward through the week, so "Sa-Mo" is Saturday to Monday.
    for (int day = first;; day = (day + 1) % 7) {
      days |= static_cast<quint8>(1u << day);
      if (day == last) break;
    }
  }
  return days;
}

std::optional<SleepHours> SleepHours::fromSettings(const QString& an, const QString& aus, const QString& tage,
                                                   QString* problem) {
  auto odd = [problem](const QString& why) -> std::optional<SleepHours> {
    if (problem) *problem = why;
    return std::nullopt;
  };
  if (problem) problem->clear();
  if (an.isEmpty() && aus.isEmpty()) return std::nullopt;
  SleepHours hours;
  hours.on = timeOfDay(an);
  hours.off = timeOfDay(aus);
  if (!hours.on.isValid()) return odd(QStringLiteral("An=\"%1\" is no time of day such as 06:30").arg(an));
  if (!hours.off.isValid()) return odd(QStringLiteral("Aus=\"%1\" is no time of day such as 17:30").arg(aus));
  if (hours.on >= hours.off) return odd(QStringLiteral("An=%1 is not before Aus=%2").arg(an, aus));
  if (!tage.isEmpty()) {
    const std::optional<quint8> days = parseSchoolDays(tage);
    if (!days) return odd(QStringLiteral("Tage=\"%1\" is no list of days such as Mo-Fr").arg(tage));
    hours.days = *days;
    hours.daysText = tage;
  }
  return hours;
}

QString SleepHours::text() const {
  return QStringLiteral("%1-%2 %3").arg(on.toString(QStringLiteral("HH:mm")), off.toString(QStringLiteral("HH:mm")), daysText);
}

bool SleepHours::screenOnAt(const QDateTime& moment) const {
  const int day = moment.date().dayOfWeek() - 1;
  const QTime time = moment.time();
  return (days & (1u << day)) && time >= on && time < off;
}

QDateTime SleepHours::nextOnAfter(const QDateTime& moment) const {
  for (int ahead = 0; ahead <= 7; ++ahead) {
    const QDate date = moment.date().addDays(ahead);
    const QDateTime start(date, on);
    if ((days & (1u << (date.dayOfWeek() - 1))) && start > moment) return start;
  }
  return QDateTime();
}
