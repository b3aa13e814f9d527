// The worker protocol and the caller's handling of a worker that hangs,
// crashes or answers garbage: each is a db::Error of that one operation.
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "db/WorkerClient.h"
#include "db/WorkerProtocol.h"
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

QString errorOf(const char* mode, int deadlineMs = 1500) {
  FakeWorker fake(mode, deadlineMs);
  try {
    worker::run(worker::Operation::Query, QStringLiteral("/x.mdb"), QStringLiteral("SELECT * FROM T"));
  } catch (const db::Error& error) {
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

TEST(DbWorkerProtocol, ErrorReply_CarriesItsMessage) {
  protocol::Reply reply;
  reply.message = QStringLiteral("Table TDynTextAula does not exist");
  const protocol::Reply back = protocol::decodeReply(protocol::encodeReply(reply));
  EXPECT_FALSE(back.ok);
  EXPECT_EQ(back.message, reply.message);
}

TEST(DbWorkerProtocol, TruncatedOrExtendedFrame_IsRefused) {
  const QByteArray frame = protocol::encodeReply(sampleReply());
  for (qsizetype cut : {qsizetype(1), qsizetype(7), qsizetype(12), frame.size() / 2, frame.size() - 1})
    EXPECT_THROW(protocol::decodeReply(frame.left(cut)), db::Error) << cut;
  EXPECT_THROW(protocol::decodeReply(frame + "x"), db::Error);
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
  const QString message = errorOf("hang", 800);
  EXPECT_TRUE(message.contains(QLatin1String("did not answer within 1 s"))) << message.toStdString();
  EXPECT_LT(timer.elapsed(), 800 + 1500);
}

TEST(DbWorkerClient, HangingWorkerAtTheRealDeadline_SaysTenSeconds) {
  const QString message = errorOf("hang", 0);
  EXPECT_TRUE(message.contains(QLatin1String("did not answer within 10 s"))) << message.toStdString();
}

TEST(DbWorkerClient, CrashingWorker_IsAnErrorOfTheOperation) {
  EXPECT_TRUE(errorOf("crash").contains(QLatin1String("crashed")));
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
