// Texts of screen reports.
#include "app/ReportTexts.h"

#include "platform/DateTime.h"

QString audienceName(int infoTyp) {
  return infoTyp == 0 ? QStringLiteral("Schülerinformation") : QStringLiteral("Lehrerinformation");
}

QString dayText(double datum) { return zdt::toDate(datum).toString(Qt::ISODate); }

QString momentText(double moment) {
  return zdt::toQDateTime(moment).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString momentTextWithSeconds(double moment) {
  return zdt::toQDateTime(moment).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
