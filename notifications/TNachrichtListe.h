// TNachrichtListe: an ordered list of notifications that owns them, loading
// them from the notification database and counting the due ones; and the
// process-wide list Nachrichten that the notification dialog shows.
#pragma once

#include <memory>
#include <vector>

#include "notifications/TNachrichtsatz.h"

class TNachrichtListe {
 public:
  TNachrichtListe() = default;
  ~TNachrichtListe() = default;
  TNachrichtListe(const TNachrichtListe&) = delete;
  TNachrichtListe& operator=(const TNachrichtListe&) = delete;

  // The number of due notifications found by the last CountDue.
  qint32 DueCount = 0;

  int Count() const { return static_cast<int>(m_items.size()); }
  // Precondition: 0 <= index < Count().
  TNachrichtsatz* Items(int index) const;
  void Add(std::unique_ptr<TNachrichtsatz> record);
  // Discards every record and empties the list.
  void FreeItems();
  // Takes over the records of `other` in place of its own; `other` is left empty.
  void TakeItems(TNachrichtListe& other);

  // Replaces the content with the valid notifications dated today minus
  // `daysBack` days or later, in the order Datum, Lehrer, SetTime, RueckTime.
  // Not quiet: a database that cannot be opened shows "Tabelle kann nicht
  // geöffnet werden!" and gives false with the list empty. Quiet, the query
  // is tried all the same. Any other failure gives false without a message;
  // the records read before it stay. A row that cannot be read is left out.
  bool LoadFromDB(qint32 daysBack, bool quiet);
  // LoadFromDB's file work with its statement worked out beforehand, for
  // the notification thread (no message, no clock): `connected` tells
  // whether the database opened; quiet, the query is tried all the same.
  bool LoadRows(const QString& select, bool quiet, bool& connected);
  // The SELECT statement LoadFromDB sends for `daysBack` days before today.
  static QString SelectStatement(qint32 daysBack);

  // Counts the notifications that are due (valid, status 2 or 4, dated today
  // or later, last change at least KarenzZeit minutes ago) into DueCount and
  // returns it. Gives Benachrichtigungstimer the time until the oldest one
  // still in its grace time becomes due (a whole grace time when none is
  // pending), in whole milliseconds, at least 2000. A time stamp ahead of
  // the clock shows "Bitte die Uhrzeit mit dem Server der Datenbank
  // synchronisieren", at most once per program run.
  qint32 CountDue();

  // The timer interval of a check: `remainingMs` until the next
  // notification becomes due, truncated to whole milliseconds, at least 2000
  // and at most INT_MAX.
  static int NextInterval(double remainingMs);

 private:
  std::vector<std::unique_ptr<TNachrichtsatz>> m_items;
};

// The long-lived list: created at program start, before any window, and
// discarded at its end. TelefonBtnClick fills it; the dialog shows it.
extern TNachrichtListe Nachrichten;
