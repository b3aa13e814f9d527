// The settings part of zova-check's report: which settings file the monitor
// read, every key with the value the monitor holds, which keys took their
// default, which values the settings dialog would not offer, and where
// Datenpfad came from.
#pragma once

#include <QJsonObject>
#include <QStringList>

// Reports the settings as the monitor read them. Precondition: the check
// window has been created (ReadSettings ran); `shownMessages` are the
// message texts recorded since then. Reads the settings file and, when the
// monitor consulted it, "Zova.ini" once more; writes nothing.
QJsonObject settingsReport(const QStringList& shownMessages);
