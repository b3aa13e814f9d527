// Copying an export only when it is complete: the four outcomes, the lock
// file, the content check across the quiet time, and that a refused file
// never replaces the copy already taken.
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

#include "DbFixtures.h"
#include "db/copy/CompleteExport.h"
#include "tests/support/QuietTime.h"

using namespace dbtest;
using db::engine::copyCompleteExport;
using Kind = db::engine::CopyResult::Kind;

namespace {

// Sets the file's modification time to `when` (seconds since 1970).
void setModified(const QString& path, time_t when) {
  timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

void setModifiedAgo(const QString& path, int secondsAgo) { setModified(path, time(nullptr) - secondsAgo); }

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

class DbCompleteExport : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plan = m_dir.filePath("Zova-Internet.mdb");
    m_copy = m_dir.filePath("copy.mdb");
    writePlanFile(m_plan);
    m_planBytes = fileBytes(m_plan);
  }

  QTemporaryDir m_dir;
  QString m_plan, m_copy;
  QByteArray m_planBytes;
};

}  // namespace

TEST_F(DbCompleteExport, MissingFileOrFolder_IsUnreachableNamingIt) {
  const QString missing = m_dir.filePath("none/Zova-Internet.mdb");
  for (const QString& path : {m_dir.filePath("Other.mdb"), missing}) {
    const auto result = copyCompleteExport(path, m_copy, {});
    EXPECT_EQ(result.kind, Kind::Unreachable);
    EXPECT_TRUE(result.message.contains(path)) << result.message.toStdString();
  }
  EXPECT_TRUE(copyCompleteExport(missing, m_copy, {}).message.contains(QLatin1String("folder")));
}

TEST_F(DbCompleteExport, PipeInPlaceOfTheFile_IsUnreachableWithoutWaiting) {
  const QString pipe = m_dir.filePath("pipe.mdb");
  ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  EXPECT_EQ(copyCompleteExport(pipe, m_copy, {}).kind, Kind::Unreachable);
}

TEST_F(DbCompleteExport, WholeFile_IsCopiedWithItsHash) {
  const auto result = copyCompleteExport(m_plan, m_copy, {});
  ASSERT_EQ(result.kind, Kind::Copied) << result.message.toStdString();
  EXPECT_EQ(fileBytes(m_copy), m_planBytes);
  EXPECT_EQ(result.hash, QCryptographicHash::hash(m_planBytes, QCryptographicHash::Sha256));
  EXPECT_EQ(QDir(m_dir.path()).entryList({"copy.mdb.part*"}), QStringList());
}

TEST_F(DbCompleteExport, SameContentAgain_IsUnchangedAtOnceAndWritesNothing) {
  QuietTime quiet(1500);
  const QByteArray hash = QCryptographicHash::hash(m_planBytes, QCryptographicHash::Sha256);
  writeBytes(m_copy, "earlier copy");
  QElapsedTimer timer;
  timer.start();
  const auto result = copyCompleteExport(m_plan, m_copy, hash);
  EXPECT_EQ(result.kind, Kind::Unchanged);
  EXPECT_EQ(result.hash, hash);
  EXPECT_LT(timer.elapsed(), 1000);
  EXPECT_EQ(fileBytes(m_copy), QByteArray("earlier copy"));
}

TEST_F(DbCompleteExport, RewriteKeepingSizeAndTimeStamp_IsNotTakenForTheFileCopiedBefore) {
  QuietTime quiet(100);
  const time_t modified = time(nullptr) - 100;
  setModified(m_plan, modified);
  const auto copied = copyCompleteExport(m_plan, m_copy, {});
  ASSERT_EQ(copied.kind, Kind::Copied);
  // Polled twice unchanged: from now on an unchanged file costs a look at its stamps.
  ASSERT_EQ(copyCompleteExport(m_plan, m_copy, copied.hash).kind, Kind::Unchanged);
  ASSERT_EQ(copyCompleteExport(m_plan, m_copy, copied.hash).kind, Kind::Unchanged);
  // Another export of the same size written in place, its time stamp set back.
  QByteArray other = m_planBytes;
  other[other.size() - 100] = static_cast<char>(other[other.size() - 100] ^ 0x55);
  writeBytes(m_plan, other);
  setModified(m_plan, modified);
  const auto next = copyCompleteExport(m_plan, m_copy, copied.hash);
  EXPECT_NE(next.kind, Kind::Unchanged);
  EXPECT_NE(next.hash, copied.hash);
}

TEST_F(DbCompleteExport, CutFile_IsIncompleteAndKeepsTheEarlierCopy) {
  ASSERT_EQ(copyCompleteExport(m_plan, m_copy, {}).kind, Kind::Copied);
  for (const QByteArray& cut : {m_planBytes.left(m_planBytes.size() / 2), m_planBytes.left(10000), QByteArray()}) {
    writeBytes(m_plan, cut);
    const auto result = copyCompleteExport(m_plan, m_copy, {});
    EXPECT_EQ(result.kind, Kind::Incomplete) << cut.size();
    EXPECT_TRUE(result.message.contains(m_plan)) << result.message.toStdString();
    EXPECT_EQ(fileBytes(m_copy), m_planBytes);
  }
}

TEST_F(DbCompleteExport, LockFile_MakesItIncompleteUntilSeenUnchangedForTheStaleTime) {
  QuietTime quiet(100);
  const QByteArray savedStale = qgetenv("ZOVA_TEST_STALE_LOCK_MS");
  qputenv("ZOVA_TEST_STALE_LOCK_MS", "300");
  const QString lock = m_dir.filePath("ZOVA-INTERNET.LDB");  // letter case does not matter
  writeBytes(lock, QByteArray(64, 'L'));
  // Time stamps a day old say nothing: the share's clock may stand a day off this PC's.
  setModifiedAgo(m_plan, 86400);
  setModifiedAgo(lock, 86400);
  const auto locked = copyCompleteExport(m_plan, m_copy, {});
  EXPECT_EQ(locked.kind, Kind::Incomplete);
  EXPECT_TRUE(locked.message.contains(lock)) << locked.message.toStdString();
  EXPECT_FALSE(QFile::exists(m_copy));
  // A live program changes its lock file: the stale time starts again.
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  writeBytes(lock, QByteArray(128, 'L'));
  EXPECT_EQ(copyCompleteExport(m_plan, m_copy, {}).kind, Kind::Incomplete);
  // The writer crashed and left its lock file.
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  EXPECT_EQ(copyCompleteExport(m_plan, m_copy, {}).kind, Kind::Copied);
  qputenv("ZOVA_TEST_STALE_LOCK_MS", savedStale);
}

TEST_F(DbCompleteExport, ContentChangingWithinTheQuietTime_IsIncompleteEvenWithItsTimeStampKept) {
  QuietTime quiet(600);
  const time_t modified = time(nullptr) - 100;
  setModified(m_plan, modified);
  // Rewrites the last page in place, keeping size and time stamp, as a CIFS
  // share shows another client's writes with their time late.
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    QFile file(m_plan);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(m_planBytes.size() - 4096);
    file.write(QByteArray(4096, '\0'));
    file.close();
    setModified(m_plan, modified);
  });
  const auto result = copyCompleteExport(m_plan, m_copy, {});
  writer.join();
  EXPECT_EQ(result.kind, Kind::Incomplete);
  EXPECT_TRUE(result.message.contains(QLatin1String("being written"))) << result.message.toStdString();
  EXPECT_FALSE(QFile::exists(m_copy));
}
