// The process-wide plan state shared by every handler of the monitor.
//
// Everything here is touched only on the user-interface thread; timers and
// handlers run one at a time, so no locks are needed.
#pragma once

#include <QList>
#include <cstdint>

#include "plan/PlanRecords.h"

struct PlanState {
  TStatList StatListAula;    // day records for pupils (TStatTextAula)
  TStatList StatListLehrer;  // day records for teachers (TStatTextLehrer)
  TDynList DynList;          // rows of the day on screen
  QList<TStatItemRef> Tagesliste;  // days automatic mode rotates through
  TStatItemRef AktuellerTag;       // the day record on screen, or none
  std::uint8_t AktuellerTyp = 0;   // audience on screen: 0 pupils, 1 teachers
  bool NeuAufbau = false;          // relayout pending after a resize
  TDateTime Nachlaufzeit = 0;      // one hour, set at start

  // The day list of an audience: pupils for 0, teachers otherwise.
  TStatList& ListOf(std::uint8_t typ) { return typ == 0 ? StatListAula : StatListLehrer; }
};

// The one instance; tests reset it with Plan = PlanState{}.
extern PlanState Plan;
