// What a monitor on a wall needs beside its page, looked after once a
// second: the status file that tells zova-check what the screen shows now,
// the screen's hours ([Kiosk] An, Aus, Tage), and a restart when a package
// upgrade has replaced the program file.
//
// Only the monitor program creates these services; a check window never does.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

#include "app/SleepHours.h"
#include "platform/DisplayPower.h"
#include "platform/FileIdentity.h"
#include "platform/RuntimeStatus.h"

class TForm1;

class WallServices : public QObject {
  Q_OBJECT
 public:
  // Outside kiosk mode a screen that a key or the pointer woke at night
  // stays on until there has been no input for this long.
  static constexpr qint64 kWakeMs = 5 * 60 * 1000;
  // A replaced program file must stand unchanged this long before the
  // restart (an upgrade replaces the program's files one after the other).
  static constexpr qint64 kSettleMs = 5000;
  // In automatic mode the restart comes when the page shown has had its
  // time, at most this long before the next page would show.
  static constexpr int kPageEndMs = 1500;

  // Starts looking after `form` at once. `power` switches the screen.
  // A screen switched off for the night stays off when they end (a key
  // wakes it, or the next monitor at its hours).
  WallServices(TForm1& form, std::unique_ptr<DisplayPower> power, QObject* parent = nullptr);

  // One look: the screen's hours, the program file, the status file.
  void tick();

  // What the status file says now.
  QJsonObject status() const;
  QString statusFile() const { return m_status.file(); }

  // The hours were valid and the moment lies outside them.
  bool screenSwitchedOff() const { return m_screenOff; }
  // The program file was replaced and a quiet moment came: the window has
  // been closed, and the program should start anew (main does).
  bool restartRequested() const { return m_restart; }
  // The program file the restart starts.
  QString programFile() const { return m_programFile; }

 private:
  void checkScreenHours();
  void checkProgramFile();
  bool quietMoment() const;

  TForm1& m_form;
  std::unique_ptr<DisplayPower> m_power;
  QTimer m_timer;
  QDateTime m_started;
  std::optional<SleepHours> m_hours;
  QString m_hoursProblem;
  bool m_screenOff = false;
  QDateTime m_lastPollAt;
  QString m_adoptedCopy;
  QDateTime m_takenAt;
  QString m_programFile;
  FileIdentity m_runningImage;
  FileIdentity m_replacement;    // the program file last seen, when it is another one
  qint64 m_replacementSeenMs = 0;
  bool m_replaced = false;
  bool m_restart = false;
  int m_ticks = 0;
  bool m_statusFailed = false;  // reported once
  runtimestatus::Writer m_status;
};
