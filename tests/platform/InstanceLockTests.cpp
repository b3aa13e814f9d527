// One monitor per settings folder: the lock itself, and the monitor's second
// start ending at once without writing anything.
#include "ProgramRun.h"
#include "platform/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  QString folder() const { return m_dir.path() + "/"; }
  QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
  QTemporaryDir m_dir;
};

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

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QThread::msleep(50);
  }
  return true;
}

}  // namespace

TEST_F(InstanceLockTest, FirstLock_IsAcquiredWithOnlyTheLockFile) {
  const InstanceLock lock(folder());
  EXPECT_EQ(lock.state(), InstanceLock::State::Acquired);
  EXPECT_EQ(lock.filePath(), folder() + "Zova-Monitor.lock");
  EXPECT_EQ(entries(), QStringList{"Zova-Monitor.lock"});
}

TEST_F(InstanceLockTest, SecondLockOnTheSameFolder_IsHeldByOther) {
  const InstanceLock first(folder());
  const InstanceLock second(folder());
  EXPECT_EQ(first.state(), InstanceLock::State::Acquired);
  EXPECT_EQ(second.state(), InstanceLock::State::HeldByOther);
}

TEST_F(InstanceLockTest, EndedHolder_LeavesNoStaleLock) {
  { const InstanceLock first(folder()); }
  const InstanceLock next(folder());
  EXPECT_EQ(next.state(), InstanceLock::State::Acquired);
}

TEST_F(InstanceLockTest, KilledHolderProcess_LeavesNoStaleLock) {
  if (QStandardPaths::findExecutable("flock").isEmpty()) GTEST_SKIP() << "flock(1) is not installed";
  // The shell locks the file with flock(1) on its own descriptor and then
  // becomes `sleep`, which holds the lock until it is killed.
  QProcess holder;
  holder.start("sh", {"-c", "exec 9<>\"$1\" && flock -x 9 && exec sleep 60", "sh", folder() + "Zova-Monitor.lock"});
  ASSERT_TRUE(holder.waitForStarted());
  ASSERT_TRUE(waitFor([&] { return InstanceLock(folder()).state() == InstanceLock::State::HeldByOther; }, 5000));
  holder.kill();
  holder.waitForFinished();
  EXPECT_EQ(InstanceLock(folder()).state(), InstanceLock::State::Acquired);
}

TEST_F(InstanceLockTest, FolderWithoutLockFile_IsUnavailableNotHeld) {
  const InstanceLock lock(folder() + "missing/");
  EXPECT_EQ(lock.state(), InstanceLock::State::Unavailable);
  EXPECT_FALSE(lock.reason().isEmpty());
  EXPECT_TRUE(entries().isEmpty());
}

TEST(MonitorInstances, SecondStartOnOneSettingsFolder_EndsAtOnceAndWritesNothing) {
  QTemporaryDir configHome;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", configHome.path());
  environment.insert("QT_QPA_PLATFORM", "offscreen");
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
