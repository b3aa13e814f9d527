// zova-demo: writes a demo plan and demo notifications for the monitor.
//
//   zova-demo [--update] [--config-home DIR] DATA_DIR
//
// Writes Zova-Internet.mdb and Benachrichtigungen.mdb into DATA_DIR (created
// if needed), dated relative to today. --update re-exports the plan as the
// plan-producing program would after a change: today's days get a new print
// time and a few changed rows, the other days stay as they were.
// --config-home DIR also writes a first Zova-Monitor.ini below DIR that
// points the monitor at DATA_DIR. Exit status 0 on success, 1 on failure
// (one line on stderr), 2 on a usage error.
#include "DemoFiles.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

int usage(const char* problem) {
  std::fprintf(stderr, "zova-demo: %s\nusage: zova-demo [--update] [--config-home DIR] DATA_DIR\n", problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool update = false;
  QString configHome;
  QString dataDir;
  const QStringList arguments = app.arguments().mid(1);
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--update") {
      update = true;
    } else if (argument == "--config-home") {
      if (++i >= arguments.size()) return usage("--config-home needs a folder");
      configHome = arguments[i];
    } else if (argument == "--help" || argument == "-h") {
      std::printf("usage: zova-demo [--update] [--config-home DIR] DATA_DIR\n");
      return 0;
    } else if (argument.startsWith("--")) {
      return usage("unknown option");
    } else if (dataDir.isEmpty()) {
      dataDir = argument;
    } else {
      return usage("only one DATA_DIR");
    }
  }
  if (dataDir.isEmpty()) return usage("DATA_DIR missing");
  try {
    demo::writeDemo(dataDir, configHome, update, zdt::now());
  } catch (const demo::DemoError& error) {
    std::fprintf(stderr, "zova-demo: %s\n", error.what());
    return 1;
  }
  return 0;
}
