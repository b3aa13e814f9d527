// zova-demo: writes a demo plan and demo notifications for the monitor.
//
//   zova-demo [--update] [--config-home DIR] DATA_DIR
//   zova-demo --help | --version
//
// Writes Zova-Internet.mdb and Benachrichtigungen.mdb into DATA_DIR (created
// if needed; its parent folder must exist), dated relative to today.
// --update re-exports the plan as the plan-producing program would after a
// change: today's days get a new print time and a few changed rows, the
// other days stay as they were. --config-home DIR also writes a first
// Zova-Monitor.ini below DIR that points the monitor at DATA_DIR. Exit status
// 0 on success, 1 on failure (one line on stderr), 2 on a usage error.
#include "DemoFiles.h"

#include <QCoreApplication>
#include <QStringList>

#include "platform/CommandLine.h"

namespace {

const cli::Program kProgram{
    "zova-demo", "zova-demo [--update] [--config-home DIR] DATA_DIR\nzova-demo --help | --version\n",
    "Writes a demo plan (Zova-Internet.mdb) and demo notifications (Benachrichtigungen.mdb),\n"
    "dated relative to today, into DATA_DIR. Its parent folder must exist.\n"
    "  --update           re-export today's plan with a new print time and a few changed rows\n"
    "  --config-home DIR  also write DIR/Kelvaro/Zova-Monitor/Zova-Monitor.ini pointing at\n"
    "                     DATA_DIR (an existing one is kept)\n"
    "Exit status: 0 done, 1 failure (one line on standard error), 2 wrong arguments.\n"
    "See zova-demo(1).\n"};

}  // namespace

int main(int argc, char** argv) {
  const QStringList arguments = cli::arguments(argc, argv);
  if (const auto status = cli::answerHelpOrVersion(kProgram, arguments)) return *status;
  bool update = false;
  QString configHome;
  QString dataDir;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--update") {
      update = true;
    } else if (argument == "--config-home") {
      if (++i >= arguments.size()) return cli::usageError(kProgram, QStringLiteral("--config-home needs a folder"));
      configHome = arguments[i];
    } else if (argument.startsWith("-")) {
      return cli::usageError(kProgram, QStringLiteral("unknown option ") + argument);
    } else if (dataDir.isEmpty()) {
      dataDir = argument;
    } else {
      return cli::usageError(kProgram, QStringLiteral("only one DATA_DIR"));
    }
  }
  if (dataDir.isEmpty()) return cli::usageError(kProgram, QStringLiteral("DATA_DIR missing"));
  QCoreApplication app(argc, argv);
  try {
    demo::writeDemo(dataDir, configHome, update, zdt::now());
  } catch (const demo::DemoError& error) {
    return cli::failure(kProgram, QString(), QString::fromStdString(error.what()));
  }
  return cli::kSuccess;
}
