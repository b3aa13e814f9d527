// How reports of the screen (zova-check, the running monitor's status file)
// name an audience, a plan day and a moment.
#pragma once

#include <QString>

// The name of an audience as its button reads ("Schülerinformation" for 0,
// "Lehrerinformation" otherwise).
QString audienceName(int infoTyp);

// A plan day as "YYYY-MM-DD", a moment as "YYYY-MM-DD HH:MM" (with
// seconds: "YYYY-MM-DD HH:MM:SS").
QString dayText(double datum);
QString momentText(double moment);
QString momentTextWithSeconds(double moment);
