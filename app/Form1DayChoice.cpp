// Which day and audience are on screen: the day chooser, the audience
// buttons, and the day list of automatic mode with its evening cut-off.
#include <QLocale>

#include "app/TForm1.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"

Q_DECLARE_METATYPE(TStatItemRef)

QString TForm1::DBoxText(TDateTime datum, const QLocale& system) {
  const QDate date = zdt::toDate(datum);
  // Qt's German short names end in a full stop ("Mo."); the chooser shows
  // them without, as the plan's readers know them ("Mo, 14.11.11").
  QString weekday = zdt::germanLocale(system).dayName(date.dayOfWeek(), QLocale::ShortFormat);
  if (weekday.endsWith(QLatin1Char('.'))) weekday.chop(1);
  return weekday + QStringLiteral(", ") +
         date.toString(QStringLiteral("dd.MM.yy"));
}

TStatItemRef TForm1::DBoxRecord(int index) const {
  if (index < 0 || index >= DBox->count()) return nullptr;
  return DBox->itemData(index).value<TStatItemRef>();
}

void TForm1::BuildDBox() {
  DBox->clear();
  TDateTime wanted = Plan.AktuellerTag ? Plan.AktuellerTag->Datum : 0;
  TStatList& list = Plan.ListOf(Plan.AktuellerTyp);
  list.SortByDate();
  int selection = -1;
  for (const TStatItemRef& record : list) {
    DBox->addItem(DBoxText(record->Datum), QVariant::fromValue(record));
    if (wanted > 0 && record->Datum == wanted) {
      selection = DBox->count() - 1;
      Plan.AktuellerTag = record;
    }
  }
  if (wanted > 0 && selection < 0) {
    Plan.AktuellerTag.reset();
    wanted = 0;
  }
  if (wanted == 0) {
    const TDateTime heute = zdt::today();
    int todayIndex = -1;
    int laterIndex = -1;
    for (int i = 0; i < list.Count(); ++i) {
      const TDateTime datum = list.Items(i)->Datum;
      if (datum == heute) todayIndex = i;
      if (laterIndex < 0 && datum > heute) laterIndex = i;
    }
    if (selection < 0) selection = todayIndex;
    if (selection < 0) selection = laterIndex;
    if (selection < 0) selection = list.Count() - 1;
  }
  // Selecting from here raises no change event: DBoxChange answers the user only.
  DBox->setCurrentIndex(selection);
  Plan.AktuellerTag = DBoxRecord(selection);
}

void TForm1::DBoxChange() {
  const int index = DBox->currentIndex();
  if (index < 0) {
    Plan.AktuellerTag.reset();
  } else {
    Plan.AktuellerTag = DBoxRecord(index);
    GetDynData(Plan.AktuellerTyp, Plan.AktuellerTag->Datum);
    Showdaten();
  }
  if (Panel3->isVisible()) Panel3->setFocus();
}

void TForm1::RadioButton3Click() {
  if (!RadioButton3->isChecked() || Plan.AktuellerTyp == 0) return;
  Plan.AktuellerTyp = 0;
  Settings.LastTyp = 0;
  BuildDBox();
  Datenanzeigen();
}

void TForm1::RadioButton4Click() {
  if (!RadioButton4->isChecked() || Plan.AktuellerTyp == 1) return;
  Plan.AktuellerTyp = 1;
  Settings.LastTyp = 1;
  BuildDBox();
  Datenanzeigen();
}

void TForm1::BuildTagesliste() {
  Plan.Tagesliste.clear();
  const TStatList& list = Plan.ListOf(Settings.InfoTyp);
  const TDateTime heute = zdt::today();
  for (int i = 0; Plan.Tagesliste.size() < Settings.AnzeigeTage && i < 20; ++i)
    if (TStatItemRef record = list.FindByDate(heute + i)) Plan.Tagesliste.append(record);
  CheckAnzList();
}

void TForm1::CheckAnzList() {
  // The last remaining day is never dropped.
  if (Plan.Tagesliste.size() < 2) return;
  const TStatItemRef first = Plan.Tagesliste.first();
  if (zdt::dateOf(first->Datum) != zdt::today()) return;
  // Times of day only: a plan changed at 23:20 keeps today all day long.
  const TDateTime jetzt = zdt::timeOf(zdt::now());
  if (!(jetzt > zdt::timeOf(first->DruckZeit) + Plan.Nachlaufzeit)) return;
  if (!(jetzt > Settings.Haltbarkeit)) return;
  Plan.Tagesliste.removeFirst();
}
