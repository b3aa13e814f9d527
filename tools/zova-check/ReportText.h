// zova-check's report as plain English text for a terminal: the same facts
// as the JSON form, section by section.
#pragma once

#include <QJsonObject>
#include <QString>

// The text of a report made by runCheck.
QString reportText(const QJsonObject& report);
