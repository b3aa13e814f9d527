// TNachrichtsatz: one notification of the table BenachrichtigungsTabelle in
// memory - reading it from a result row and writing it back into its row.
#pragma once

#include <QString>
#include <algorithm>
#include <cstdint>

#include "db/Database.h"
#include "platform/DateTime.h"

namespace db {
class Dataset;
}

class TNachrichtsatz {
 public:
  qint32 ID = 0;             // key of the row; a record with ID 0 is never written
  std::uint8_t Status = 0;   // 1 .. 5, see the notification dialog
  bool Valid = true;
  TDateTime SetTime = 0;     // issued
  TDateTime RueckTime = 0;   // changed by the issuing side
  TDateTime Datum = 0;       // the school day concerned
  qint32 Stunde = 0;         // the lesson on that day
  QString Lehrer;
  QString Klasse;
  QString Fach;
  QString Bemerkung;
  QString Telefon;
  qint32 Kopie = 0;
  qint32 TAN = 0;

  // When the notification last changed: issued, or changed by the issuing side.
  TDateTime LastChange() const { return std::max(SetTime, RueckTime); }

  // Fills the record from the current row of an open result set. False when
  // the set stands past its last row, or a column is missing or does not
  // convert (the record is then of no use). Only Status's low 8 bits are kept.
  bool ReadFromDataSet(const db::Dataset& dataSet);

  // Writes the record back into its row with the system's UPDATE
  // (UpdateStatement). False, with no message, when ID is 0 or anything fails;
  // the record keeps its values either way. For a record read from the
  // table, only the columns that differ from the values read are compared
  // and written, on the row as the file holds it at that moment: the other
  // columns keep what is stored (to the fraction of a second), also when
  // another screen or the issuing side wrote them meanwhile. When the row is
  // gone, or a changed column no longer holds the value read (the issuing
  // side cancelled the notification meanwhile) and not already the new one,
  // nothing is written, the result is false and RowChangedOnSave is set.
  bool SaveToDB();

  // The UPDATE statement SaveToDB sends for this record.
  QString UpdateStatement() const;

  // The last SaveToDB was refused because the row had changed since it was read.
  bool RowChangedOnSave = false;
  // Why the last SaveToDB failed: RowChanged, ReadOnly (the file or share
  // takes no writes), NoSpace (disk or quota full), NoAnswer (the file, the
  // share or the database worker did not answer in time, or another program
  // held the file), Other. Meaningful only after SaveToDB returned false.
  db::Error::Kind SaveFailure = db::Error::Kind::Other;

 private:
  // The fourteen columns as they were read (or last written); empty for a
  // record that was never read, which is then written unguarded.
  db::ExpectedValues m_asRead;
};
