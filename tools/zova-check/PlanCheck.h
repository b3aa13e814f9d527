// zova-check's diagnosis: the monitor's own start run in a check window,
// the first page it shows, and the facts that explain it, as one report.
//
// Every decision is the monitor's code: ReadSettings, the local copy's first
// attempt, GetDaten with BuildDBox, BuildTagesliste with CheckAnzList,
// Datenanzeigen with Showdaten, InitNotifications and the notification
// check. The check window creates no settings folder, never writes the
// settings, starts no poll and shows no message box (their texts are
// recorded and reported).
#pragma once

#include <QJsonObject>
#include <QString>

#include "CheckOptions.h"

// A check that cannot give its report: a day or page the plan does not have
// (a usage error), or a picture that cannot be written (a failure).
struct CheckProblem {
  bool usage = false;
  QString file;     // the file concerned, for a failure
  QString message;  // one line
};

struct CheckResult {
  QJsonObject report;
  int status = 1;  // 0 the monitor shows a plan, 1 it shows a state text
};

// Runs the check. Preconditions: a QApplication exists, DM has been created
// and no other main window exists; XDG_CONFIG_HOME names the settings folder
// to check. Sets the clock to options.at when given. Throws CheckProblem.
CheckResult runCheck(const CheckOptions& options);
