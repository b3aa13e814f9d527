// The command line of zova-check: which settings folder, which moment, which
// output form, and which page to render as a picture.
//
//   zova-check [--config-home DIR] [--at "YYYY-MM-DD HH:MM"] [--json]
//              [--png FILE [--size WxH] [--audience 0|1] [--day YYYY-MM-DD] [--page N]]
#pragma once

#include <QDate>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/DateTime.h"

// The largest window side the check lays out and draws, in pixels.
constexpr int kLargestWindow = 10000;

struct CheckOptions {
  QString configHome;                 // the folder XDG_CONFIG_HOME would name; empty: the environment's
  std::optional<TDateTime> at;        // the moment to stand at; none: now
  bool json = false;                  // JSON instead of plain text
  QString png;                        // the picture file to write; empty: none
  std::optional<QSize> size;          // the window size of the picture; none: Width x Height of the settings
  std::optional<int> audience;        // 0 pupils, 1 teachers; none: the audience the monitor shows
  std::optional<QDate> day;           // the plan day of the picture; none: the day the monitor shows
  std::optional<int> page;            // the page of that day, from 1; none: 1
                                      // (or the running monitor's page, see runCheck)
};

// The options in `arguments` (without the program name). Returns nothing and
// sets `problem` to one line saying what is wrong when the command line is
// not one of the forms above; --help and --version are answered before.
std::optional<CheckOptions> parseCheckOptions(const QStringList& arguments, QString* problem);
