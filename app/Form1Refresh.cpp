// The refresh cycle: polling the plan database, merging what it holds into
// the shown lists, and putting a day on the page or taking it off.
//
// A poll redraws the page in exactly three cases: the day on screen got a
// new Druckdatum, the day on screen vanished, or no day was on screen. In
// every other case the page and its scroll position stay untouched.
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <utility>
#include <sys/stat.h>

#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanMerge.h"
#include "plan/PlanState.h"
#include "platform/Folders.h"
#include "platform/Logging.h"
#include "settings/SettingsValues.h"

void TForm1::UpdateTimerTimer() {
  // The countdown counts to the next tick of UpdateTimer, so the poll is
  // stamped with the moment the timer asked for it.
  m_timerPollAt = zdt::now();
  RequestPoll(kPollByTimer);
}

void TForm1::ForceUpdate() { RequestPoll(kPollByKey); }

void TForm1::RequestPoll(PollRequest by) {
  m_pendingPolls |= by;
  DM->FollowPlanFile();
  DM->PlanCopy.refresh();  // when one runs already, its end serves this request too
}

void TForm1::PlanCopyRefreshed() {
  const int requests = std::exchange(m_pendingPolls, 0);
  // The keeper's own retries poll when they bring a newer copy, or when the
  // file answers again after the plan was taken off for want of it.
  const bool answersAgain = !DBVerbunden && DM->PlanCopy.state() == db::LocalCopy::State::Current;
  if (requests == 0 && !DM->PlanCopy.hasNewerCopy() && !answersAgain) return;
  GetNewDaten();
  if (requests & kPollByTimer) LetztesUpdate = m_timerPollAt;
  if (requests & kPollByKey) {
    LetztesUpdate = zdt::now();
    BlinktimerTimer();
  }
}

void TForm1::GetNewDaten() {
  ++PollCount;
  TStatList fresh;
  DBox->clear();
  DBVerbunden = true;
  // A plan file that is missing, unreachable or still being written counts
  // as a database that cannot be opened.
  if (!DM->AdoptPlanCopy()) {
    DBVerbunden = false;
    return;
  }
  // The lists hold the days of this very copy already (each copy has a name
  // of its own): merging it again would change nothing, so it is not read.
  const bool sameCopy = !m_mergedCopy.isEmpty() && DM->PlanCopy.adoptedFile() == m_mergedCopy;
  if (!sameCopy && !DM->ADOOpenRead()) {
    DBVerbunden = false;
    return;
  }
  const auto aktuellerTag = [] { return Plan.AktuellerTag; };
  const auto shownDayVanished = [this] { Datenloeschen(); };
  bool merged = sameCopy;
  if (!sameCopy) {
    m_mergedCopy.clear();
    try {
      DM->OpenSorted(QStringLiteral("SELECT * FROM TStatTextAula"), QStringLiteral("Datum ASC"));
      DM->LoadStatList(fresh);
      Vergleiche(fresh, Plan.StatListAula, aktuellerTag, shownDayVanished);
      DM->OpenSorted(QStringLiteral("SELECT * FROM TStatTextLehrer"), QStringLiteral("Datum ASC"));
      DM->LoadStatList(fresh);
      Vergleiche(fresh, Plan.StatListLehrer, aktuellerTag, shownDayVanished);
      merged = true;
      m_mergedCopy = DM->PlanCopy.adoptedFile();
    } catch (const db::Error&) {
      // What was merged before the failure stays merged.
    }
  }
  if (merged && Plan.AktuellerTag) {
    const TStatItemRef found = Plan.ListOf(Plan.AktuellerTyp).FindByDate(Plan.AktuellerTag->Datum);
    if (found && found->Geaendert) {
      Plan.AktuellerTag = found;
      Datenanzeigen();
      found->Geaendert = false;
    } else if (!found) {
      Datenloeschen();
    }
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
  // The blank page is one page: automatic mode shows a day at its next tick.
  AktSeite = 1;
  AnzSeiten = 1;
  AnzZeilen = 0;
  Label1->setText(DBVerbunden ? QStringLiteral("Die Datenbank enthält keine geeigneten Daten! Press F10")
                              : QStringLiteral("Keine Verbindung zur Datenbank! Press F10"));
  setPanelHeight(Panel2, 1);
  Grid->hide();
}

namespace {

// Network file systems (and user-space ones such as sshfs or rclone) do not
// report changes reliably and may stop answering; there the timer poll alone
// keeps the plan current.
// What the watch knows of the plan file: a new export changes at least one of these.
struct PlanFileStamp {
  bool exists = false;
  qint64 size = 0;
  qint64 modifiedNs = 0;
  quint64 inode = 0;
  bool operator==(const PlanFileStamp&) const = default;

  static PlanFileStamp of(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_size, qint64{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<quint64>(st.st_ino)};
  }
};

// Decided from the mount table alone: looking at a share that does not
// answer would block the window.
// A folder whose mount cannot be found counts as local and is watched: a
// watch that never fires costs nothing, and the timer polls in any case.
bool watchesLocally(const QString& folder) {
  if (folders::fileSystemKind(folder) == folders::FileSystemKind::Unknown)
    qCInfo(lcPlan, "The file system of %s cannot be named; it counts as local and is watched",
           qUtf8Printable(QDir::toNativeSeparators(folder)));
  return folders::isLocalFileSystem(folder);
}

}  // namespace

// The watch adds to the timer poll; it never replaces it and never moves the
// countdown, which always counts to the next UpdateTimer poll.
void TForm1::WatchPlanFile() {
  if (!PlanWatcher->files().isEmpty()) PlanWatcher->removePaths(PlanWatcher->files());
  if (!PlanWatcher->directories().isEmpty()) PlanWatcher->removePaths(PlanWatcher->directories());
  disconnect(PlanWatcher, nullptr, this, nullptr);
  const QString folder = Settings.Datenpfad.isEmpty() ? QDir::currentPath() : Settings.Datenpfad;
  if (!watchesLocally(folder) || !QFileInfo(folder).isDir()) return;
  // The folder is watched too: an export that writes a new file and renames
  // it over the old one replaces the file the watch was on. Only a change of
  // the plan file itself counts; other files in the folder are no news.
  const QString file = QDir(folder).filePath(QStringLiteral("Zova-Internet.mdb"));
  PlanWatcher->addPath(folder);
  auto lastSeen = std::make_shared<PlanFileStamp>(PlanFileStamp::of(file));
  if (lastSeen->exists) PlanWatcher->addPath(file);
  auto changed = [this, file, lastSeen] {
    const PlanFileStamp now = PlanFileStamp::of(file);
    // A file renamed into place is not the one the watch was on: the new one
    // is watched at every event, also when its stamp looks unchanged, so an
    // in-place export after it is seen too.
    if (now.exists && !PlanWatcher->files().contains(file)) PlanWatcher->addPath(file);
    if (now == *lastSeen) return;
    *lastSeen = now;
    RequestPoll(kPollByWatch);
  };
  connect(PlanWatcher, &QFileSystemWatcher::fileChanged, this, changed);
  connect(PlanWatcher, &QFileSystemWatcher::directoryChanged, this, changed);
}
