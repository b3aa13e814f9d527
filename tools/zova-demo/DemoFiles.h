// Writing the demo: the two databases into a data folder and, on request, a
// first settings file that points the monitor at them.
#pragma once

#include "platform/DateTime.h"

#include <QString>
#include <stdexcept>

namespace demo {

class DemoError : public std::runtime_error {
 public:
  explicit DemoError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

constexpr char kPlanFileName[] = "Zova-Internet.mdb";
constexpr char kNotificationFileName[] = "Benachrichtigungen.mdb";

// The settings file below a config home: Kelvaro/Zova-Monitor/Zova-Monitor.ini.
QString settingsFilePath(const QString& configHome);

// Creates `dataDir` if needed (its parent must exist: a mistyped path is
// refused rather than created) and writes the plan database; the notification
// database too, unless `update` is set and it exists already (the monitor
// may have marked notifications as done since). Each file replaces its
// predecessor atomically. With a non-empty `configHome`, also writes the
// settings file there unless one exists. Throws DemoError with a one-line
// message on any failure.
void writeDemo(const QString& dataDir, const QString& configHome, bool update, TDateTime now);

}  // namespace demo
