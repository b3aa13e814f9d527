// The background copy of a plan file (LocalCopy) with a real event loop:
// what gets copied and adopted, what read connections open, how a missing or
// stalled file ends, and that the user-interface thread keeps running.
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "DbFixtures.h"
#include "db/Database.h"
#include "db/copy/LocalCopy.h"
#include "db/file/PrivateFile.h"
#include "db/worker/WorkerClient.h"
#include "jet/JetWriter.h"
#include "platform/Folders.h"

using namespace db;
using dbtest::planConnection;

namespace {

// A small plan file whose day records carry `druckdatum`.
void writePlan(const QString& path, const QString& druckdatum) {
  jet::Database database;
  for (const char* name : {"TStatTextAula", "TStatTextLehrer"}) {
    jet::Table& table = database.addTable(
        name, {{"Datum", jet::ColumnType::DateTime}, {"Druckdatum", jet::ColumnType::Text, 40}});
    table.rows = {{dbtest::kPlanDay, druckdatum}, {dbtest::kPlanDay + 1, druckdatum}};
  }
  database.write(path);
}

// The Druckdatum a read connection to `path` sees, opened on the copy of
// `keeper` or, without one, on a snapshot; or the open's error.
QString readDruckdatum(const QString& path, const LocalCopy* keeper = nullptr) {
  try {
    Connection connection;
    connection.setConnectionString(planConnection(path));
    if (keeper)
      connection.open(*keeper);
    else
      connection.open();
    Dataset dataset(connection);
    dataset.setSql(QStringLiteral("SELECT * FROM TStatTextAula"));
    dataset.open();
    return dataset.asText(QStringLiteral("Druckdatum"));
  } catch (const db::Error& error) {
    return QStringLiteral("error: ") + error.message();
  }
}

// Runs the event loop until the keeper reports an attempt; false on timeout.
bool waitForRefreshed(LocalCopy& keeper, int timeoutMs = db::kDeadlineMs + 2000) {
  QEventLoop loop;
  bool refreshed = false;
  QObject::connect(&keeper, &LocalCopy::refreshed, &loop, [&] {
    refreshed = true;
    loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  return refreshed;
}

QStringList privateFiles() { return QDir(privateFolder()).entryList(QDir::Files, QDir::Name); }

// A folder with the plan file in it, and the keeper of that file.
class DbLocalCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plan = m_folder.filePath(QStringLiteral("Zova-Internet.mdb"));
    m_keeper.setSource(m_plan);
  }
  void TearDown() override {
    worker::setWorkerForTesting(QString());
    worker::setDeadlineForTesting(0);
  }
  // One refresh in the background, waited for in the event loop.
  LocalCopy::State refreshed() {
    m_keeper.refresh();
    EXPECT_TRUE(waitForRefreshed(m_keeper));
    return m_keeper.state();
  }

  QTemporaryDir m_folder;
  QString m_plan;
  LocalCopy m_keeper;
};

// A wait for the file on this thread would stall the 100 ms ticks for the
// whole deadline (1.5 s); this much leaves room for a loaded machine.
constexpr qint64 kLargestTickGapMs = 400;

// Ticks of a 100 ms timer while it lives; the largest gap between two.
class Ticker {
 public:
  Ticker() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      m_largestGapMs = qMax(m_largestGapMs, m_clock.restart());
      ++m_ticks;
    });
    m_clock.start();
    m_timer.start(100);
  }
  qint64 largestGapMs() const { return m_largestGapMs; }
  int ticks() const { return m_ticks; }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_largestGapMs = 0;
  int m_ticks = 0;
};

}  // namespace

TEST_F(DbLocalCopy, ChangedFile_IsCopiedInTheBackgroundAdoptedAndRead) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  m_keeper.refresh();
  EXPECT_TRUE(m_keeper.isRefreshing());
  ASSERT_TRUE(waitForRefreshed(m_keeper));
  ASSERT_EQ(m_keeper.state(), LocalCopy::State::Current) << m_keeper.lastError().toStdString();
  EXPECT_TRUE(m_keeper.adopt());
  EXPECT_TRUE(m_keeper.adoptedFile().startsWith(privateFolder() + u'/'));
  EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"Zova-Internet.mdb"});
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 07:45"));

  writePlan(m_plan, QStringLiteral("08.12.2026 08:10"));
  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 07:45")) << "read before adopting";
  EXPECT_TRUE(m_keeper.adopt());
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 08:10"));
}

TEST_F(DbLocalCopy, PollOfAnUnchangedFile_WritesNothingAndStartsNoProcess) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  ASSERT_TRUE(m_keeper.adopt());
  EXPECT_FALSE(readDruckdatum(m_plan, &m_keeper).startsWith(QLatin1String("error")));  // both workers are up now
  const QStringList files = privateFiles();
  const QDateTime copyTime = QFileInfo(m_keeper.adoptedFile()).lastModified();
  const quint64 started = worker::processesStarted();

  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  EXPECT_FALSE(m_keeper.adopt());
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 07:45"));
  EXPECT_EQ(privateFiles(), files);
  EXPECT_EQ(QFileInfo(m_keeper.adoptedFile()).lastModified(), copyTime);
  EXPECT_EQ(worker::processesStarted(), started);
}

TEST_F(DbLocalCopy, MissingFile_IsUnreachableAndOpenFailsNamingIt) {
  ASSERT_EQ(refreshed(), LocalCopy::State::Unreachable);
  EXPECT_TRUE(m_keeper.lastError().contains(m_plan)) << m_keeper.lastError().toStdString();
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("error: ") + m_keeper.lastError());
}

TEST_F(DbLocalCopy, FileGone_CopyIsReadThroughTheGraceRetriedAloneAndItsReturnIsAdopted) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  ASSERT_TRUE(m_keeper.adopt());
  QFile::remove(m_plan);
  ASSERT_EQ(refreshed(), LocalCopy::State::Unreachable);
  EXPECT_TRUE(m_keeper.bridgingOutage());
  EXPECT_NE(m_keeper.outageSince(), 0);
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 07:45")) << "the last complete export stands in";
  // Nobody asks: the keeper tries again by itself, after about a second.
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(waitForRefreshed(m_keeper, 3000));
  EXPECT_GE(clock.elapsed(), 800);
  EXPECT_EQ(m_keeper.state(), LocalCopy::State::Unreachable);

  // Past the grace the open fails as for a file never reached.
  qputenv("ZOVA_TEST_OUTAGE_GRACE_MS", "0");
  EXPECT_FALSE(m_keeper.bridgingOutage());
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("error: ") + m_keeper.lastError());
  qunsetenv("ZOVA_TEST_OUTAGE_GRACE_MS");

  writePlan(m_plan, QStringLiteral("08.12.2026 09:30"));
  ASSERT_TRUE(waitForRefreshed(m_keeper, 4000)) << "the next retry finds the file";
  ASSERT_EQ(m_keeper.state(), LocalCopy::State::Current);
  EXPECT_EQ(m_keeper.outageSince(), 0);
  EXPECT_TRUE(m_keeper.adopt());
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 09:30"));
}

TEST_F(DbLocalCopy, KeptCopy_StartsTheNextRunOfTheSameSourceOnly) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  m_keeper.setKeepsCopies(true);
  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  ASSERT_TRUE(m_keeper.adopt());
  m_keeper.setSource(QString());  // the run ends
  const QByteArray exported = dbtest::fileBytes(m_plan);
  QFile::remove(m_plan);

  LocalCopy other;
  other.setSource(m_folder.filePath(QStringLiteral("Anderer-Plan.mdb")));
  EXPECT_FALSE(other.adoptKeptCopy()) << "a copy made from another path is never shown";
  LocalCopy next;
  next.setSource(m_plan);
  ASSERT_TRUE(next.adoptKeptCopy());
  EXPECT_EQ(readDruckdatum(m_plan, &next), QStringLiteral("08.12.2026 07:45")) << "shown before any attempt";
  // The file does not answer at the first attempt: an outage from then on.
  next.refresh();
  ASSERT_TRUE(waitForRefreshed(next));
  EXPECT_EQ(next.state(), LocalCopy::State::Unreachable);
  EXPECT_TRUE(next.bridgingOutage());
  EXPECT_EQ(readDruckdatum(m_plan, &next), QStringLiteral("08.12.2026 07:45"));
  // The file answers with the same export: it is not copied again.
  QFile file(m_plan);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(exported);
  file.close();
  next.refresh();
  ASSERT_TRUE(waitForRefreshed(next));
  EXPECT_EQ(next.state(), LocalCopy::State::Current);
  EXPECT_FALSE(next.hasNewerCopy());
}

TEST_F(DbLocalCopy, StalledWorker_EndsUnreachableAtTheDeadlineWhileTheEventLoopRunsOnTime) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  ASSERT_TRUE(m_keeper.adopt());
  // The share stops answering: the keeper's next worker never answers.
  LocalCopy stalled;
  worker::setWorkerForTesting(folders::programFolder() + QStringLiteral("zova-db-fake-worker"), {"hang"});
  worker::setDeadlineForTesting(1500);
  stalled.setSource(m_plan);  // a second keeper of the plan file
  QElapsedTimer clock;
  clock.start();
  Ticker ticker;
  stalled.refresh();
  worker::setWorkerForTesting(QString());  // only the keeper's worker stalls
  ASSERT_TRUE(waitForRefreshed(stalled, 5000));
  EXPECT_GE(clock.elapsed(), 1400);
  EXPECT_EQ(stalled.state(), LocalCopy::State::Unreachable);
  EXPECT_TRUE(stalled.lastError().contains(QLatin1String("did not answer within 2 s"))) << stalled.lastError().toStdString();
  EXPECT_GE(ticker.ticks(), 10);
  EXPECT_LT(ticker.largestGapMs(), kLargestTickGapMs);
  EXPECT_EQ(readDruckdatum(m_plan, &stalled), QStringLiteral("error: ") + stalled.lastError());

  // The share answers again.
  worker::setDeadlineForTesting(0);
  stalled.refresh();
  ASSERT_TRUE(waitForRefreshed(stalled));
  EXPECT_EQ(stalled.state(), LocalCopy::State::Current);
  EXPECT_TRUE(stalled.adopt());
  EXPECT_EQ(readDruckdatum(m_plan, &stalled), QStringLiteral("08.12.2026 07:45"));
  EXPECT_EQ(worker::unreapedWorkers(), 0);
}

TEST_F(DbLocalCopy, FifoInPlaceOfTheFile_EndsUnreachableWithinTheDeadlineWhileTheEventLoopRuns) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(m_plan).constData(), 0600), 0);
  worker::setDeadlineForTesting(1500);
  QElapsedTimer clock;
  clock.start();
  Ticker ticker;
  ASSERT_EQ(refreshed(), LocalCopy::State::Unreachable);
  EXPECT_LT(clock.elapsed(), 1500 + 1000);
  EXPECT_LT(ticker.largestGapMs(), kLargestTickGapMs);
  EXPECT_TRUE(m_keeper.lastError().contains(m_plan)) << m_keeper.lastError().toStdString();

  QFile::remove(m_plan);
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  worker::setDeadlineForTesting(0);
  ASSERT_EQ(refreshed(), LocalCopy::State::Current);
  EXPECT_TRUE(m_keeper.adopt());
  EXPECT_EQ(readDruckdatum(m_plan, &m_keeper), QStringLiteral("08.12.2026 07:45"));
}

TEST_F(DbLocalCopy, IncompleteExport_IsTriedAgainByItselfWithoutFailingTheOpen) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  LocalCopy keeper;
  // Incomplete at odd attempts, a copy at even ones.
  worker::setWorkerForTesting(folders::programFolder() + QStringLiteral("zova-db-fake-worker"), {"incomplete"});
  keeper.setSource(m_plan);
  keeper.refresh();
  worker::setWorkerForTesting(QString());  // connections read with the real worker
  ASSERT_TRUE(waitForRefreshed(keeper));
  EXPECT_EQ(keeper.state(), LocalCopy::State::Incomplete);
  EXPECT_TRUE(readDruckdatum(m_plan, &keeper).contains(QLatin1String("is being written"))) << "no copy yet";

  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(waitForRefreshed(keeper, LocalCopy::kRetryAfterIncompleteMs + 3000)) << "no retry by itself";
  EXPECT_GE(clock.elapsed(), LocalCopy::kRetryAfterIncompleteMs * 2 / 3) << "a retry follows a pause, not at once";
  EXPECT_EQ(keeper.state(), LocalCopy::State::Current);
  EXPECT_TRUE(keeper.adopt());

  keeper.refresh();
  ASSERT_TRUE(waitForRefreshed(keeper));
  EXPECT_EQ(keeper.state(), LocalCopy::State::Incomplete);
  EXPECT_EQ(readDruckdatum(m_plan, &keeper), QStringLiteral("08.12.2026 07:45"));
}

// An export cut short by a crash stays so until the next export: the same
// refused file is read less and less often, a changed one at once again.
TEST_F(DbLocalCopy, SameFileRefusedAgain_IsTriedLessOften_OtherContentSoonAgain) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  const QByteArray whole = dbtest::fileBytes(m_plan);
  const auto writeCut = [&](qsizetype size) {
    QFile file(m_plan);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(size));
  };
  writeCut(whole.size() / 2);
  LocalCopy keeper;
  keeper.setSource(m_plan);
  ASSERT_EQ(keeper.refreshAndWait(), LocalCopy::State::Incomplete);

  // The gaps between the retries that follow by themselves.
  const auto nextGap = [&] {
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(waitForRefreshed(keeper, LocalCopy::kLongestRetryMs + 3000));
    EXPECT_EQ(keeper.state(), LocalCopy::State::Incomplete);
    return clock.elapsed();
  };
  const qint64 first = nextGap();
  const qint64 second = nextGap();
  const qint64 third = nextGap();
  EXPECT_LT(first, 2 * LocalCopy::kRetryAfterIncompleteMs);
  EXPECT_GE(second, 2 * LocalCopy::kRetryAfterIncompleteMs * 9 / 10);
  EXPECT_GE(third, 4 * LocalCopy::kRetryAfterIncompleteMs * 9 / 10);

  // Other content, still cut: the next retry is a short one again.
  writeCut(whole.size() / 2 + 4096);
  keeper.refresh();
  ASSERT_TRUE(waitForRefreshed(keeper));
  EXPECT_EQ(keeper.state(), LocalCopy::State::Incomplete);
  EXPECT_LT(nextGap(), 2 * LocalCopy::kRetryAfterIncompleteMs);

  writeCut(whole.size());
  keeper.refresh();
  ASSERT_TRUE(waitForRefreshed(keeper));
  EXPECT_EQ(keeper.state(), LocalCopy::State::Current);
}

TEST_F(DbLocalCopy, RefreshAndWaitDuringABackgroundAttempt_EndsThatOneAndAnnouncesIt) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  int announced = 0;
  QObject::connect(&m_keeper, &LocalCopy::refreshed, [&] { ++announced; });
  m_keeper.refresh();
  EXPECT_EQ(m_keeper.refreshAndWait(), LocalCopy::State::Current);
  EXPECT_FALSE(m_keeper.isRefreshing());
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(m_keeper.refreshAndWait(), LocalCopy::State::Current);
  EXPECT_EQ(announced, 1) << "a waited-for attempt is not announced";
}

TEST_F(DbLocalCopy, AdoptedCopy_StaysWhileAConnectionReadsItAndGoesAfterwards) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  ASSERT_EQ(m_keeper.refreshAndWait(), LocalCopy::State::Current);
  ASSERT_TRUE(m_keeper.adopt());
  const QString first = m_keeper.adoptedFile();
  auto reader = std::make_unique<Connection>();
  reader->setConnectionString(planConnection(m_plan));
  reader->open(m_keeper);

  writePlan(m_plan, QStringLiteral("08.12.2026 08:10"));
  ASSERT_EQ(m_keeper.refreshAndWait(), LocalCopy::State::Current);
  ASSERT_TRUE(m_keeper.adopt());
  const QString second = m_keeper.adoptedFile();
  EXPECT_NE(first, second);
  EXPECT_TRUE(QFileInfo::exists(first));
  Dataset dataset(*reader);
  dataset.setSql(QStringLiteral("SELECT * FROM TStatTextAula"));
  dataset.open();
  EXPECT_EQ(dataset.asText(QStringLiteral("Druckdatum")), QStringLiteral("08.12.2026 07:45"));
  reader->close();
  EXPECT_FALSE(QFileInfo::exists(first));
  EXPECT_TRUE(QFileInfo::exists(second));
  m_keeper.setSource(QString());
  EXPECT_FALSE(QFileInfo::exists(second));
}

TEST_F(DbLocalCopy, OtherFilesAndUpdates_DoNotGoThroughTheKeeper) {
  writePlan(m_plan, QStringLiteral("08.12.2026 07:45"));
  const QString other = m_folder.filePath(QStringLiteral("Anderer.mdb"));
  writePlan(other, QStringLiteral("anderer Plan"));
  // No copy taken yet: a read of the plan file fails, everything else does not.
  EXPECT_TRUE(readDruckdatum(m_plan, &m_keeper).startsWith(QLatin1String("error: No copy of")));
  EXPECT_EQ(readDruckdatum(other), QStringLiteral("anderer Plan"));
  Connection update;
  update.setConnectionString(dbtest::notificationConnection(m_plan));
  EXPECT_NO_THROW(update.open());
  EXPECT_THROW(update.open(m_keeper), db::Error) << "a copy is only for reading";
  ASSERT_EQ(m_keeper.refreshAndWait(), LocalCopy::State::Current);
  m_keeper.adopt();
  EXPECT_EQ(readDruckdatum(m_folder.path() + QStringLiteral("//./Zova-Internet.mdb"), &m_keeper),
            QStringLiteral("08.12.2026 07:45"));
}

TEST(DbPrivateFolder, ProgramEnd_LeavesNothingAndRemovesFoldersOfEndedRuns) {
  QTemporaryDir runtime, data;
  const QString plan = data.filePath(QStringLiteral("Zova-Internet.mdb"));
  writePlan(plan, QStringLiteral("08.12.2026 07:45"));
  // A pid above the kernel's limit never runs.
  const QString abandoned = runtime.filePath(QStringLiteral("zova-db-99999999-AbCdEf"));
  ASSERT_TRUE(QDir().mkpath(abandoned));
  QFile(abandoned + QStringLiteral("/Zova-Internet-1.mdb")).open(QIODevice::WriteOnly);
  QProcess tool;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
  tool.setProcessEnvironment(environment);
  tool.start(dbtest::siblingProgram(QStringLiteral("zova-db")),
             {QStringLiteral("query"), plan, QStringLiteral("SELECT * FROM TStatTextAula")});
  ASSERT_TRUE(tool.waitForFinished(db::kDeadlineMs + 5000));
  EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  EXPECT_TRUE(tool.readAllStandardOutput().contains("07:45"));
  EXPECT_EQ(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}
