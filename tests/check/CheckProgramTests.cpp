// zova-check as a program: its exit statuses, its JSON, --config-home, and
// that it writes nothing into the settings folder or the plan folder.
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>

#include "CheckFixture.h"
#include "tests/notifications/NotificationFixture.h"
#include "tests/platform/ProgramRun.h"

namespace {

// What a folder holds: each entry below it with its kind, size, time stamp
// and content hash.
QMap<QString, QString> contentOf(const QString& folder) {
  QMap<QString, QString> entries;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    QString facts = info.isDir() ? QStringLiteral("folder") : QString::number(info.size());
    facts += u' ' + QString::number(info.lastModified().toMSecsSinceEpoch());
    QFile file(info.filePath());
    if (info.isFile() && file.open(QIODevice::ReadOnly))
      facts += u' ' + QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    entries.insert(QDir(folder).relativeFilePath(info.filePath()), facts);
  }
  return entries;
}

class CheckProgram : public CheckTest {
 protected:
  // Runs zova-check with the test's settings folder as XDG_CONFIG_HOME.
  ProgramRun run(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configHome());
    environment.insert("ZOVA_TEST_EXPORT_QUIET_MS", "200");
    return runProgram(ZOVA_CHECK_EXE, arguments, environment, 60000);
  }
};

}  // namespace

TEST_F(CheckProgram, ExitStatus_IsZeroWhenThePlanIsShown) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings();
  const ProgramRun result = run({"--at", "2026-12-09 10:00"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(result.out.contains("A monitor started now shows the plan of 2026-12-09")) << result.out.toStdString();
}

TEST_F(CheckProgram, ExitStatus_IsOneWhenAStateTextIsShown) {
  writeSettings({}, planFolder() + "export/");
  const ProgramRun result = run({});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
  EXPECT_TRUE(result.out.contains("\"Keine Verbindung zur Datenbank! Press F10\"")) << result.out.toStdString();
}

TEST_F(CheckProgram, ExitStatus_IsTwoForWrongUsage) {
  for (const QStringList& arguments :
       {QStringList{"--bogus"}, QStringList{"--at", "9.12.2026 10:00"}, QStringList{"--at", "2026-12-09 10:00:60"},
        QStringList{"--page", "2"},
        QStringList{"--png", "x.png", "--audience", "2"}, QStringList{"--png", "x.png", "--size", "0x10"},
        QStringList{"--config-home"}}) {
    const ProgramRun result = run(arguments);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.startsWith("zova-check: ")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("usage: zova-check")) << result.err.toStdString();
  }
}

TEST_F(CheckProgram, HelpAndVersion_FollowTheConventions) {
  const ProgramRun help = run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.startsWith("usage: zova-check")) << help.out.toStdString();
  const ProgramRun version = run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "1.0.15\n");
}

TEST_F(CheckProgram, Json_ParsesAndHoldsTheFacts) {
  planOf({weekDay(2), weekDay(3)}, 7).write(planFolder());
  writeSettings({"Fontsize=40"});
  const ProgramRun result = run({"--json", "--at", "2026-12-09 10:00"});
  ASSERT_TRUE(result.finished);
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(result.out.toUtf8(), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  const QJsonObject report = document.object();
  EXPECT_EQ(report["exitStatus"].toInt(), 0);
  EXPECT_EQ(report["at"].toString(), "2026-12-09 10:00");
  EXPECT_EQ(report["planFile"]["file"].toString(), planFolder() + "Zova-Internet.mdb");
  EXPECT_EQ(report["screen"]["date"].toString(), "2026-12-09");
  EXPECT_EQ(report["screen"]["rows"].toArray().size(), 7);
  EXPECT_EQ(report["days"]["audiences"][1]["days"].toArray().size(), 2);
  EXPECT_EQ(report["settings"]["file"].toString(), settingsFolder() + "Zova-Monitor.ini");
}

TEST_F(CheckProgram, ConfigHome_NamesTheSettingsFolderToCheck) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings();
  QTemporaryDir elsewhere;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", elsewhere.path());
  const ProgramRun result =
      runProgram(ZOVA_CHECK_EXE, {"--config-home", configHome(), "--json"}, environment, 60000);
  ASSERT_TRUE(result.finished);
  const QJsonObject report = QJsonDocument::fromJson(result.out.toUtf8()).object();
  EXPECT_EQ(report["settings"]["file"].toString(), settingsFolder() + "Zova-Monitor.ini");
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
}

TEST_F(CheckProgram, NothingIsWritten_IntoTheSettingsOrPlanFolder) {
  planOf({weekDay(2)}).write(planFolder());
  // Due notifications: the monitor's check reads them and writes nothing back.
  notiftest::writeNotes(planFolder() + "Benachrichtigungen.mdb", {notiftest::note(1, 2, 30), notiftest::note(2, 4, 30)});
  writeSettings({"LastTyp=1", "Left=-20"}, QString(), planFolder());
  const auto settingsBefore = contentOf(configHome());
  const auto planBefore = contentOf(planFolder());
  QTemporaryDir pictures;
  const ProgramRun result =
      run({"--png", pictures.path() + "/page.png", "--audience", "0", "--at", "2026-12-08 10:00", "--json"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_TRUE(QFile::exists(pictures.path() + "/page.png"));
  const QJsonObject report = QJsonDocument::fromJson(result.out.toUtf8()).object();
  EXPECT_EQ(report["notifications"]["due"].toInt(), 2);
  EXPECT_EQ(contentOf(configHome()), settingsBefore);
  EXPECT_EQ(contentOf(planFolder()), planBefore);
}

TEST_F(CheckProgram, NoSettingsFolder_IsNotCreated) {
  const ProgramRun result = run({});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(contentOf(configHome()).isEmpty()) << contentOf(configHome()).keys().join(' ').toStdString();
}
