// A writer rewrites Zova-Internet.mdb the way exporting programs and file
// shares do, while the readers poll it as the monitor does (a read
// connection, both day-record tables and one day's rows) and as `zova-db
// query` does. Every Druckdatum, Version and row carries its version's
// number, so a read mixing two versions shows, and every version has the
// same number of days and rows, so a short read shows. A read may fail;
// it may never succeed mixed or short, and the last version must be read
// soon after the writer ends.
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "DbFixtures.h"
#include "db/Database.h"
#include "jet/JetWriter.h"
#include "tests/support/QuietTime.h"

using namespace dbtest;
using namespace std::chrono_literals;

namespace {

constexpr int kDays = 4;
constexpr int kRowsPerDay = 150;
constexpr int kChunk = 32 * 1024;
constexpr TDateTime kQueriedDay = kPlanDay + 2;

QString tag(int version) { return QStringLiteral("v%1").arg(version, 2, 10, QChar(u'0')); }

// Version `version` of the plan file as bytes (every version the same size).
QByteArray planVersion(const QString& folder, int version) {
  using jet::ColumnType;
  jet::Database database;
  QVector<jet::Column> statColumns = {{"Datum", ColumnType::DateTime}, {"DruckZeit", ColumnType::DateTime}};
  for (const char* name : {"Version", "Druckdatum", "Ueberschrift"}) statColumns.append({name, ColumnType::Text});
  statColumns.append({"BitteRTF", ColumnType::Memo});
  for (const char* name : {"TStatTextAula", "TStatTextLehrer"}) {
    jet::Table& stat = database.addTable(name, statColumns);
    for (int day = 0; day < kDays; ++day)
      stat.rows.append({kPlanDay + day, kPlanDay + day - 0.5, tag(version), tag(version) + QStringLiteral(" 07:45"),
                        QStringLiteral("Vertretungsplan"), QString(3000, u'r') + tag(version)});
  }
  QVector<jet::Column> dynColumns = {{"ID", ColumnType::Long}, {"Datum", ColumnType::DateTime}};
  for (int i = 1; i <= 7; ++i) dynColumns.append({QStringLiteral("F%1").arg(i), ColumnType::Text, 50});
  jet::Table& dyn = database.addTable("TDynTextAula", dynColumns);
  for (int day = 0; day < kDays; ++day)
    for (int row = 0; row < kRowsPerDay; ++row)
      dyn.rows.append({day * 1000 + row, kPlanDay + day, tag(version) + QStringLiteral(" r%1").arg(row, 3, 10, QChar(u'0')),
                       "3", "Sch", "M", "R101", "Ber", "Vertretung"});
  const QString path = QStringLiteral("%1/version-%2.mdb").arg(folder).arg(version);
  database.write(path);
  return fileBytes(path);
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct timespec modifiedTime(int fd) {
  struct stat status {};
  ::fstat(fd, &status);
  return status.st_mtim;
}

// How a writer puts one version onto the file.
struct WriteStyle {
  bool rename = false;         // a new file renamed over the old
  int pauseMs = 500;           // between 32 KiB chunks (in place)
  bool lagTimeStamp = false;   // the time stamp is set back after each chunk
  bool onePauseInMiddle = false;  // the first half, 1 s, the second half
  bool truncateFirst = false;
  bool holdLock = false;       // a .ldb beside the file while writing
  int pauseBeforeLastMs = 0;   // before the last chunk, longer than the quiet time
};

void writeVersion(const QString& path, const QByteArray& bytes, const WriteStyle& style) {
  if (style.rename) {
    QFile next(path + QStringLiteral(".new"));
    if (next.open(QIODevice::WriteOnly)) next.write(bytes);
    next.close();
    ::rename(QFile::encodeName(next.fileName()).constData(), QFile::encodeName(path).constData());
    return;
  }
  const QString lock = path.left(path.size() - 4) + QStringLiteral(".ldb");
  if (style.holdLock) QFile(lock).open(QIODevice::WriteOnly);
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | (style.truncateFirst ? O_TRUNC : 0));
  const struct timespec before = modifiedTime(fd);
  const int chunk = style.onePauseInMiddle ? int(bytes.size() / 2) + 1 : kChunk;
  for (qsizetype done = 0; done < bytes.size(); done += chunk) {
    if (done > 0) sleepMs(style.onePauseInMiddle ? 1000 : style.pauseMs);
    if (style.pauseBeforeLastMs > 0 && done + chunk >= bytes.size()) sleepMs(style.pauseBeforeLastMs);
    const qsizetype length = qMin<qsizetype>(chunk, bytes.size() - done);
    if (::pwrite(fd, bytes.constData() + done, size_t(length), done) != length) ADD_FAILURE() << "write failed";
    if (style.lagTimeStamp) {
      const struct timespec times[2] = {{0, UTIME_OMIT}, before};
      ::futimens(fd, times);
    }
  }
  ::ftruncate(fd, bytes.size());
  ::close(fd);
  if (style.holdLock) QFile::remove(lock);
}

// What one read gave: the version numbers it saw, and whether it was whole.
struct Read {
  bool failed = false;
  QSet<int> versions;
  bool whole = true;
};

int versionOf(const QString& text) { return text.mid(1, 2).toInt(); }

// Rows of the queried day: all of them, each once, in any order.
void checkRows(Read& read, const QStringList& f1) {
  QSet<int> numbers;
  for (const QString& text : f1) {
    read.versions.insert(versionOf(text));
    numbers.insert(text.mid(5).toInt());
  }
  read.whole = read.whole && f1.size() == kRowsPerDay && numbers.size() == kRowsPerDay;
}

// The monitor's poll: a read connection, both day-record tables, one day's rows.
Read pollAsMonitor(const QString& path) {
  Read read;
  try {
    db::Connection connection;
    connection.setConnectionString(planConnection(path));
    connection.open();
    db::Dataset dataset(connection);
    for (const char* table : {"TStatTextAula", "TStatTextLehrer"}) {
      dataset.setSql(QStringLiteral("SELECT * FROM %1").arg(table));
      dataset.open();
      dataset.sort("Datum ASC");
      read.whole = read.whole && dataset.rowCount() == kDays;
      for (dataset.first(); !dataset.eof(); dataset.next()) {
        read.versions.insert(versionOf(dataset.asText("Druckdatum")));
        read.versions.insert(versionOf(dataset.asText("Version")));
        read.versions.insert(dataset.asText("BitteRTF").right(2).toInt());
      }
    }
    dataset.setSql(QStringLiteral("Select * from TDynTextAula where Datum = %1;").arg(qint64(kQueriedDay)));
    dataset.open();
    dataset.sort("ID");
    QStringList f1;
    for (dataset.first(); !dataset.eof(); dataset.next()) f1.append(dataset.asText("F1"));
    checkRows(read, f1);
  } catch (const db::Error&) {
    read.failed = true;
  }
  return read;
}

Read pollWithTool(const QString& path) {
  Read read;
  int exitCode = -1;
  const QByteArray out = runProgram(siblingProgram("zova-db"),
                                    {"query", path, QStringLiteral("Select * from TDynTextAula where Datum = %1;").arg(qint64(kQueriedDay))},
                                    &exitCode);
  if (exitCode != 0) {
    read.failed = true;
    return read;
  }
  QStringList f1;
  for (const QByteArray& line : out.split('\n'))
    if (!line.isEmpty()) f1.append(QJsonDocument::fromJson(line).object().value("F1").toString());
  checkRows(read, f1);
  return read;
}

struct Scenario {
  const char* name;
  int quietMs;  // 2000 is the real quiet time
  WriteStyle style;
  int versions;  // written after the first
  int restMs;    // between versions
  // Only the monitor's polls: a writer that pauses longer than the quiet
  // time defeats a reader that has nothing but the quiet time (zova-db
  // query, a share); the monitor's worker on a local folder sees the file is
  // still open for writing.
  bool monitorOnly = false;
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class DbExportWriter : public ::testing::TestWithParam<Scenario> {};

}  // namespace

TEST_P(DbExportWriter, PollsAreNeverMixedOrShort) {
  const Scenario& scenario = GetParam();
  QuietTime quiet(scenario.quietMs);
  QTemporaryDir dir;
  const QString path = dir.filePath("Zova-Internet.mdb");
  QVector<QByteArray> versions;
  for (int version = 1; version <= 1 + scenario.versions; ++version) versions.append(planVersion(dir.path(), version));
  QFile::copy(dir.filePath("version-1.mdb"), path);

  std::atomic<qint64> writerEndedMs = -1;
  QElapsedTimer clock;
  clock.start();
  std::thread writer([&] {
    for (int version = 2; version <= 1 + scenario.versions; ++version) {
      sleepMs(scenario.restMs);
      writeVersion(path, versions[version - 1], scenario.style);
    }
    writerEndedMs = clock.elapsed();
  });

  int polls = 0, failed = 0, mixed = 0, shortReads = 0;
  qint64 lastVersionReadMs = -1;
  // Generous for a loaded machine: the figure printed is the measurement.
  const qint64 limitAfterEnd = 2 * scenario.quietMs + 10000;
  for (int turn = 0; lastVersionReadMs < 0; ++turn) {
    const qint64 ended = writerEndedMs;
    if (ended >= 0 && clock.elapsed() > ended + limitAfterEnd) break;
    const Read read = turn % 2 == 0 || scenario.monitorOnly ? pollAsMonitor(path) : pollWithTool(path);
    ++polls;
    if (read.failed) {
      ++failed;
      continue;
    }
    mixed += read.versions.size() > 1;
    shortReads += !read.whole;
    if (ended >= 0 && read.versions == QSet<int>{1 + scenario.versions}) lastVersionReadMs = clock.elapsed() - ended;
  }
  writer.join();
  std::printf("%s: %d polls, %d failed, %d mixed, %d short; last version read %lld ms after the writer ended\n",
              scenario.name, polls, failed, mixed, shortReads, static_cast<long long>(lastVersionReadMs));
  EXPECT_EQ(mixed, 0);
  EXPECT_EQ(shortReads, 0);
  EXPECT_GE(lastVersionReadMs, 0) << "the last version was not read within " << limitAfterEnd << " ms";
}

INSTANTIATE_TEST_SUITE_P(
    Writers, DbExportWriter,
    ::testing::Values(Scenario{"RenamedOverTheOld", 300, {.rename = true}, 6, 400},
                      Scenario{"InPlaceChunks", 1200, {}, 2, 2000},
                      Scenario{"InPlaceTimeStampLagging", 1200, {.lagTimeStamp = true}, 2, 2000},
                      Scenario{"InPlaceOnePauseOfASecond", 2000, {.onePauseInMiddle = true}, 2, 2500},
                      Scenario{"TruncatedThenChunks", 100, {.truncateFirst = true}, 2, 1200},
                      Scenario{"LockFileWhileWriting", 100, {.holdLock = true}, 2, 1200},
                      Scenario{"InPlacePausingBeforeTheLastChunk", 300, {.pauseBeforeLastMs = 1500}, 2, 2000, true}),
    [](const auto& info) { return std::string(info.param.name); });
