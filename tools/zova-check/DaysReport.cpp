// The days part of zova-check's report.
#include "DaysReport.h"

#include "ScreenReport.h"
#include "app/TForm1.h"
#include "db/Database.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"

namespace {

const char* const kStatTables[2] = {"TStatTextAula", "TStatTextLehrer"};

QJsonObject dayEntry(const TStatItem& day) {
  QJsonObject entry;
  entry["date"] = dayText(day.Datum);
  entry["weekday"] = TForm1::DBoxText(day.Datum);
  entry["Druckdatum"] = day.Druckdatum;
  entry["DruckZeit"] = momentText(day.DruckZeit);
  return entry;
}

QString timeOfDay(TDateTime value) { return zdt::toTime(value).toString(QStringLiteral("HH:mm")); }

}  // namespace

QString choiceOf(double datum) {
  const TDateTime heute = zdt::today();
  if (datum == heute) return QStringLiteral("today");
  return datum > heute ? QStringLiteral("later") : QStringLiteral("latest");
}

QJsonArray audienceDays() {
  // GetDaten reads both tables under one guard: a failure on the pupils'
  // table leaves the teachers' days unread.
  QString errors[2];
  bool reached[2] = {false, false};
  const bool opened = DM->ADOOpenRead();
  if (opened) {
    int typ = 0;
    try {
      for (; typ < 2; ++typ) {
        reached[typ] = true;
        TStatList scratch;
        DM->OpenSorted(QStringLiteral("SELECT * FROM ") + QLatin1String(kStatTables[typ]), QStringLiteral("Datum ASC"));
        DM->LoadStatList(scratch);
      }
    } catch (const db::Error& error) {
      errors[typ] = error.message();
    }
    DM->ado1.close();
    DM->ADOConn.close();
  }
  QJsonArray audiences;
  for (int typ = 0; typ < 2; ++typ) {
    QJsonObject audience;
    audience["infoTyp"] = typ;
    audience["name"] = audienceName(typ);
    audience["table"] = QLatin1String(kStatTables[typ]);
    audience["read"] = reached[typ];
    audience["loadError"] = errors[typ].isEmpty() ? QJsonValue() : QJsonValue(errors[typ]);
    if (!reached[typ])
      audience["notReadBecause"] = opened ? QStringLiteral("the load stopped at %1").arg(QLatin1String(kStatTables[0]))
                                          : QStringLiteral("the plan database cannot be opened");
    QJsonArray days;
    for (const TStatItemRef& day : Plan.ListOf(static_cast<std::uint8_t>(typ))) days.append(dayEntry(*day));
    audience["days"] = days;
    audiences.append(audience);
  }
  return audiences;
}

QJsonObject tageslisteReport() {
  QJsonObject report;
  report["infoTyp"] = Settings.InfoTyp;
  report["audienceName"] = audienceName(Settings.InfoTyp);
  report["AnzeigeTage"] = Settings.AnzeigeTage;
  QJsonArray days;
  for (const TStatItemRef& day : Plan.Tagesliste) days.append(dayText(day->Datum));
  report["days"] = days;
  // Today's record is the first one BuildTagesliste takes; when it is not in
  // the list, CheckAnzList has dropped it.
  const TStatItemRef today = Plan.ListOf(Settings.InfoTyp).FindByDate(zdt::today());
  report["today"] = today != nullptr;
  const bool dropped = today && Settings.AnzeigeTage >= 1 && !Plan.Tagesliste.contains(today);
  report["todayDropped"] = dropped;
  if (today) {
    report["Haltbarkeit"] = timeOfDay(Settings.Haltbarkeit);
    report["DruckZeitPlusOneHour"] = timeOfDay(zdt::timeOf(today->DruckZeit) + Plan.Nachlaufzeit);
    report["onlyDay"] = !dropped && Plan.Tagesliste.size() == 1;
  }
  return report;
}

void measureDays(TForm1& form, QJsonArray& audiences) {
  for (qsizetype a = 0; a < audiences.size(); ++a) {
    QJsonObject audience = audiences[a].toObject();
    const auto typ = static_cast<std::uint8_t>(audience["infoTyp"].toInt());
    const TStatList& list = Plan.ListOf(typ);
    QJsonArray days = audience["days"].toArray();
    for (qsizetype d = 0; d < days.size() && d < list.Count(); ++d) {
      QJsonObject day = days[d].toObject();
      day["laidOut"] = d >= days.size() - kDaysLaidOut;
      if (!day["laidOut"].toBool()) {
        day["rows"] = QJsonValue();
        day["pages"] = QJsonValue();
        days[d] = day;
        continue;
      }
      Plan.AktuellerTyp = typ;
      form.ShowNextTag(list.Items(static_cast<int>(d)));
      if (form.DBVerbunden && Plan.AktuellerTag) {
        day["rows"] = form.AnzZeilen;
        day["pages"] = form.AnzSeiten;
      } else {
        day["rows"] = QJsonValue();
        day["pages"] = QJsonValue();
      }
      days[d] = day;
    }
    audience["days"] = days;
    audiences[a] = audience;
  }
}
