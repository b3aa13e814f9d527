// Header colours and the blinking change label, the date check, and the
// one-second countdown to the next poll with its pending relayout.
#include <cmath>

#include "app/TForm1.h"
#include "plan/DataModule.h"
#include "plan/PlanState.h"
#include "platform/TimerInterval.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

QColor TForm1::Headerfarbe(int position) {
  switch (position) {
    case 0: return QColor(58, 110, 165);
    case 1: return QColor(0, 128, 128);
    case 2: return QColor(196, 78, 38);
    case 3: return QColor(125, 104, 81);
    default: return QColor(99, 102, 118);
  }
}

void TForm1::LabelBlinking(bool on) {
  // Only the weight is the label's own: face and size follow its header
  // line when + and - or the settings change them.
  QFont font;
  font.setBold(on);
  Label6->setFont(font);
  QPalette pal = Label6->palette();
  // On the red header colour the blinking label turns black instead of red.
  const QColor onColour = HeaderColor.red() <= 150 ? QColor(255, 0, 0) : QColor(Qt::black);
  pal.setColor(QPalette::WindowText, on ? onColour : QColor(Qt::white));
  Label6->setPalette(pal);
}

void TForm1::BlinktimerTimer() {
  if (!BlinkActive) {
    LabelBlinking(false);
    return;
  }
  if (Plan.AktuellerTag) BlinkActive = zdt::now() - Plan.AktuellerTag->DruckZeit < 0.1;
  BlinkPhase = (BlinkPhase + 1) % 2;
  LabelBlinking(BlinkPhase == 1);
}

void TForm1::Timer1Timer() {
  if (!Settings.AutoScroll) return;
  if (zdt::today() == LastDate) return;
  LastDate = zdt::today();
  BuildTagesliste();
  Datenanzeigen();
}

void TForm1::updatechecktimerTimer() {
  const int interval = UpdateIntervall / 1000;
  // Elapsed seconds, rounded half to even.
  long long elapsed = std::llrint((zdt::now() - LetztesUpdate) * 24 * 3600);
  if (elapsed < 0 || elapsed > interval) elapsed = 0;
  const long long remaining = interval - elapsed;
  QString countdown = remaining <= 60 ? QStringLiteral(" next update check: %1 s").arg(remaining)
                                      : QStringLiteral(" next update check: %1 min").arg((remaining + 30) / 60);
  // While the last complete export stands in for a plan file that does not
  // answer, the panel says since when; nothing else on the page changes.
  if (const TDateTime since = DM->PlanCopy.outageSince(); since != 0)
    countdown += QStringLiteral(" – keine Verbindung seit ") + zdt::toTime(since).toString(QStringLiteral("hh:mm"));
  StatusPanels[2]->setText(countdown);
  if (Plan.NeuAufbau) {
    Showdaten();
    Plan.NeuAufbau = false;
  }
}

void TForm1::ApplyTimerIntervals() {
  ScrollTimer->setInterval(timerInterval(qint64{Settings.ScrollTime} * 1000, 1000));
  UpdateIntervall = timerInterval(qint64{Settings.Refreshinterval} * 60000, 60000);
  UpdateTimer->setInterval(UpdateIntervall);
}
