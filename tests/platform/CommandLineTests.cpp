// The command-line conventions every program keeps: --help on stdout with
// status 0, --version "1.0.15", a wrong argument as usage on stderr with
// status 2, a failure as one line naming the file with status 1.
#include "ProgramRun.h"
#include "platform/CommandLine.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Tool {
  const char* name;
  const char* path;
};

const Tool kTools[] = {{"zova-monitor", ZOVA_MONITOR_EXE},
                       {"zova-db", ZOVA_DB_EXE},
                       {"zova-rtf", ZOVA_RTF_EXE},
                       {"zova-demo", ZOVA_DEMO_EXE}};

const cli::Program kExample{"zova-example", "zova-example FILE\nzova-example --help | --version\n", "Details.\n"};

class EveryProgram : public ::testing::TestWithParam<Tool> {};

// No display at all and a platform that needs one: a program that opened
// a window system before answering would abort here.
QProcessEnvironment withoutDisplay() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.remove("WAYLAND_DISPLAY");
  environment.insert("QT_QPA_PLATFORM", "xcb");
  return environment;
}

}  // namespace

TEST_P(EveryProgram, Help_PrintsUsageOnStdoutWithStatusZero) {
  const ProgramRun run = runProgram(GetParam().path, {"--help"}, withoutDisplay());
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.startsWith(QStringLiteral("usage: ") + GetParam().name)) << run.out.toStdString();
  EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST_P(EveryProgram, Version_PrintsTheVersionAlone) {
  const ProgramRun run = runProgram(GetParam().path, {"--version"}, withoutDisplay());
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, QStringLiteral("1.0.15\n"));
}

TEST_P(EveryProgram, UnknownOption_PrintsUsageOnStderrWithStatusTwo) {
  const ProgramRun run = runProgram(GetParam().path, {"--no-such-option"}, withoutDisplay());
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
  EXPECT_TRUE(run.err.startsWith(QStringLiteral("%1: ").arg(GetParam().name))) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(QStringLiteral("usage: ") + GetParam().name)) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tools, EveryProgram, ::testing::ValuesIn(kTools),
                         [](const auto& info) { return std::string(info.param.name).replace(4, 1, "_"); });

TEST(MonitorCommandLine, AnyArgument_IsRefusedBeforeTheWindowOpens) {
  for (const QString& argument : {QStringLiteral("-platform"), QStringLiteral("plan.mdb"), QStringLiteral("--")}) {
    const ProgramRun run = runProgram(ZOVA_MONITOR_EXE, {argument}, withoutDisplay());
    ASSERT_TRUE(run.finished) << argument.toStdString();
    EXPECT_EQ(run.exitCode, 2) << argument.toStdString();
    EXPECT_TRUE(run.err.contains("usage: zova-monitor")) << run.err.toStdString();
  }
}

TEST(DbCommandLine, WrongArgumentCounts_AreUsageErrors) {
  for (const QStringList& arguments :
       {QStringList{}, QStringList{"tables"}, QStringList{"query", "x.mdb"}, QStringList{"bogus", "x.mdb"},
        QStringList{"tables", "x.mdb", "extra"}}) {
    const ProgramRun run = runProgram(ZOVA_DB_EXE, arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains("usage: zova-db")) << run.err.toStdString();
  }
}

TEST(DbCommandLine, MissingFile_IsOneLineNamingItWithStatusOne) {
  const QString missing = QDir::temp().filePath("zova-no-such-file.mdb");
  const ProgramRun run = runProgram(ZOVA_DB_EXE, {"tables", missing});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
  EXPECT_EQ(run.err.count(missing), 1) << run.err.toStdString();
}

TEST(RtfCommandLine, UnreadableFile_IsOneLineNamingItWithStatusOne) {
  const QString missing = QDir::temp().filePath("zova-no-such-notice.rtf");
  const ProgramRun run = runProgram(ZOVA_RTF_EXE, {missing});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.startsWith("zova-rtf: " + missing)) << run.err.toStdString();
  EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
}

TEST(RtfCommandLine, WidthOutOfRange_IsAUsageError) {
  const ProgramRun run = runProgram(ZOVA_RTF_EXE, {"notice.rtf", "--png", "out.png", "--width", "5"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.err.contains("--width")) << run.err.toStdString();
}

TEST(DemoCommandLine, MissingParentFolder_IsRefusedAndNothingIsMade) {
  QTemporaryDir dir;
  const QString target = dir.filePath("typo/data");
  const ProgramRun run = runProgram(ZOVA_DEMO_EXE, {target});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(dir.filePath("typo"))) << run.err.toStdString();
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(DemoCommandLine, ExistingParentFolder_GetsTheDataFolder) {
  QTemporaryDir dir;
  const ProgramRun run = runProgram(ZOVA_DEMO_EXE, {dir.filePath("data")});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(QFile::exists(dir.filePath("data/Zova-Internet.mdb")));
}

TEST(CommandLineText, UsageLinesAreAlignedBelowTheFirst) {
  EXPECT_EQ(cli::usageText(kExample).toStdString(),
            "usage: zova-example FILE\n"
            "       zova-example --help | --version\n");
}

TEST(CommandLineText, Failure_NamesTheFileOnceOnOneLine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(cli::failure(kExample, "/srv/a.mdb", "cannot be read:\nPermission denied"), 1);
  EXPECT_EQ(cli::failure(kExample, "/srv/a.mdb", "Database file /srv/a.mdb does not exist"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "zova-example: /srv/a.mdb: cannot be read: Permission denied\n"
            "zova-example: Database file /srv/a.mdb does not exist\n");
}

TEST(CommandLineText, HelpAfterDoubleDash_IsAnArgument) {
  EXPECT_FALSE(cli::answerHelpOrVersion(kExample, {"--", "--help"}).has_value());
}
