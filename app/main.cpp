// Program entry of the monitor: the command line, the one-monitor-per-
// settings-folder lock, keeping the screen on, then application title, the
// data module, the main window and the message loop until the window closes;
// after an upgrade, the new program file in place of this one.
#include <QApplication>
#include <QFileInfo>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/TForm1.h"
#include "app/WallServices.h"
#include "db/worker/WorkerClient.h"
#include "notifications/Background.h"
#include "plan/DataModule.h"
#include "platform/CommandLine.h"
#include "platform/DisplayPower.h"
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
    "It logs to standard error (under systemd: the journal); QT_LOGGING_RULES=\"zova.*=true\"\n"
    "adds every category.\n"
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

// How a run of the monitor ended.
struct RunEnd {
  int status = 0;
  QString restartWith;  // the program file to start anew, after an upgrade
};

RunEnd runMonitor(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  // The command line as given, for a restart: QApplication takes its own
  // options out of argv.
  std::vector<std::string> given(argv, argv + argc);
  const RunEnd end = runMonitor(argc, argv);
  if (end.restartWith.isEmpty()) return end.status;
  // Everything is closed by now (settings written, lock and display
  // connections gone); the new program takes this process, so a unit or a
  // session that started it sees no end.
  std::vector<char*> arguments;
  for (std::string& argument : given) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  const QByteArray program = end.restartWith.toLocal8Bit();
  ::execv(program.constData(), arguments.data());
  qCWarning(lcPlan).noquote() << "The new program file" << end.restartWith << "cannot be started; the monitor ends";
  // Not 1 or 2, which the unit takes for "do not retry": it starts the
  // program anew.
  return 3;
}

namespace {

RunEnd runMonitor(int argc, char** argv) {
  // The command line is answered before a display is opened.
  QStringList arguments = cli::arguments(argc, argv);
  if (const auto status = cli::answerHelpOrVersion(kProgram, arguments)) return {*status, {}};
  KioskForThisRun = arguments.removeAll(QStringLiteral("--kiosk")) > 0;
  if (!arguments.isEmpty()) return {cli::usageError(kProgram, QStringLiteral("unknown argument ") + arguments.first()), {}};
  setUpMonitorLogging();

  // Two monitors on one settings folder would overwrite each other's
  // settings; the second one ends here, having written nothing.
  SetupSettingsFolders();
  const InstanceLock lock(Einstellungspfad);
  if (lock.state() == InstanceLock::State::HeldByOther)
    return {cli::failure(kProgram, Einstellungspfad + QStringLiteral("Zova-Monitor.ini"),
                        QStringLiteral("another monitor is already running with this settings file")), {}};
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
  RunEnd end;
  {
    TForm1 form;  // runs FormCreate
    const WallServices wall(form, x11DisplayPower());
    form.show();
    end.status = QApplication::exec();
    if (wall.restartRequested()) end.restartWith = wall.programFile();
  }
  // A notification job still waiting for a share that hangs keeps the data
  // module; the program ends without its result.
  if (notifications::stopBackground(2000)) {
    DM.reset();
  } else {
    qCWarning(lcNotifications) << "A notification operation still waits for its file; ending without it";
    (void)DM.release();
  }
  return end;
}

}  // namespace
