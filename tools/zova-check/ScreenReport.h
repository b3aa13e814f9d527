// What the check window shows, read back from its controls: the header
// lines, the lists, the notice, the substitution table with its paging, or
// the state text in the first header line.
#pragma once

#include <QJsonObject>

#include "app/ReportTexts.h"

class TForm1;

// The page on `form` as it stands. Precondition: the first activation has
// laid the page out (or blanked it).
QJsonObject screenReport(const TForm1& form);
