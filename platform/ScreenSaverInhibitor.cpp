// Inhibiting the screen saver through D-Bus or the X11 screen-saver
// extension (see ScreenSaverInhibitor.h).
#include "platform/ScreenSaverInhibitor.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "platform/Logging.h"
#include "platform/X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");
constexpr int kBusTimeoutMs = 5000;

// A private connection name per inhibitor that uses another bus.
QString newConnectionName() {
  static QAtomicInteger<int> counter;
  return QStringLiteral("zova-screensaver-%1").arg(counter.fetchAndAddRelaxed(1));
}

}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject* parent) : ScreenSaverInhibitor(QString(), QString(), parent) {}

ScreenSaverInhibitor::ScreenSaverInhibitor(const QString& busAddress, const QString& x11Display, QObject* parent)
    : QObject(parent), m_x11Display(x11Display) {
  if (busAddress.isEmpty()) {
    m_busName = QDBusConnection::sessionBus().name();
  } else {
    m_busName = newConnectionName();
    QDBusConnection::connectToBus(busAddress, m_busName);
  }
  start();
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
  if (m_method == Method::DBus) {
    // Not waited for: a service also ends the inhibition when our
    // connection goes away at exit.
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
    call << m_cookie;
    QDBusConnection(m_busName).send(call);
  }
  releaseX11();
  if (m_busName != QDBusConnection::sessionBus().name()) QDBusConnection::disconnectFromBus(m_busName);
}

void ScreenSaverInhibitor::start() {
  QDBusConnection bus(m_busName);
  if (!bus.isConnected()) {
    qCInfo(lcScreen) << "No session bus:" << bus.lastError().message();
    useX11();
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
  call << QStringLiteral("Zova-Monitor") << QStringLiteral("Der Vertretungsplan wird angezeigt");
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kBusTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answer) {
    answer->deleteLater();
    const QDBusPendingReply<quint32> reply = *answer;
    if (reply.isError()) {
      qCInfo(lcScreen) << "No screen saver service on the session bus:" << reply.error().message();
      useX11();
      return;
    }
    m_cookie = reply.value();
    qCInfo(lcScreen) << "Screen saver inhibited through" << kService << "cookie" << m_cookie;
    settle(Method::DBus);
  });
}

void ScreenSaverInhibitor::useX11() {
  const QByteArray name = m_x11Display.toLocal8Bit();
  Display* display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
  if (!display) {
    qCInfo(lcScreen) << "No X display either; the screen saver stays as it is";
    settle(Method::NotInhibited);
    return;
  }
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) ||
      !XScreenSaverQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 1)) {
    qCInfo(lcScreen) << "The X server has no screen-saver extension 1.1; the screen saver stays as it is";
    XCloseDisplay(display);
    settle(Method::NotInhibited);
    return;
  }
  // Suspends both the screen saver and the DPMS timer; a screen that is
  // blank already comes back with the reset.
  XScreenSaverSuspend(display, True);
  XResetScreenSaver(display);
  XFlush(display);
  m_display = display;
  qCInfo(lcScreen) << "Screen saver and DPMS suspended on X display" << DisplayString(display);
  settle(Method::X11);
}

void ScreenSaverInhibitor::settle(Method method) {
  m_method = method;
  emit settled();
}

void ScreenSaverInhibitor::releaseX11() {
  if (!m_display) return;
  Display* display = m_display;
  m_display = nullptr;
  if (x11::connectionClosed(display)) return;  // the server lifted the suspension itself
  XScreenSaverSuspend(display, False);
  XCloseDisplay(display);
}
