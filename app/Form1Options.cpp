// The settings dialog, opened with F10, and applying what it changed to the
// running monitor.
#include <memory>

#include "app/SettingsAndNotifications.h"
#include "app/TForm1.h"
#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "settings/TMyEinstDlg.h"

// Nothing is applied when the dialog was closed without OK or OK changed
// nothing but KarenzZeit (which the dialog has already put into effect).
// The main window's timers keep running while the dialog is open.
void TForm1::Optionen1Click() {
  bool ok = false;
  bool pfadeChanged = false;
  bool vollbildChanged = false;
  bool changed = false;
  {
    const auto dialog = std::make_unique<TMyEinstDlg>(this);
    InitNotificationsOnOk(*dialog);
    ok = dialog->exec() == QDialog::Accepted;
    pfadeChanged = dialog->PfadeChanged;
    vollbildChanged = dialog->VollbildChanged;
    changed = dialog->VollbildChanged || dialog->PfadeChanged || dialog->SettingsChanged;
  }
  if (!ok || !changed) return;

  WriteSettings();
  if (vollbildChanged) FullScreen(Settings.Vollbild);
  applyPanelVisibility();
  if (Settings.AutoScroll)
    Plan.AktuellerTyp = Settings.InfoTyp;
  else
    Plan.AktuellerTyp = RadioButton3->isChecked() ? 0 : 1;
  ApplyPageFont();
  // A full poll interval runs from now.
  UpdateTimer->stop();
  ApplyTimerIntervals();
  LetztesUpdate = zdt::now();
  UpdateTimer->start();
  CheckHeaderPanels();
  SetPanelText();
  GetDaten();
  // The file watch follows the plan folder.
  if (pfadeChanged) WatchPlanFile();
  BuildTagesliste();
  Datenanzeigen();
}
