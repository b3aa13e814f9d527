// Merging fresh day records into the shown list (see PlanMerge.h).
#include "plan/PlanMerge.h"

void Vergleiche(const TStatList& fresh, TStatList& shown, const std::function<TStatItemRef()>& aktuellerTag,
                const std::function<void()>& shownDayVanished) {
  for (const auto& f : fresh) {
    const TStatItemRef s = shown.FindByDate(f->Datum);
    if (s) {
      if (s->Druckdatum != f->Druckdatum) {
        s->Assign(*f);
        s->Geaendert = true;
      }
    } else {
      auto added = std::make_shared<TStatItem>();
      added->Assign(*f);
      shown.Add(added);
    }
  }
  // Dates only: a day vanished from the other audience's list also blanks
  // the page when it has the date on screen.
  int index = 0;
  while (index < shown.Count()) {
    const TStatItemRef s = shown.Items(index);
    if (fresh.FindByDate(s->Datum)) {
      ++index;
      continue;
    }
    const TStatItemRef onScreen = aktuellerTag();
    if (onScreen && onScreen->Datum == s->Datum) shownDayVanished();
    shown.Delete(index);
  }
}
