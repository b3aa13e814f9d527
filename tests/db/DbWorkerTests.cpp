// The worker protocol, the caller's handling of a worker that hangs,
// crashes or answers garbage (each is a db::Error of that one operation), the
// worker's lifetime across operations and its memory bound.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "db/worker/WorkerClient.h"
#include "db/worker/WorkerProcess.h"
#include "db/worker/WorkerProtocol.h"
#include "platform/Folders.h"

using namespace db;

namespace {

protocol::Reply sampleReply() {
  protocol::Reply reply;
  reply.ok = true;
  reply.result.columns = {{"ID", ColumnKind::Long}, {"Datum", ColumnKind::DateTime},
                          {"Valid", ColumnKind::Boolean}, {"Bemerkung", ColumnKind::Memo}};
  reply.result.rows = {{integerField(-5), dateTimeField(-1.25), booleanField(true), textField(QString(70000, u'ä'))},
                       {integerField(6), dateTimeField(2958465.999988426), booleanField(false), nullField()}};
  return reply;
}

// Points the layer at the fake worker in one mode for the life of the object.
class FakeWorker {
 public:
  explicit FakeWorker(const char* mode, int deadlineMs = 1500) {
    worker::setWorkerForTesting(folders::programFolder() + QStringLiteral("zova-db-fake-worker"),
                                {QString::fromLatin1(mode)});
    worker::setDeadlineForTesting(deadlineMs);
  }
  ~FakeWorker() {
    worker::setWorkerForTesting(QString());
    worker::setDeadlineForTesting(0);
  }
};

// The process id the echo worker reports, with the request it saw.
struct Echo {
  QStringList fields;
  int process = 0;
};

Echo echoOf(worker::Operation operation, const QString& file, const QString& statement,
            const protocol::ExpectedValues& expected = {}) {
  const protocol::Reply reply = worker::run(operation, file, statement, expected);
  Echo echo;
  for (int c = 0; c < 4; ++c) echo.fields << reply.result.rows.value(0).value(c).value.toString();
  echo.process = reply.result.rows.value(0).value(4).value.toInt();
  return echo;
}

// True once the process has exited (it stays a zombie until collected).
bool waitUntilEnded(int pid) {
  for (int i = 0; i < 500; ++i) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray fields = stat.readAll();
    if (fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z") return true;
    QThread::msleep(10);
  }
  return false;
}

bool waitUntilAllReaped() {
  for (int i = 0; i < 200 && worker::unreapedWorkers() > 0; ++i) QThread::msleep(10);
  return worker::unreapedWorkers() == 0;
}

QString errorOf(const char* mode, int deadlineMs = 1500, db::Error::Kind* kind = nullptr) {
  FakeWorker fake(mode, deadlineMs);
  try {
    worker::run(worker::Operation::Query, QStringLiteral("/x.mdb"), QStringLiteral("SELECT * FROM T"));
  } catch (const db::Error& error) {
    if (kind) *kind = error.kind();
    return error.message();
  }
  return QString();
}

}  // namespace

TEST(DbWorkerProtocol, Reply_SurvivesTheRoundTripExactly) {
  const protocol::Reply reply = sampleReply();
  const protocol::Reply back = protocol::decodeReply(protocol::encodeReply(reply));
  ASSERT_EQ(back.result.rows.size(), 2);
  EXPECT_EQ(back.result.columnNames(), reply.result.columnNames());
  EXPECT_EQ(back.result.columns[3].kind, ColumnKind::Memo);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(back.result.rows[r][c].type, reply.result.rows[r][c].type);
      EXPECT_EQ(back.result.rows[r][c].value, reply.result.rows[r][c].value);
    }
  }
}

TEST(DbWorkerProtocol, ErrorReply_CarriesItsMessageAndKind) {
  protocol::Reply reply;
  reply.message = QStringLiteral("Update of /srv/Benachrichtigungen.mdb failed and was undone: No space left on device");
  reply.failure = db::Error::Kind::NoSpace;
  const protocol::Reply back = protocol::decodeReply(protocol::encodeReply(reply));
  EXPECT_FALSE(back.ok);
  EXPECT_EQ(back.message, reply.message);
  EXPECT_EQ(back.failure, db::Error::Kind::NoSpace);
}

TEST(DbWorkerProtocol, TruncatedOrExtendedFrame_IsRefused) {
  const QByteArray frame = protocol::encodeReply(sampleReply());
  for (qsizetype cut : {qsizetype(1), qsizetype(7), qsizetype(12), frame.size() / 2, frame.size() - 1})
    EXPECT_THROW(protocol::decodeReply(frame.left(cut)), db::Error) << cut;
  EXPECT_THROW(protocol::decodeReply(frame + "x"), db::Error);
}

TEST(DbWorkerProtocol, HugeCountsInADamagedFrame_AreRefusedBeforeAnyAllocation) {
  protocol::Reply reply;
  reply.tableNames = {QStringLiteral("TStatTextAula")};
  const QByteArray frame = protocol::encodeReply(reply);
  // The payload: ok (1 byte), a null message (4 bytes), the failure kind (1
  // byte), then the count of table names.
  const int tableCount = protocol::kFrameHeaderBytes + 1 + 4 + 1;
  ASSERT_EQ(frame.mid(tableCount, 4), QByteArray("\x00\x00\x00\x01", 4));
  for (const QByteArray& count : {QByteArray("\x7f\xff\xff\xff", 4), QByteArray("\x00\x10\x00\x00", 4)}) {
    QByteArray damaged = frame;
    damaged.replace(tableCount, 4, count);
    EXPECT_THROW(protocol::decodeReply(damaged), db::Error);
  }
  // The column count follows the one table name (4 + 26 bytes).
  QByteArray damaged = frame;
  damaged.replace(tableCount + 4 + 30, 4, QByteArray("\x00\xff\xff\xff", 4));
  EXPECT_THROW(protocol::decodeReply(damaged), db::Error);
}

TEST(DbWorkerProtocol, Request_SurvivesTheRoundTripWithItsExpectedValues) {
  protocol::Request request;
  request.operation = QStringLiteral("execute");
  request.file = QStringLiteral("/srv/Benachrichtigungen.mdb");
  request.argument = QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status='3' WHERE ID=17");
  request.previousHash = QByteArray("\x00\xff", 2);
  request.expected = {{"Status", integerField(2)}, {"Lehrer", textField(QStringLiteral("Mü"))}, {"RueckTime", nullField()}};
  request.changedColumns = QStringList{QStringLiteral("Status"), QStringLiteral("Bemerkung")};
  const protocol::Request back = protocol::decodeRequest(protocol::encodeRequest(request));
  EXPECT_EQ(back.changedColumns, request.changedColumns);
  request.changedColumns = QStringList();
  EXPECT_EQ(protocol::decodeRequest(protocol::encodeRequest(request)).changedColumns, QStringList());
  request.changedColumns.reset();
  EXPECT_FALSE(protocol::decodeRequest(protocol::encodeRequest(request)).changedColumns.has_value());
  EXPECT_EQ(back.operation, request.operation);
  EXPECT_EQ(back.file, request.file);
  EXPECT_EQ(back.argument, request.argument);
  EXPECT_EQ(back.previousHash, request.previousHash);
  ASSERT_EQ(back.expected.size(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back.expected[i].first, request.expected[i].first);
    EXPECT_EQ(back.expected[i].second.type, request.expected[i].second.type);
    EXPECT_EQ(back.expected[i].second.value, request.expected[i].second.value);
  }
}

TEST(DbWorkerProtocol, CutOrForeignRequestFrame_IsRefused) {
  protocol::Request request;
  request.operation = QStringLiteral("query");
  const QByteArray frame = protocol::encodeRequest(request);
  EXPECT_THROW(protocol::decodeRequest(frame.left(frame.size() - 1)), db::Error);
  EXPECT_THROW(protocol::decodeRequest(protocol::encodeReply(protocol::Reply())), db::Error);
  EXPECT_THROW(protocol::requestFrameSize("GET / HTTP/1.1\r\n"), db::Error);
  EXPECT_EQ(protocol::requestFrameSize(frame.left(5)), -1);
  EXPECT_EQ(protocol::requestFrameSize(frame.left(protocol::kFrameHeaderBytes)), frame.size());
}

TEST(DbWorkerProtocol, StrayOutputBeforeTheFrame_IsRefused) {
  EXPECT_THROW(protocol::decodeReply("warning\n" + protocol::encodeReply(sampleReply())), db::Error);
}

TEST(DbWorkerProtocol, CorruptedPayloadByte_NeverCrashesTheDecoder) {
  const QByteArray frame = protocol::encodeReply(sampleReply());
  for (int i = 12; i < qMin<int>(frame.size(), 200); ++i) {
    QByteArray damaged = frame;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5a);
    try {
      protocol::decodeReply(damaged);
    } catch (const db::Error&) {
    }
  }
  SUCCEED();
}

TEST(DbWorkerClient, ValidAnswer_IsReturned) {
  FakeWorker fake("answer");
  const protocol::Reply reply = worker::run(worker::Operation::Query, QStringLiteral("/x.mdb"), QStringLiteral("q"));
  ASSERT_EQ(reply.result.rows.size(), 1);
  EXPECT_EQ(reply.result.rows[0][1].value.toString(), QStringLiteral("Mus"));
}

TEST(DbWorkerClient, HangingWorker_IsKilledAtTheDeadline) {
  QElapsedTimer timer;
  timer.start();
  db::Error::Kind kind = db::Error::Kind::Other;
  const QString message = errorOf("hang", 800, &kind);
  EXPECT_TRUE(message.contains(QLatin1String("did not answer within 1 s"))) << message.toStdString();
  EXPECT_EQ(kind, db::Error::Kind::NoAnswer);
  EXPECT_LT(timer.elapsed(), 800 + 1500);
}

TEST(DbWorkerClient, HangingWorkerAtTheRealDeadline_SaysTenSeconds) {
  const QString message = errorOf("hang", 0);
  EXPECT_TRUE(message.contains(QLatin1String("did not answer within 10 s"))) << message.toStdString();
}

TEST(DbWorkerClient, CrashingWorker_IsAnErrorOfTheOperation) {
  db::Error::Kind kind = db::Error::Kind::NoAnswer;
  EXPECT_TRUE(errorOf("crash", 1500, &kind).contains(QLatin1String("crashed")));
  EXPECT_EQ(kind, db::Error::Kind::Other);
}

TEST(DbWorkerClient, GarbageTruncatedOrMissingAnswer_IsUnreadable) {
  for (const char* mode : {"garbage", "truncated", "silent"}) {
    const QString message = errorOf(mode);
    EXPECT_TRUE(message.contains(QLatin1String("unreadable answer"))) << mode << ": " << message.toStdString();
  }
}

TEST(DbWorkerClient, MissingWorkerProgram_IsAnError) {
  worker::setWorkerForTesting(QStringLiteral("/nonexistent/zova-db-worker"));
  EXPECT_THROW(worker::run(worker::Operation::Tables, QStringLiteral("/x.mdb")), db::Error);
  worker::setWorkerForTesting(QString());
}

TEST(DbWorkerClient, CallerCarriesOnAfterAFailedOperation) {
  EXPECT_FALSE(errorOf("hang", 300).isEmpty());
  FakeWorker fake("answer");
  EXPECT_NO_THROW(worker::run(worker::Operation::Query, QStringLiteral("/x.mdb"), QStringLiteral("q")));
}

TEST(DbWorkerLifetime, ConsecutiveOperations_ShareOneWorkerProcess) {
  FakeWorker fake("echo");
  const quint64 before = worker::processesStarted();
  const Echo first = echoOf(worker::Operation::Query, QStringLiteral("/a.mdb"), QStringLiteral("SELECT * FROM T"));
  const Echo second = echoOf(worker::Operation::Tables, QStringLiteral("/b.mdb"), QString());
  const Echo third = echoOf(worker::Operation::Check, QStringLiteral("/c.mdb"), QString());
  EXPECT_EQ(worker::processesStarted(), before + 1);
  EXPECT_EQ(first.process, second.process);
  EXPECT_EQ(second.process, third.process);
}

TEST(DbWorkerLifetime, RequestFrame_CarriesOperationFileStatementAndExpectedValues) {
  FakeWorker fake("echo");
  const Echo echo = echoOf(worker::Operation::Execute, QStringLiteral("/srv/Benachrichtigungen.mdb"),
                           QStringLiteral("UPDATE T SET Status='3' WHERE ID=17"),
                           {{"Status", integerField(2)}, {"Lehrer", textField(QStringLiteral("Mü"))}});
  EXPECT_EQ(echo.fields, QStringList({"execute", "/srv/Benachrichtigungen.mdb", "UPDATE T SET Status='3' WHERE ID=17",
                                      "Status=2;Lehrer=Mü;"}));
}

TEST(DbWorkerLifetime, WorkerThatEndedWhileIdle_IsReplacedWithoutAFailedOperation) {
  FakeWorker fake("once");
  const quint64 before = worker::processesStarted();
  const Echo first = echoOf(worker::Operation::Tables, QStringLiteral("/a.mdb"), QString());
  ASSERT_TRUE(waitUntilEnded(first.process));
  Echo second;
  EXPECT_NO_THROW(second = echoOf(worker::Operation::Tables, QStringLiteral("/a.mdb"), QString()));
  EXPECT_NE(first.process, second.process);
  EXPECT_EQ(worker::processesStarted(), before + 2);
}

TEST(DbWorkerLifetime, WorkerKilledAtTheDeadline_IsReplacedAndReapedLater) {
  EXPECT_FALSE(errorOf("hang", 300).isEmpty());
  FakeWorker fake("echo");
  const quint64 before = worker::processesStarted();
  EXPECT_NO_THROW(echoOf(worker::Operation::Tables, QStringLiteral("/a.mdb"), QString()));
  EXPECT_EQ(worker::processesStarted(), before + 1);
  EXPECT_TRUE(waitUntilAllReaped());
}

TEST(DbWorkerLifetime, CrashedWorker_IsReapedAndTheNextOperationGetsANewOne) {
  EXPECT_TRUE(errorOf("crash").contains(QLatin1String("crashed")));
  EXPECT_TRUE(waitUntilAllReaped());
  FakeWorker fake("answer");
  EXPECT_NO_THROW(worker::run(worker::Operation::Query, QStringLiteral("/x.mdb"), QStringLiteral("q")));
}

TEST(DbWorkerLifetime, ProgramThatCannotBeExecuted_CouldNotBeStarted) {
  QTemporaryDir dir;
  const QString program = dir.filePath("zova-db-worker");
  QFile file(program);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("\x7f" "ELF garbage, not a program");
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  worker::setWorkerForTesting(program);
  QString message;
  try {
    worker::run(worker::Operation::Tables, QStringLiteral("/x.mdb"));
  } catch (const db::Error& error) {
    message = error.message();
  }
  worker::setWorkerForTesting(QString());
  EXPECT_TRUE(message.contains(QLatin1String("could not be started"))) << message.toStdString();
  EXPECT_TRUE(message.contains(program)) << message.toStdString();
}

TEST(DbWorkerBound, FakeWorker_CannotTakeMoreThanTheBound) {
  if (workerAddressSpaceLimit() == 0) GTEST_SKIP() << "this build does not bound the worker";
  FakeWorker fake("allocate");
  EXPECT_NO_THROW(worker::run(worker::Operation::Allocate, QString(), QStringLiteral("16")));
  EXPECT_THROW(worker::run(worker::Operation::Allocate, QString(), QStringLiteral("1024")), db::Error);
}

TEST(DbWorkerBound, RealWorkerBeyondTheBound_FailsTheOperationAndServesOn) {
  if (workerAddressSpaceLimit() == 0) GTEST_SKIP() << "this build does not bound the worker";
  EXPECT_NO_THROW(worker::run(worker::Operation::Allocate, QString(), QStringLiteral("64")));
  const quint64 before = worker::processesStarted();
  QString message;
  try {
    worker::run(worker::Operation::Allocate, QString(), QStringLiteral("1024"));
  } catch (const db::Error& error) {
    message = error.message();
  }
  EXPECT_TRUE(message.contains(QLatin1String("memory"))) << message.toStdString();
  EXPECT_NO_THROW(worker::run(worker::Operation::Allocate, QString(), QStringLiteral("64")));
  EXPECT_EQ(worker::processesStarted(), before);
}
