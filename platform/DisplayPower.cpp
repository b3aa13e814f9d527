// The screen's power through the X11 DPMS extension (see DisplayPower.h).
#include "platform/DisplayPower.h"

#include "platform/X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

namespace {

// X protocol errors of our requests are counted instead of ending the
// process, as Xlib's default handler would. Only our own connection uses
// Xlib; Qt talks to the server through xcb.
int protocolErrors = 0;
int countError(Display*, XErrorEvent*) {
  ++protocolErrors;
  return 0;
}

class X11DisplayPower final : public DisplayPower {
 public:
  explicit X11DisplayPower(const QString& name) {
    const QByteArray display = name.toLocal8Bit();
    m_display = XOpenDisplay(display.isEmpty() ? nullptr : display.constData());
    if (!m_display) {
      m_reason = QStringLiteral("no X display");
      return;
    }
    int eventBase = 0, errorBase = 0;
    if (!DPMSQueryExtension(m_display, &eventBase, &errorBase) || !DPMSCapable(m_display)) {
      m_reason = QStringLiteral("the X server %1 has no DPMS extension").arg(QString::fromLocal8Bit(DisplayString(m_display)));
      return;
    }
    m_hasIdle = XScreenSaverQueryExtension(m_display, &eventBase, &errorBase);
  }

  ~X11DisplayPower() override {
    if (!m_display) return;
    // A screen switched off stays off (a monitor starting anew after an
    // upgrade at night must not light it up); a key or a pointer move
    // brings it back. One that is on gets DPMS back as it was.
    if (!connectionClosed() && available() && !m_switchedOff && m_enabledByUs)
      guarded([this] { DPMSDisable(m_display); });
    XCloseDisplay(m_display);
  }

  bool available() const override { return m_display && m_reason.isEmpty(); }
  QString reason() const override { return m_reason; }

  State state() override {
    if (!available() || connectionClosed()) return State::Unknown;
    CARD16 level = 0;
    BOOL enabled = False;
    if (!DPMSInfo(m_display, &level, &enabled)) return State::Unknown;
    // A disabled DPMS keeps the monitor on whatever level was forced last.
    return enabled && level != DPMSModeOn ? State::Off : State::On;
  }

  bool switchOff() override {
    if (!available() || connectionClosed()) return false;
    return guarded([this] {
      CARD16 level = 0;
      BOOL enabled = False;
      DPMSInfo(m_display, &level, &enabled);
      // Forcing a level needs DPMS enabled; it is disabled again once the
      // screen is back on, so the X server's own timers stay as they were.
      if (!enabled) {
        DPMSEnable(m_display);
        m_enabledByUs = true;
      }
      DPMSForceLevel(m_display, DPMSModeOff);
      m_switchedOff = true;
    });
  }

  bool switchOn() override {
    if (!available() || connectionClosed()) return false;
    return guarded([this] {
      DPMSForceLevel(m_display, DPMSModeOn);
      if (m_enabledByUs) {
        DPMSDisable(m_display);
        m_enabledByUs = false;
      }
      m_switchedOff = false;
    });
  }

  qint64 idleMs() override {
    if (!m_display || !m_hasIdle || connectionClosed()) return -1;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info) return -1;
    qint64 idle = -1;
    if (XScreenSaverQueryInfo(m_display, DefaultRootWindow(m_display), info)) idle = static_cast<qint64>(info->idle);
    XFree(info);
    return idle;
  }

 private:
  // Runs X requests and waits for the server to have handled them; false
  // when one of them failed.
  template <typename Requests>
  bool guarded(Requests requests) {
    const int before = protocolErrors;
    XErrorHandler previous = XSetErrorHandler(countError);
    requests();
    XSync(m_display, False);
    XSetErrorHandler(previous);
    return protocolErrors == before;
  }

  bool connectionClosed() const { return x11::connectionClosed(m_display); }

  Display* m_display = nullptr;
  QString m_reason;
  bool m_hasIdle = false;
  bool m_enabledByUs = false;
  bool m_switchedOff = false;
};

}  // namespace

std::unique_ptr<DisplayPower> x11DisplayPower(const QString& display) {
  return std::make_unique<X11DisplayPower>(display);
}
