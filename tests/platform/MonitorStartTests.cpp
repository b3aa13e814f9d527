// The monitor program's start: a second monitor on one settings folder ends
// at once and writes nothing; a missing database worker is reported.
#include "ProgramRun.h"
#include "platform/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <sys/stat.h>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/WaitFor.h"

namespace {

// Every file below `root` with its size, time and content hash.
QStringList snapshot(const QString& root) {
  QStringList result;
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    QByteArray hash;
    QFile file(info.filePath());
    if (info.isFile() && file.open(QIODevice::ReadOnly))
      hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
    result << QStringLiteral("%1 %2 %3 %4")
                  .arg(info.filePath())
                  .arg(info.size())
                  .arg(info.lastModified().toMSecsSinceEpoch())
                  .arg(QString::fromLatin1(hash));
  }
  result.sort();
  return result;
}

QProcessEnvironment monitorEnvironment(const QString& configHome) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* set : {"QT_LOGGING_RULES", "QT_MESSAGE_PATTERN", "JOURNAL_STREAM"}) environment.remove(set);
  environment.insert("XDG_CONFIG_HOME", configHome);
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  return environment;
}

}  // namespace

TEST(MonitorInstances, SecondStartOnOneSettingsFolder_EndsAtOnceAndWritesNothing) {
  QTemporaryDir configHome;
  const QProcessEnvironment environment = monitorEnvironment(configHome.path());
  QProcess first;
  first.setProcessEnvironment(environment);
  first.start(ZOVA_MONITOR_EXE, {});
  ASSERT_TRUE(first.waitForStarted());
  const QString settingsFolder = configHome.path() + "/Kelvaro/Zova-Monitor/";
  ASSERT_TRUE(waitFor([&] { return InstanceLock(settingsFolder).state() == InstanceLock::State::HeldByOther; }, 20000));
  const QStringList before = snapshot(configHome.path());

  const ProgramRun second = runProgram(ZOVA_MONITOR_EXE, {}, environment, 10000);

  EXPECT_TRUE(second.finished);
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err.count('\n'), 1) << second.err.toStdString();
  EXPECT_TRUE(second.err.contains(settingsFolder + "Zova-Monitor.ini")) << second.err.toStdString();
  EXPECT_EQ(snapshot(configHome.path()), before);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished();
}

TEST(MonitorStart, MissingWorker_IsReportedInTheDbLog) {
  QTemporaryDir dir;
  const QString alone = dir.filePath("zova-monitor");  // copied without its worker
  ASSERT_TRUE(QFile::copy(ZOVA_MONITOR_EXE, alone));
  QProcessEnvironment environment = monitorEnvironment(dir.filePath("config"));
  environment.insert("QT_LOGGING_RULES", "zova.db=true");
  QProcess monitor;
  monitor.setProcessEnvironment(environment);
  monitor.start(alone, {});
  ASSERT_TRUE(monitor.waitForStarted());
  QByteArray log;
  waitFor([&] {
    monitor.waitForReadyRead(100);
    log += monitor.readAllStandardError();
    return log.contains("zova-db-worker");
  }, 20000);
  monitor.kill();
  monitor.waitForFinished();
  EXPECT_TRUE(log.contains(QFile::encodeName(dir.filePath("zova-db-worker")) + "\" is missing")) << log.toStdString();
}

// With no logging variable set, the monitor's start says which database
// worker it uses (zova.db at info level): under systemd as a journal entry
// of priority 6, elsewhere as a line with the date and time in front.
TEST(MonitorStart, LogWithoutAnySetting_ReachesTheJournalOrIsTimeStamped) {
  for (const bool journal : {true, false}) {
    QTemporaryDir dir;
    const QString captured = dir.filePath("stderr");
    QFile(captured).open(QIODevice::WriteOnly);
    QProcessEnvironment environment = monitorEnvironment(dir.filePath("config"));
    if (journal) {
      struct stat status {};
      ASSERT_EQ(::stat(QFile::encodeName(captured).constData(), &status), 0);
      environment.insert("JOURNAL_STREAM", QStringLiteral("%1:%2").arg(status.st_dev).arg(status.st_ino));
    }
    QProcess monitor;
    monitor.setProcessEnvironment(environment);
    monitor.setStandardErrorFile(captured);
    monitor.start(ZOVA_MONITOR_EXE, {});
    ASSERT_TRUE(monitor.waitForStarted());
    QByteArray log;
    waitFor([&] {
      QFile file(captured);
      file.open(QIODevice::ReadOnly);
      log = file.readAll();
      return log.contains("Database worker");
    }, 20000);
    monitor.kill();
    monitor.waitForFinished();
    const QRegularExpression line(journal ? "^<6>zova\\.db: Database worker: "
                                          : "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} zova\\.db: Database worker: ",
                                  QRegularExpression::MultilineOption);
    EXPECT_TRUE(line.match(QString::fromUtf8(log)).hasMatch()) << (journal ? "journal: " : "terminal: ") << log.toStdString();
  }
}

TEST(MonitorStop, Sigterm_WritesTheSettingsAndLeavesNoFileInAnyTemporaryFolder) {
  QTemporaryDir configHome, runtime, tmp;
  QProcessEnvironment environment = monitorEnvironment(configHome.path());
  environment.insert("XDG_RUNTIME_DIR", runtime.path());
  environment.insert("TMPDIR", tmp.path());  // as if it named the plan folder: never used
  QProcess monitor;
  monitor.setProcessEnvironment(environment);
  monitor.start(ZOVA_MONITOR_EXE, {});
  ASSERT_TRUE(monitor.waitForStarted());
  const QString settingsFolder = configHome.path() + "/Kelvaro/Zova-Monitor/";
  ASSERT_TRUE(waitFor([&] { return InstanceLock(settingsFolder).state() == InstanceLock::State::HeldByOther; }, 20000));
  ASSERT_TRUE(waitFor([&] { return !QDir(runtime.path()).entryList({"zova-db-*"}, QDir::Dirs).isEmpty(); }, 20000))
      << "the private folder is made below XDG_RUNTIME_DIR";
  ASSERT_FALSE(QFile::exists(settingsFolder + "Zova-Monitor.ini"));

  monitor.terminate();
  ASSERT_TRUE(monitor.waitForFinished(20000));
  EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(monitor.exitCode(), 0);
  EXPECT_TRUE(QFile::exists(settingsFolder + "Zova-Monitor.ini")) << "closed as by its window";
  EXPECT_EQ(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}
