// Plan records and lists: lookup by date, sort by date, weekday names.
#include "plan/PlanRecords.h"

#include <algorithm>
#include <cassert>

QString& TDynItem::F(int n) {
  assert(n >= 1 && n <= 7);
  QString* fields[] = {&F1, &F2, &F3, &F4, &F5, &F6, &F7};
  return *fields[n - 1];
}

const QString& TDynItem::F(int n) const { return const_cast<TDynItem*>(this)->F(n); }

TStatItemRef TStatList::FindByDate(TDateTime datum) const {
  TStatItemRef found;
  for (const auto& item : m_items)
    if (item->Datum == datum) found = item;
  return found;
}

void TStatList::SortByDate() {
  std::sort(m_items.begin(), m_items.end(),
            [](const TStatItemRef& a, const TStatItemRef& b) { return a->Datum < b->Datum; });
}

const std::array<QString, 7> Wochentage = {
    QStringLiteral("Montag"),  QStringLiteral("Dienstag"), QStringLiteral("Mittwoch"),
    QStringLiteral("Donnerstag"), QStringLiteral("Freitag"), QStringLiteral("Samstag"),
    QStringLiteral("Sonntag")};

int WochentagIndex(TDateTime datum) {
  // Weekday numbered Sunday = 1 .. Saturday = 7, then shifted to Monday = 0.
  const int sundayFirst = zdt::toDate(datum).dayOfWeek() % 7 + 1;
  return (sundayFirst + 5) % 7;
}
