// One monitor per settings folder: the lock on the settings folder.
#include "platform/InstanceLock.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/MissingTool.h"
#include "tests/support/WaitFor.h"

namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  QString folder() const { return m_dir.path() + "/"; }
  QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
  QTemporaryDir m_dir;
};

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
  if (QStandardPaths::findExecutable("flock").isEmpty()) ZOVA_MISSING_TOOL("flock (util-linux)");
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
