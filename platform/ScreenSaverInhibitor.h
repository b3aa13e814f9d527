// Keeps the screen from blanking or locking while the monitor runs.
//
// First choice is the desktop's freedesktop ScreenSaver service on the
// session bus (org.freedesktop.ScreenSaver.Inhibit); the desktop then holds
// back its screen saver, its lock and its power saving until UnInhibit or
// until the monitor's bus connection ends. Where the bus has no such service
// (a bare X session, a kiosk with a plain window manager) the X server's own
// screen saver and DPMS timers are suspended through the X11 screen-saver
// extension; the server lifts the suspension when the monitor's connection
// closes, also after a crash. Where neither exists (no session bus, no X
// server) the monitor carries on without inhibiting, silently.
//
// Nothing here waits: the bus call is answered in the event loop.
#pragma once

#include <QObject>
#include <QString>

struct _XDisplay;

class ScreenSaverInhibitor : public QObject {
  Q_OBJECT
 public:
  enum class Method {
    Pending,  // the bus has not answered yet
    DBus,     // the ScreenSaver service holds an inhibition for us
    X11,      // the X server's screen saver is suspended for us
    NotInhibited  // nothing could be inhibited
  };

  // Inhibits at once on the session bus and, failing that, on $DISPLAY.
  explicit ScreenSaverInhibitor(QObject* parent = nullptr);

  // The same on another bus (its address; empty: the session bus) and X
  // display (empty: $DISPLAY).
  ScreenSaverInhibitor(const QString& busAddress, const QString& x11Display, QObject* parent = nullptr);

  // Ends the inhibition.
  ~ScreenSaverInhibitor() override;

  Method method() const { return m_method; }

 signals:
  // The inhibition is settled (method() is no longer Pending).
  void settled();

 private:
  void start();
  void useX11();
  void settle(Method method);
  void releaseX11();

  QString m_busName;  // our QDBusConnection's name
  QString m_x11Display;
  Method m_method = Method::Pending;
  quint32 m_cookie = 0;
  _XDisplay* m_display = nullptr;
};
