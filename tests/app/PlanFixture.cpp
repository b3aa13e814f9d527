// Test support for the main window (see PlanFixture.h).
#include "tests/app/PlanFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include "jet/JetWriter.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

using jet::ColumnType;

FixtureDay makeDay(TDateTime datum, const QString& druckdatum, TDateTime druckZeit, int rows) {
  FixtureDay day;
  TStatItem& r = day.record;
  r.Datum = datum;
  r.DruckZeit = druckZeit;
  r.Druckdatum = druckdatum;
  r.Datumlang = zdt::toDate(datum).toString("d. MMMM yyyy");
  r.Version = "Version 1";
  r.Ueberschrift = "Vertretungsplan";
  r.Schulname = "Gymnasium am Stadtpark";
  r.Aushangort = "Eingangshalle";
  r.Gezeichnet = "gez. Schulleitung";
  const char* headings[] = {"", "Klasse", "Std.", "Vertreter", "Fach", "Raum", "(Lehrer)", "Bemerkung"};
  for (int i = 1; i <= 7; ++i) r.Spalten[i] = headings[i];
  r.AbwKlassen = "5a, 5b, 6c";
  r.AbwLehrer = "Ber, Mül";
  r.BitteRTF = "Bitte beachten Sie die Aushänge.";
  for (int i = 0; i < rows; ++i) {
    TDynItem row;
    row.F1 = QString("%1a").arg(5 + i / 3);
    row.F2 = QString::number(i % 6 + 1);
    row.F3 = "Sch";
    row.F4 = "M";
    row.F5 = "R10" + QString::number(i % 10);
    row.F6 = "Ber";
    row.F7 = "Vertretung";
    day.rows << row;
  }
  return day;
}

namespace {

QVector<jet::Column> statColumns() {
  QVector<jet::Column> columns = {{"Datum", ColumnType::DateTime}, {"DruckZeit", ColumnType::DateTime}};
  for (const char* name : {"Datumlang", "Version", "Druckdatum", "Ueberschrift", "Schulname", "Aushangort",
                           "Gezeichnet", "H1", "H2", "H3", "H4", "H5", "H6", "H7"})
    columns.append({name, ColumnType::Text});
  for (const char* name : {"AbwKlassen", "AbwLehrer", "AbwKurse", "FehlRäume", "BetrLehrer", "BetrKlassen",
                           "BitteBeachten", "BitteRTF"})
    columns.append({QString::fromUtf8(name), ColumnType::Memo});
  return columns;
}

jet::Row statRow(const TStatItem& r) {
  jet::Row row = {r.Datum, r.DruckZeit, r.Datumlang, r.Version, r.Druckdatum, r.Ueberschrift,
                  r.Schulname, r.Aushangort, r.Gezeichnet};
  for (int i = 1; i <= 7; ++i) row.append(r.Spalten[i]);
  row << r.AbwKlassen << r.AbwLehrer << r.AbwKurse << r.FehlRaeume << r.BetrLehrer << r.BetrKlassen
      << r.BitteBeachten << r.BitteRTF;
  return row;
}

void addAudience(jet::Database& db, const QString& stat, const QString& dyn, const QVector<FixtureDay>& days) {
  jet::Table& statTable = db.addTable(stat, statColumns());
  for (const FixtureDay& day : days) statTable.rows.append(statRow(day.record));
  QVector<jet::Column> dynColumns = {{"ID", ColumnType::Long}, {"Datum", ColumnType::DateTime}};
  for (int i = 1; i <= 7; ++i) dynColumns.append({QString("F%1").arg(i), ColumnType::Text});
  jet::Table& dynTable = db.addTable(dyn, dynColumns);
  int id = 0;
  for (const FixtureDay& day : days)
    for (const TDynItem& r : day.rows)
      dynTable.rows.append({++id, day.record.Datum, r.F1, r.F2, r.F3, r.F4, r.F5, r.F6, r.F7});
}

}  // namespace

void PlanDatabase::write(const QString& folder) const {
  jet::Database db;
  addAudience(db, "TStatTextAula", "TDynTextAula", aula);
  if (withLehrerTables) addAudience(db, "TStatTextLehrer", "TDynTextLehrer", lehrer);
  db.write(QDir(folder).filePath("Zova-Internet.mdb"));
}

void FormTest::SetUp() {
  Plan = PlanState{};
  Settings = SettingsValues{};
  DM = std::make_unique<TDM>();
  messages = std::make_unique<msgbox::Recorder>();
  zdt::setFixedNow(zdt::encode(2026, 12, 9, 10, 0));  // a Wednesday morning
}

void FormTest::TearDown() {
  form.reset();
  DM.reset();
  messages.reset();
  zdt::setClock({});
}

void FormTest::writeSettings(const QStringList& settingsLines, const QString& datenpfad) {
  const QString folder = GetShellFolder() + "Kelvaro/Zova-Monitor/";
  QDir().mkpath(folder);
  QFile file(folder + "Zova-Monitor.ini");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QTextStream out(&file);
  out << "[Pfade]\nDatenpfad=" << (datenpfad.isNull() ? planFolder() : datenpfad) << "\n[Settings]\n";
  for (const QString& line : settingsLines) out << line << "\n";
}

TForm1& FormTest::startForm(int width, int height) {
  form = std::make_unique<TForm1>();
  form->resize(width, height);
  form->show();
  processEvents();
  return *form;
}

void FormTest::processEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

void FormTest::fitVisibleRows(int rows) {
  ASSERT_TRUE(form);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int pitch = form->Grid->DefaultRowHeight() + StringGrid::kGridLineWidth;
    // The heading row, the body rows, and half a row that is not fully visible.
    const int wanted = (1 + rows) * pitch + pitch / 2;
    form->resize(form->width(), form->height() + wanted - form->Grid->height());
    processEvents();
    form->Showdaten();
    // Room for `rows` body rows; a day with fewer rows shows just those.
    if ((form->Grid->height() - pitch) / pitch == rows) return;
  }
  FAIL() << "could not fit " << rows << " visible rows";
}

void FormTest::pollNewExport() {
  ASSERT_TRUE(form);
  DM->PlanCopy.refreshAndWait();
  form->GetNewDaten();
}

void FormTest::waitForPolls() {
  ASSERT_TRUE(form);
  QElapsedTimer clock;
  clock.start();
  while (form->PollPending() && clock.elapsed() < 15000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_FALSE(form->PollPending()) << "the poll did not run";
}
