// Program entry of the monitor: the command line, the one-monitor-per-
// settings-folder lock, keeping the screen on, then application title, the
// data module, the main window and the message loop until the window closes.
#include <QApplication>
#include <QFileInfo>

#include "app/TForm1.h"
#include "db/worker/WorkerClient.h"
#include "notifications/Background.h"
#include "plan/DataModule.h"
#include "platform/CommandLine.h"
#include "platform/InstanceLock.h"
#include "platform/Logging.h"
#include "platform/ScreenSaverInhibitor.h"
#include "platform/TerminationSignals.h"
#include "settings/SettingsFile.h"

namespace {

const cli::Program kProgram{
    "zova-monitor", "zova-monitor [--kiosk]\nzova-monitor --help | --version\n",
    "Shows the substitution plan from Zova-Internet.mdb in the folder Datenpfad of the\n"
    "settings file $XDG_CONFIG_HOME/Kelvaro/Zova-Monitor/Zova-Monitor.ini (~/.config when\n"
    "XDG_CONFIG_HOME is unset). One monitor runs per settings folder.\n"
    "--kiosk: kiosk mode for this run ([Kiosk] Aktiv=1): no key or click changes anything.\n"
    "QT_LOGGING_RULES=\"zova.*=true\" writes what it reads and why it fails to standard error.\n"
    "See zova-monitor(1).\n"};

// Says which database worker the monitor will start, or that it is missing:
// without it the page shows "Keine Verbindung zur Datenbank!".
void reportWorker() {
  const QString worker = db::worker::workerProgram();
  if (QFileInfo(worker).isExecutable())
    qCInfo(lcDb) << "Database worker:" << worker;
  else
    qCInfo(lcDb) << "Database worker" << worker << "is missing or not executable; no plan can be read";
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is answered before a display is opened.
  QStringList arguments = cli::arguments(argc, argv);
  if (const auto status = cli::answerHelpOrVersion(kProgram, arguments)) return *status;
  KioskForThisRun = arguments.removeAll(QStringLiteral("--kiosk")) > 0;
  if (!arguments.isEmpty()) return cli::usageError(kProgram, QStringLiteral("unknown argument ") + arguments.first());

  // Two monitors on one settings folder would overwrite each other's
  // settings; the second one ends here, having written nothing.
  SetupSettingsFolders();
  const InstanceLock lock(Einstellungspfad);
  if (lock.state() == InstanceLock::State::HeldByOther)
    return cli::failure(kProgram, Einstellungspfad + QStringLiteral("Zova-Monitor.ini"),
                        QStringLiteral("another monitor is already running with this settings file"));
  if (lock.state() == InstanceLock::State::Unavailable)
    qCInfo(lcSettings) << "No lock on" << lock.filePath() << "(" << lock.reason() << "); running without one";

  QApplication app(argc, argv);
  // The application's name is the title of its message boxes. No display
  // name is set: the window system would append it to the window caption.
  QApplication::setApplicationName(QStringLiteral("Zova-Monitor"));
  reportWorker();
  // A stop by the session or by systemd closes the windows as a user does
  // (the main window writes its settings); one that comes during the start
  // is served when the event loop runs.
  const TerminationSignals stop([] {
    for (QWidget* window : QApplication::topLevelWidgets()) window->close();
    QApplication::quit();
  });
  const ScreenSaverInhibitor screenSaver;
  DM = std::make_unique<TDM>();  // both connections closed
  int result = 0;
  {
    TForm1 form;  // runs FormCreate
    form.show();
    result = QApplication::exec();
  }
  // A notification job still waiting for a share that hangs keeps the data
  // module; the program ends without its result.
  if (notifications::stopBackground(2000)) {
    DM.reset();
  } else {
    qCWarning(lcNotifications) << "A notification operation still waits for its file; ending without it";
    (void)DM.release();
  }
  return result;
}
