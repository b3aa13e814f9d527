// Running one of the system's programs from a test and collecting its exit
// status and output.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
  bool finished = false;  // ended by itself within the time allowed
  int exitCode = -1;
  QString out;
  QString err;
};

// Runs `program` with `arguments` in `environment` (default: the test's
// own), waiting at most `timeoutMs`; a program still running then is killed.
inline ProgramRun runProgram(const QString& program, const QStringList& arguments,
                             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                             int timeoutMs = 20000) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  ProgramRun run;
  run.finished = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
  if (!run.finished) {
    process.kill();
    process.waitForFinished(2000);
  }
  run.exitCode = process.exitCode();
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}
