// The zova-db tool: one JSON object per row with exact numbers, the table
// list, updates, and one-line errors with exit status 1.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DbDamage.h"
#include "DbFixtures.h"

using namespace dbtest;

namespace {

class DbTool : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plan = m_dir.filePath("Zova-Internet.mdb");
    m_notifications = m_dir.filePath("Benachrichtigungen.mdb");
    writePlanFile(m_plan);
    writeNotificationFile(m_notifications);
  }

  QList<QJsonObject> query(const QString& file, const QString& sql) {
    int exitCode = -1;
    const QByteArray out = runProgram(siblingProgram("zova-db"), {"query", file, sql}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    QList<QJsonObject> rows;
    for (const QByteArray& line : out.split('\n')) {
      if (line.isEmpty()) continue;
      QJsonParseError error;
      const QJsonDocument document = QJsonDocument::fromJson(line, &error);
      EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
      rows.append(document.object());
    }
    return rows;
  }

  QTemporaryDir m_dir;
  QString m_plan, m_notifications;
};

}  // namespace

TEST_F(DbTool, Query_PrintsOneObjectPerRowWithTypedValues) {
  const auto rows = query(m_notifications, "SELECT * FROM BenachrichtigungsTabelle WHERE ID=19");
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0]["ID"].toInt(), 19);
  EXPECT_TRUE(rows[0]["Valid"].isBool());
  EXPECT_TRUE(rows[0]["RueckTime"].isNull());
  EXPECT_EQ(rows[0]["Lehrer"].toString(), QStringLiteral("Bär"));
  EXPECT_EQ(rows[0].keys().size(), 14);
}

TEST_F(DbTool, Query_PrintsDateTimesAsExactDayCounts) {
  const auto rows = query(m_plan, "SELECT * FROM Kinds ORDER BY ID");
  ASSERT_EQ(rows.size(), 4);
  EXPECT_EQ(rows[0]["T"].toDouble(), zdt::encode(9999, 12, 31, 23, 59, 59));
  EXPECT_EQ(rows[0]["D"].toDouble(), 0.1);
  EXPECT_EQ(rows[1]["T"].toDouble(), zdt::encode(1800, 1, 1, 6, 0, 0));
  EXPECT_EQ(rows[1]["D"].toDouble(), -1e300);
  EXPECT_EQ(rows[0]["Notice"].toString().size(), 60000);
}

TEST_F(DbTool, Tables_ListsOnePerLine) {
  EXPECT_EQ(runProgram(siblingProgram("zova-db"), {"tables", m_notifications}), QByteArray("BenachrichtigungsTabelle\n"));
}

TEST_F(DbTool, Exec_UpdatesTheFile) {
  int exitCode = -1;
  runProgram(siblingProgram("zova-db"),
             {"exec", m_notifications, "UPDATE BenachrichtigungsTabelle SET Status='3' WHERE ID=17"}, &exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(query(m_notifications, "SELECT * FROM BenachrichtigungsTabelle WHERE ID=17")[0]["Status"].toInt(), 3);
}

TEST_F(DbTool, Errors_AreOneLineWithStatusOne) {
  for (const QStringList& arguments :
       {QStringList{"query", m_plan, "SELECT * FROM Nope"}, QStringList{"query", m_plan, "DELETE FROM Kinds"},
        QStringList{"query", m_dir.filePath("missing.mdb"), "SELECT * FROM Kinds"},
        QStringList{"exec", m_notifications, "UPDATE BenachrichtigungsTabelle SET Status='3' WHERE ID=1"}}) {
    const ToolRun run = runTool(arguments[0], arguments[1], arguments.value(2), 20000);
    EXPECT_TRUE(run.finishedNormally);
    EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
    EXPECT_FALSE(run.stderrLine.isEmpty());
    EXPECT_FALSE(run.stderrLine.contains(u'\n')) << run.stderrLine.toStdString();
  }
}
