// zova-check: what a wall screen shows, and why, from a terminal.
//
//   zova-check [--config-home DIR] [--at "YYYY-MM-DD HH:MM[:SS]"] [--json]
//              [--png FILE [--size WxH] [--audience 0|1] [--day YYYY-MM-DD] [--page N]]
//   zova-check --help | --version
//
// Runs the monitor's own start on the monitor's settings, offscreen, and
// reports the settings, the plan file, the days, the page and the
// notifications as text or JSON; optionally writes the page as a PNG
// picture. Writes nothing else. Exit status 0 when the monitor would show a
// plan, 1 when it would show a state text (or a picture cannot be written),
// 2 on a usage error.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <cstdio>

#include "PlanCheck.h"
#include "ReportText.h"
#include "plan/DataModule.h"
#include "platform/CommandLine.h"

namespace {

const cli::Program kProgram{
    "zova-check",
    "zova-check [--config-home DIR] [--at \"YYYY-MM-DD HH:MM[:SS]\"] [--json]\n"
    "           [--png FILE [--size WxH] [--audience 0|1] [--day YYYY-MM-DD] [--page N]]\n"
    "zova-check --help | --version\n",
    "Tells what the monitor shows on its screen now, and why: what a monitor running on\n"
    "these settings shows (its status file), then its settings, the plan file it opens,\n"
    "the plan days, the page, and the notifications. It runs the monitor's own start\n"
    "offscreen and writes nothing (no settings, no notification).\n"
    "  --config-home DIR  the folder XDG_CONFIG_HOME would name (default: the environment's)\n"
    "  --at MOMENT        stand at that local moment instead of now\n"
    "  --json             the report as one JSON object\n"
    "  --png FILE         also write the page as the monitor lays it out, as a PNG picture:\n"
    "    --size WxH       in this window size (default: Width and Height of the settings)\n"
    "    --audience 0|1   of the pupils (0) or teachers (1) (default: the audience shown)\n"
    "    --day DATE       of this plan day (default: the day shown)\n"
    "    --page N         its page N as automatic paging shows it (default: 1)\n"
    "    (none of these and no --at: the page a running monitor shows, at its size)\n"
    "Exit status: 0 the monitor (the running one, if any) shows a plan, 1 it shows\n"
    "\"Keine Verbindung zur Datenbank!\" or \"Die Datenbank enthält keine geeigneten Daten!\"\n"
    "(or the picture cannot be written), 2 wrong arguments. See zova-check(1).\n"};

void print(const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList arguments = cli::arguments(argc, argv);
  if (const auto status = cli::answerHelpOrVersion(kProgram, arguments)) return *status;
  QString problem;
  const std::optional<CheckOptions> options = parseCheckOptions(arguments, &problem);
  if (!options) return cli::usageError(kProgram, problem);

  // The check draws nothing on any display, so it also runs over SSH.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!options->configHome.isEmpty())
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QDir(options->configHome).absolutePath()));
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zova-Monitor"));
  DM = std::make_unique<TDM>();
  CheckResult result;
  try {
    result = runCheck(*options);
  } catch (const CheckProblem& failure) {
    DM.reset();
    return failure.usage ? cli::usageError(kProgram, failure.message)
                         : cli::failure(kProgram, failure.file, failure.message);
  }
  DM.reset();
  print(options->json ? QJsonDocument(result.report).toJson(QJsonDocument::Indented)
                      : reportText(result.report).toUtf8());
  return result.status;
}
