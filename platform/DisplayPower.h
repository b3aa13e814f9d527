// Switching the screen itself off and on, for the hours a wall screen is
// not needed.
//
// On X11 this is the DPMS extension: DPMSForceLevel(off) puts the monitor
// into power saving at once, and any key or pointer move makes the X server
// switch it on again (the caller decides whether to switch it off anew).
// The idle time since the last key or pointer move comes from the
// screen-saver extension. Where there is no X display, or the server has no
// DPMS (virtual displays, some remote sessions), available() is false and
// nothing is switched; reason() says why.
//
// Ending leaves a screen that was switched off as it is.
//
// Every call is a short round trip to the local X server; none waits for
// anything else.
#pragma once

#include <QString>
#include <memory>

class DisplayPower {
 public:
  enum class State { On, Off, Unknown };

  virtual ~DisplayPower() = default;
  virtual bool available() const = 0;
  // Why the screen cannot be switched (empty when it can).
  virtual QString reason() const = 0;
  // What the screen's power state is now.
  virtual State state() = 0;
  // Forces the screen off or on; false when that failed.
  virtual bool switchOff() = 0;
  virtual bool switchOn() = 0;
  // Milliseconds since the last key press or pointer move; -1 when unknown.
  virtual qint64 idleMs() = 0;
};

// The screen of X display `display` (empty: $DISPLAY).
std::unique_ptr<DisplayPower> x11DisplayPower(const QString& display = QString());
