// The days part of zova-check's report: the plan days of both audiences as
// the monitor loaded them, why a load stopped, the day list of automatic
// mode with the evening cut-off of today, and each day's rows and pages.
#pragma once

#include <QJsonArray>
#include <QJsonObject>

class TForm1;

// Both audiences' days as the monitor's start loaded them, each with the
// error that stopped its load (the monitor's GetDaten statements run once
// more on the same copy). Precondition: the check window has been created.
QJsonArray audienceDays();

// Tagesliste as the start built it, and whether today was dropped from it.
// Precondition: the check window has been created, and nothing has paged.
QJsonObject tageslisteReport();

// Why BuildDBox chose the day `datum`: "today", "later" (the first day after
// today) or "latest" (no day today or later).
QString choiceOf(double datum);

// How many of an audience's latest days measureDays lays out. Each costs one
// query of the day's rows; plans hold days to weeks, seldom more.
constexpr int kDaysLaidOut = 62;

// Shows the latest kDaysLaidOut days of each audience in `audiences` on
// `form`, as automatic paging shows a day, and adds each one's rows and page
// count at the window's present size (null for a day not laid out or whose
// rows cannot be read). Changes the page on `form`; nothing else.
void measureDays(TForm1& form, QJsonArray& audiences);
