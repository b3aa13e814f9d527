// Loading the plan: all day records of both audiences, and the rows of a day.
//
// Failures are silent: what was loaded stays, and the page shows the state
// through Datenloeschen. The connection is closed before each load returns.
#include <array>
#include <cmath>

#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"

bool TForm1::OpenPlanForLoad() {
  DBVerbunden = true;
  if (DM->ADOOpenRead()) return true;
  DBVerbunden = false;
  Datenloeschen();
  return false;
}

void TForm1::GetDaten() {
  DBox->clear();
  // A whole reload reads the newest complete export there is.
  DM->FollowPlanFile();
  DM->PlanCopy.adopt();
  m_mergedCopy.clear();
  if (!OpenPlanForLoad()) return;
  try {
    DM->OpenSorted(QStringLiteral("SELECT * FROM TStatTextAula"), QStringLiteral("Datum ASC"));
    DM->LoadStatList(Plan.StatListAula);
    DM->OpenSorted(QStringLiteral("SELECT * FROM TStatTextLehrer"), QStringLiteral("Datum ASC"));
    DM->LoadStatList(Plan.StatListLehrer);
    m_mergedCopy = DM->PlanCopy.adoptedFile();
  } catch (const db::Error&) {
    // A missing table or column ends the load; what was read stays.
  }
  DM->ado1.close();
  DM->ADOConn.close();
  // AktuellerTag still refers to the record shown before the reload, so
  // BuildDBox finds the same date again when it still exists.
  BuildDBox();
}

void TForm1::OpenDayRows(std::uint8_t infoTyp, TDateTime datum) {
  const QString table = infoTyp == 0 ? QStringLiteral("TDynTextAula") : QStringLiteral("TDynTextLehrer");
  // The whole day number, e.g. "Select * from TDynTextAula where Datum = 39083;"
  const auto dayNumber = static_cast<qint64>(std::trunc(datum));
  DM->OpenSorted(QStringLiteral("Select * from ") + table + QStringLiteral(" where Datum = ") +
                     QString::number(dayNumber) + QStringLiteral(";"),
                 QStringLiteral("ID"));
}

void TForm1::GetDynData(std::uint8_t infoTyp, TDateTime datum) {
  // The column names F1..F7, made once for the thousands of rows of a day.
  static const std::array<QString, 8> columnNames = [] {
    std::array<QString, 8> names;
    for (int n = 1; n <= 7; ++n) names[n] = QStringLiteral("F%1").arg(n);
    return names;
  }();
  Plan.DynList.Clear();
  if (!OpenPlanForLoad()) return;
  try {
    OpenDayRows(infoTyp, datum);
    DM->ado1.first();
    while (!DM->ado1.eof()) {
      auto row = std::make_shared<TDynItem>();
      for (int n = 1; n <= 7; ++n) row->F(n) = DM->ado1.asText(columnNames[n]);
      for (int n = 1; n <= 7; ++n)
        if (row->F(n) == QLatin1String(".")) row->F(n).clear();
      Plan.DynList.Add(row);
      DM->ado1.next();
    }
  } catch (const db::Error&) {
    // The rows read before the failure stay.
  }
  DM->ado1.close();
  DM->ADOConn.close();
}
