// The notifications part of zova-check's report: off, broken (the start-up
// test failed, with the message the monitor would show and the reason), or
// on with what the monitor's check finds: the notifications of today and
// later, the due count, the next check's interval, the telephone button's
// picture and the clock warning.
#pragma once

#include <QJsonObject>
#include <QStringList>

class TForm1;

// Reports the notification feature as the check window's start left it,
// and runs the monitor's check (LoadFromDB, CountDue) once more for its
// figures. `shownMessages` are the message texts recorded since the window
// was created. Reads the notification database; writes nothing and shows
// nothing.
QJsonObject notificationsReport(const TForm1& form, const QStringList& shownMessages);
