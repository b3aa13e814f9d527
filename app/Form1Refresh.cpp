// The refresh cycle: polling the plan database, merging what it holds into
// the shown lists, and putting a day on the page or taking it off.
//
// A poll redraws the page in exactly three cases: the day on screen got a
// new Druckdatum, the day on screen vanished, or no day was on screen. In
// every other case the page and its scroll position stay untouched.
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanMerge.h"
#include "plan/PlanState.h"
#include "settings/SettingsValues.h"

void TForm1::UpdateTimerTimer() {
  GetNewDaten();
  LetztesUpdate = zdt::now();
}

void TForm1::ForceUpdate() {
  GetNewDaten();
  LetztesUpdate = zdt::now();
  BlinktimerTimer();
}

void TForm1::GetNewDaten() {
  ++PollCount;
  TStatList fresh;
  DBox->clear();
  DBVerbunden = true;
  if (!DM->ADOOpenRead()) {
    DBVerbunden = false;
    return;
  }
  const auto aktuellerTag = [] { return Plan.AktuellerTag; };
  const auto shownDayVanished = [this] { Datenloeschen(); };
  try {
    DM->OpenSorted(QStringLiteral("SELECT * FROM TStatTextAula"), QStringLiteral("Datum ASC"));
    DM->LoadStatList(fresh);
    Vergleiche(fresh, Plan.StatListAula, aktuellerTag, shownDayVanished);
    DM->OpenSorted(QStringLiteral("SELECT * FROM TStatTextLehrer"), QStringLiteral("Datum ASC"));
    DM->LoadStatList(fresh);
    Vergleiche(fresh, Plan.StatListLehrer, aktuellerTag, shownDayVanished);
    DM->ado1.close();
    DM->ADOConn.close();
    if (Plan.AktuellerTag) {
      const TStatItemRef found = Plan.ListOf(Plan.AktuellerTyp).FindByDate(Plan.AktuellerTag->Datum);
      if (found && found->Geaendert) {
        Plan.AktuellerTag = found;
        Datenanzeigen();
        found->Geaendert = false;
      } else if (!found) {
        Datenloeschen();
      }
    }
  } catch (const db::Error&) {
    // What was merged before the failure stays merged.
  }
  // Also after a failure: the database is never held open between polls.
  DM->ado1.close();
  DM->ADOConn.close();
  const bool keinTag = !Plan.AktuellerTag;
  BuildDBox();
  BuildTagesliste();
  if (keinTag) Datenanzeigen();
}

void TForm1::Datenanzeigen() {
  if (Plan.AktuellerTag) {
    GetDynData(Plan.AktuellerTyp, Plan.AktuellerTag->Datum);
    Showdaten();
  } else {
    Datenloeschen();
  }
}

void TForm1::Datenloeschen() {
  for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6}) label->clear();
  ClearGrid(Grid2);
  ClearGrid(Grid);
  Plan.AktuellerTag.reset();
  Label1->setText(DBVerbunden ? QStringLiteral("Die Datenbank enthält keine geeigneten Daten! Press F10")
                              : QStringLiteral("Keine Verbindung zur Datenbank! Press F10"));
  setPanelHeight(Panel2, 1);
  Grid->hide();
}

namespace {

// Network file systems do not report changes reliably; there the timer poll
// alone keeps the plan current.
bool isLocalFileSystem(const QString& folder) {
  const QStorageInfo storage(folder);
  if (!storage.isValid()) return false;
  const QByteArray type = storage.fileSystemType().toLower();
  for (const char* remote : {"nfs", "cifs", "smb", "fuse.sshfs", "9p", "afs", "ncpfs"})
    if (type.startsWith(remote)) return false;
  return true;
}

}  // namespace

void TForm1::WatchPlanFile() {
  if (!PlanWatcher->files().isEmpty()) PlanWatcher->removePaths(PlanWatcher->files());
  if (!PlanWatcher->directories().isEmpty()) PlanWatcher->removePaths(PlanWatcher->directories());
  const QString folder = Settings.Datenpfad.isEmpty() ? QDir::currentPath() : Settings.Datenpfad;
  if (!QFileInfo(folder).isDir() || !isLocalFileSystem(folder)) return;
  // The folder is watched too: an export that writes a new file and renames
  // it over the old one replaces the file the watch was on.
  PlanWatcher->addPath(folder);
  const QString file = QDir(folder).filePath(QStringLiteral("Zova-Internet.mdb"));
  if (QFileInfo::exists(file)) PlanWatcher->addPath(file);
  disconnect(PlanChangeDebounce, &QTimer::timeout, this, nullptr);
  connect(PlanChangeDebounce, &QTimer::timeout, this, [this, file] {
    if (!PlanWatcher->files().contains(file) && QFileInfo::exists(file)) PlanWatcher->addPath(file);
    UpdateTimerTimer();
  });
}
