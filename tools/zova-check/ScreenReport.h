// What the check window shows, read back from its controls: the header
// lines, the lists, the notice, the substitution table with its paging, or
// the state text in the first header line.
#pragma once

#include <QJsonObject>

class TForm1;

// The page on `form` as it stands. Precondition: the first activation has
// laid the page out (or blanked it).
QJsonObject screenReport(const TForm1& form);

// The name of an audience as its button reads ("Schülerinformation" for 0,
// "Lehrerinformation" otherwise).
QString audienceName(int infoTyp);

// A plan day as "YYYY-MM-DD", a moment as "YYYY-MM-DD HH:MM".
QString dayText(double datum);
QString momentText(double moment);
