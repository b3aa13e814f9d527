// Plan records and lists: the day record of one plan day and audience
// (TStatItem), one substitution row (TDynItem), and their ordered lists.
//
// Records are shared: a list, AktuellerTag, the day chooser and Tagesliste
// each hold a reference, and a record lives until its last reference goes.
// Clearing a list drops only the list's references, so the record on screen
// stays readable through AktuellerTag after a reload.
#pragma once

#include <QList>
#include <QString>
#include <array>
#include <memory>

#include "platform/DateTime.h"

class TStatItem {
 public:
  TDateTime Datum = 0;      // the plan day, at midnight
  TDateTime DruckZeit = 0;  // when the plan-producing program exported this day
  bool Geaendert = false;   // replaced by a poll and not yet redrawn
  QString Datumlang;
  QString Version;
  QString Druckdatum;  // export date as text; a different text marks a new version
  QString Ueberschrift;
  QString Schulname;
  QString Aushangort;
  QString Gezeichnet;
  std::array<QString, 8> Spalten;  // headings of columns 1..7 (index 0 unused)
  QString AbwKlassen;
  QString AbwLehrer;
  QString AbwKurse;
  QString FehlRaeume;
  QString BetrLehrer;
  QString BetrKlassen;
  QString BitteBeachten;
  QString BitteRTF;

  // Copies every field of the source, Geaendert included.
  void Assign(const TStatItem& source) { *this = source; }
};

class TDynItem {
 public:
  QString F1, F2, F3, F4, F5, F6, F7;

  // Field Fn for n = 1..7.
  QString& F(int n);
  const QString& F(int n) const;
};

using TStatItemRef = std::shared_ptr<TStatItem>;
using TDynItemRef = std::shared_ptr<TDynItem>;

// The ordered list of shared record references (count, item at a 0-based
// index, append, delete at an index, index of an item, clear).
template <typename T>
class TRecordList {
 public:
  using Ref = std::shared_ptr<T>;
  int Count() const { return static_cast<int>(m_items.size()); }
  const Ref& Items(int index) const { return m_items.at(index); }
  int Add(Ref item) {
    m_items.append(std::move(item));
    return Count() - 1;
  }
  void Delete(int index) { m_items.removeAt(index); }
  int IndexOf(const Ref& item) const { return static_cast<int>(m_items.indexOf(item)); }
  void Clear() { m_items.clear(); }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 protected:
  QList<Ref> m_items;
};

class TStatList : public TRecordList<TStatItem> {
 public:
  // The record whose Datum equals the value exactly; the last one in list
  // order when several do; none (nullptr) otherwise. No tolerance: a value
  // with a time fraction never equals a midnight date.
  TStatItemRef FindByDate(TDateTime datum) const;
  // Reorders the list by Datum, earliest first (not stable).
  void SortByDate();
};

class TDynList : public TRecordList<TDynItem> {};

// The German weekday names, Monday first.
extern const std::array<QString, 7> Wochentage;

// Index into Wochentage of the date's weekday: 0 Monday .. 6 Sunday.
int WochentagIndex(TDateTime datum);
