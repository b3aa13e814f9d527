// The notifications part of zova-check's report: off, or what the monitor's
// start-up test and check of the notification database found.
#pragma once

#include <QJsonObject>
#include <QStringList>

class TForm1;

// Reports the notification feature as the check window's start left it.
// `shownMessages` are the message texts recorded since the window was
// created. Writes nothing and shows nothing.
QJsonObject notificationsReport(const TForm1& form, const QStringList& shownMessages);
