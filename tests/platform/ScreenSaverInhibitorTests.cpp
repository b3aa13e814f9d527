// Keeping the screen on: through the ScreenSaver service on a private
// session bus, through the X11 screen-saver extension on a private virtual
// X server when the bus has no such service, and nothing (without failing)
// where neither exists. A private bus or X server that cannot be started
// here skips its tests (and fails them under CI=true).
#include "platform/ScreenSaverInhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <memory>

#include "tests/support/MissingTool.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace {

bool runUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A helper process that prints its address (bus) or display number (X
// server) as its first line and runs until the test ends.
class Helper {
 public:
  bool start(const QString& program, const QStringList& arguments) {
    if (QStandardPaths::findExecutable(program).isEmpty()) return false;
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000)) return false;
    runUntil([this] { return m_process.canReadLine() || m_process.state() != QProcess::Running; }, 10000);
    m_firstLine = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_firstLine.isEmpty();
  }
  ~Helper() {
    m_process.kill();
    m_process.waitForFinished(2000);
  }
  QString firstLine() const { return m_firstLine; }

 private:
  QProcess m_process;
  QString m_firstLine;
};

// What a desktop's screen saver service does with our calls.
class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
 public:
  QString application;
  QString reason;
  QList<uint> released;

 public slots:
  uint Inhibit(const QString& applicationName, const QString& reasonForInhibit) {
    application = applicationName;
    reason = reasonForInhibit;
    return 4711;
  }
  void UnInhibit(uint cookie) { released << cookie; }
};

class ScreenSaverBus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"}))
      ZOVA_MISSING_TOOL("dbus-daemon, for a private session bus");
  }
  // Offers the fake service on the private bus.
  void offerService() {
    QDBusConnection service = QDBusConnection::connectToBus(m_bus.firstLine(), "fake-screensaver");
    ASSERT_TRUE(service.isConnected());
    ASSERT_TRUE(service.registerObject("/org/freedesktop/ScreenSaver", &m_service, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));
  }
  void TearDown() override { QDBusConnection::disconnectFromBus("fake-screensaver"); }

  Helper m_bus;
  FakeScreenSaver m_service;
};

// The X server's screen-saver state: ScreenSaverOn once its timer fired.
int screenSaverState(Display* display) {
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  XScreenSaverQueryInfo(display, DefaultRootWindow(display), info);
  const int state = info->state;
  XFree(info);
  return state;
}

bool saverComesOn(Display* display, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    if (screenSaverState(display) == ScreenSaverOn) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  }
  return false;
}

}  // namespace

TEST_F(ScreenSaverBus, WithTheService_InhibitsThroughTheBusAndReleasesAtTheEnd) {
  offerService();
  auto inhibitor = std::make_unique<ScreenSaverInhibitor>(m_bus.firstLine(), ":9999");
  ASSERT_TRUE(runUntil([&] { return inhibitor->method() != ScreenSaverInhibitor::Method::Pending; }, 10000));
  EXPECT_EQ(inhibitor->method(), ScreenSaverInhibitor::Method::DBus);
  EXPECT_EQ(m_service.application, "Zova-Monitor");
  EXPECT_FALSE(m_service.reason.isEmpty());
  EXPECT_TRUE(m_service.released.isEmpty());
  inhibitor.reset();
  EXPECT_TRUE(runUntil([&] { return !m_service.released.isEmpty(); }, 10000));
  EXPECT_EQ(m_service.released, QList<uint>{4711});
}

TEST_F(ScreenSaverBus, WithoutServiceOrDisplay_CarriesOnWithNothing) {
  ScreenSaverInhibitor inhibitor(m_bus.firstLine(), ":9999");
  EXPECT_TRUE(runUntil([&] { return inhibitor.method() != ScreenSaverInhibitor::Method::Pending; }, 10000));
  EXPECT_EQ(inhibitor.method(), ScreenSaverInhibitor::Method::NotInhibited);
}

TEST(ScreenSaverNoBus, UnreachableBusAndNoDisplay_CarriesOnWithNothing) {
  ScreenSaverInhibitor inhibitor("unix:path=/nonexistent/zova-bus", ":9999");
  EXPECT_EQ(inhibitor.method(), ScreenSaverInhibitor::Method::NotInhibited);
}

TEST_F(ScreenSaverBus, WithoutServiceOnX11_SuspendsTheServersScreenSaverUntilTheEnd) {
  Helper xserver;
  if (!xserver.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "64x64x24"}))
    ZOVA_MISSING_TOOL("Xvfb, for a private X server");
  const QString name = ":" + xserver.firstLine();
  Display* display = XOpenDisplay(name.toLocal8Bit().constData());
  ASSERT_NE(display, nullptr);
  XSetScreenSaver(display, 1, 0, DontPreferBlanking, AllowExposures);  // on after 1 s idle
  XResetScreenSaver(display);
  XSync(display, False);
  // On a heavily loaded machine the virtual server's own saver may not come
  // on in time; without it there is nothing to hold back.
  if (!saverComesOn(display, 5000)) {
    XCloseDisplay(display);
    GTEST_SKIP() << "the virtual X server did not start its screen saver within 5 s";
  }

  auto inhibitor = std::make_unique<ScreenSaverInhibitor>(m_bus.firstLine(), name);
  ASSERT_TRUE(runUntil([&] { return inhibitor->method() != ScreenSaverInhibitor::Method::Pending; }, 10000));
  EXPECT_EQ(inhibitor->method(), ScreenSaverInhibitor::Method::X11);
  EXPECT_NE(screenSaverState(display), ScreenSaverOn) << "a running saver is switched off at start";
  EXPECT_FALSE(saverComesOn(display, 3000));

  inhibitor.reset();
  EXPECT_TRUE(saverComesOn(display, 5000)) << "the saver works again after the monitor ends";
  XCloseDisplay(display);
}

#include "ScreenSaverInhibitorTests.moc"
