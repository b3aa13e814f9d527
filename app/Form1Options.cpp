// The settings dialog, opened with F10, and applying what it changed to the
// running monitor.
#include <algorithm>
#include <climits>
#include <memory>

#include "app/TForm1.h"
#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "settings/TMyEinstDlg.h"

namespace {

// A timer interval of `count` units of `unitMs` milliseconds: at least one
// unit, at most what a QTimer can hold.
int timerInterval(qint64 count, qint64 unitMs) {
  return static_cast<int>(std::clamp<qint64>(count * unitMs, unitMs, INT_MAX));
}

}  // namespace

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
    ok = dialog->exec() == QDialog::Accepted;
    pfadeChanged = dialog->PfadeChanged;
    vollbildChanged = dialog->VollbildChanged;
    changed = dialog->VollbildChanged || dialog->PfadeChanged || dialog->SettingsChanged;
  }
  if (!ok || !changed) return;

  WriteSettings();
  if (vollbildChanged) FullScreen(Settings.Vollbild);
  // The plan area is laid out anew around the panels.
  Panel1->hide();
  Panel5->setVisible(Settings.ShowSteuerPanel);
  StatusBar1->setVisible(Settings.ShowStatusPanel);
  Panel1->show();
  if (Settings.AutoScroll)
    Plan.AktuellerTyp = Settings.InfoTyp;
  else
    Plan.AktuellerTyp = RadioButton3->isChecked() ? 0 : 1;
  QFont pageFont = Panel1->font();
  pageFont.setPointSize(Settings.Fontsize);
  Panel1->setFont(pageFont);
  ScrollTimer->setInterval(timerInterval(Settings.ScrollTime, 1000));
  // A full poll interval runs from now.
  UpdateIntervall = timerInterval(Settings.Refreshinterval, 60000);
  UpdateTimer->stop();
  UpdateTimer->setInterval(UpdateIntervall);
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
