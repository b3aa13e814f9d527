// Merging a poll's fresh day records into the shown list.
//
// A version of a day is its Druckdatum text: a fresh record whose text
// differs replaces the shown one in place (the same object, so every
// reference to it sees the new version) and marks it Geaendert; a new day
// is appended; a day no longer in the database is removed.
#pragma once

#include <functional>

#include "plan/PlanRecords.h"

// Merges `fresh` into `shown`. Before a vanished day is removed, calls
// `shownDayVanished` when that day has the date of `aktuellerTag` (the page
// on screen must be blanked); the callback may change what is on screen.
void Vergleiche(const TStatList& fresh, TStatList& shown, const std::function<TStatItemRef()>& aktuellerTag,
                const std::function<void()>& shownDayVanished);
