// zova-check's settings report (defaults, unreadable values, values the
// dialog would not offer, the read error, Datenpfad from "Zova.ini"), its
// picture of a chosen audience, day and page, and the main window's
// ShowPage, which the picture's paging uses.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>

#include "CheckFixture.h"
#include "PlanCheck.h"
#include "plan/PlanState.h"

namespace {

QJsonObject keyNamed(const QJsonObject& report, const QString& key) {
  for (const QJsonValue& entry : report["settings"]["keys"].toArray())
    if (entry["key"].toString() == key) return entry.toObject();
  ADD_FAILURE() << "no key " << key.toStdString();
  return {};
}

// The problem a check ends with, or a problem with an empty message when it
// ended with a report.
CheckProblem problemOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const CheckProblem& problem) {
    return problem;
  }
  return {};
}

}  // namespace

using CheckSettings = CheckTest;

TEST_F(CheckSettings, UnreadableAndOutOfRangeValues_AreMarked) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings({"Fontsize=40", "AutoScroll=True", "Haltbarkeit=18:10", "ScrollTime=8"});
  const QJsonObject report = check();
  const QJsonObject fontsize = keyNamed(report, "Fontsize");
  EXPECT_EQ(fontsize["value"].toString(), "40");
  EXPECT_FALSE(fontsize["default"].toBool());
  EXPECT_TRUE(fontsize["outsideRange"].toBool());
  EXPECT_EQ(fontsize["dialogRange"].toString(), "6 to 28");
  const QJsonObject autoScroll = keyNamed(report, "AutoScroll");
  EXPECT_EQ(autoScroll["value"].toString(), "0");
  EXPECT_TRUE(autoScroll["default"].toBool());
  EXPECT_TRUE(autoScroll["unreadable"].toBool());
  EXPECT_EQ(autoScroll["inFile"].toString(), "True");
  EXPECT_TRUE(keyNamed(report, "Haltbarkeit")["outsideRange"].toBool());  // between two quarter hours
  const QJsonObject scrollTime = keyNamed(report, "ScrollTime");
  EXPECT_FALSE(scrollTime["default"].toBool());
  EXPECT_FALSE(scrollTime["outsideRange"].toBool());
  const QJsonObject karenzZeit = keyNamed(report, "KarenzZeit");
  EXPECT_TRUE(karenzZeit["default"].toBool());
  EXPECT_FALSE(karenzZeit["unreadable"].toBool());
  EXPECT_TRUE(karenzZeit["inFile"].isNull());
}

TEST_F(CheckSettings, NoSettingsFile_EveryKeyTakesItsDefaultAndNoFolderIsCreated) {
  const QJsonObject report = check();
  EXPECT_FALSE(report["settings"]["exists"].toBool());
  const QJsonArray keys = report["settings"]["keys"].toArray();
  EXPECT_EQ(keys.size(), 29);
  for (const QJsonValue& key : keys) EXPECT_TRUE(key["default"].toBool()) << key["key"].toString().toStdString();
  EXPECT_TRUE(report["settings"]["datenpfadFrom"].isNull());
  EXPECT_TRUE(report["screen"]["why"].toString().startsWith("Datenpfad is empty"));
  EXPECT_FALSE(QDir(configHome() + "/Kelvaro").exists());
}

TEST_F(CheckSettings, ScreenHours_AreReportedOrWhyTheyAreIgnored) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings({"[Kiosk]", "An=06:30", "Aus=17:30", "Tage=Mo-Fr"});
  EXPECT_EQ(check()["settings"].toObject()["screenHours"].toObject()["on"].toString(), "06:30-17:30 Mo-Fr");
  writeSettings({"[Kiosk]", "An=17:30", "Aus=06:30"});
  EXPECT_TRUE(check()["settings"].toObject()["screenHours"].toObject()["problem"].toString().contains("not before"));
}

TEST_F(CheckSettings, SettingsFileThatCannotBeRead_ReportsTheMessageTheMonitorWouldShow) {
  QDir().mkpath(settingsFolder() + "Zova-Monitor.ini");  // a folder in its place
  const QJsonObject report = check();
  const QString message = "Fehler beim Lesen der Datei " + settingsFolder() + "Zova-Monitor.INI";
  EXPECT_EQ(report["settings"]["readError"].toString(), message);
  ASSERT_EQ(report["messages"].toArray().size(), 1);
  EXPECT_EQ(report["messages"][0]["text"].toString(), message);
}

TEST_F(CheckSettings, EmptyDatenpfad_IsTakenFromZovaIni) {
  planOf({weekDay(2)}).write(planFolder());
  writeSettings({}, QStringLiteral(""));
  const QString producer = configHome() + "/Kelvaro/Zentrova2007/";
  QDir().mkpath(producer);
  QFile zovaIni(producer + "Zova.ini");
  ASSERT_TRUE(zovaIni.open(QIODevice::WriteOnly));
  zovaIni.write("[Settings]\nInternetpfad=" + planFolder().toUtf8() + "\n");
  zovaIni.close();
  const QJsonObject report = check();
  EXPECT_EQ(report["settings"]["datenpfadFrom"].toString(), "Zova.ini");
  EXPECT_EQ(report["settings"]["zovaIni"]["Internetpfad"].toString(), planFolder());
  EXPECT_EQ(status, 0);
}

TEST_F(CheckSettings, WindowSizeBeyondAnyScreen_IsLaidOutAtTheLargestAndSaidSo) {
  planOf({weekDay(2)}, 30).write(planFolder());
  writeSettings({"Width=0", "Height=2000000000"});
  const QJsonObject report = check();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(report["screen"]["window"].toString(), "1x10000");
  EXPECT_EQ(texts(report["screen"]["sizeNotes"]).value(0), "Width x Height 0x2000000000 is laid out as 1x10000");
}

class CheckPicture : public CheckTest {
 protected:
  void SetUp() override {
    CheckTest::SetUp();
    planOf({weekDay(2), weekDay(3)}, 60).write(planFolder());
    writeSettings({"AutoScroll=1", "Width=900", "Height=700"});
  }
  QString pictureFile() const { return m_pictures.path() + "/page.png"; }
  QTemporaryDir m_pictures;
};

TEST_F(CheckPicture, PageOfAnotherAudienceAndDay_IsWrittenAtTheGivenSize) {
  CheckOptions options;
  options.png = pictureFile();
  options.size = QSize(640, 480);
  options.audience = 1;
  options.day = QDate(2026, 12, 10);
  options.page = 2;
  const QJsonObject report = check(options);
  const QJsonObject png = report["png"].toObject();
  EXPECT_EQ(png["audience"].toInt(), 1);
  EXPECT_EQ(png["date"].toString(), "2026-12-10");
  EXPECT_EQ(png["page"].toInt(), 2);
  EXPECT_GE(png["pages"].toInt(), 3);
  EXPECT_EQ(QImage(pictureFile()).size(), QSize(640, 480));
  // The report itself stays on the first page the monitor shows.
  EXPECT_EQ(report["screen"]["audience"].toInt(), 0);
  EXPECT_EQ(report["screen"]["date"].toString(), "2026-12-09");
  EXPECT_EQ(report["screen"]["window"].toString(), "900x700");
}

TEST_F(CheckPicture, DayThePlanLacks_IsAUsageProblemNamingTheDays) {
  CheckOptions options;
  options.png = pictureFile();
  options.day = QDate(2026, 12, 12);
  const CheckProblem problem = problemOf([&] { check(options); });
  EXPECT_TRUE(problem.usage);
  EXPECT_TRUE(problem.message.contains("2026-12-12") && problem.message.contains("2026-12-10"))
      << problem.message.toStdString();
  EXPECT_FALSE(QFile::exists(pictureFile()));
}

TEST_F(CheckPicture, PageBeyondTheDay_IsAUsageProblem) {
  CheckOptions options;
  options.png = pictureFile();
  options.page = 99;
  const CheckProblem problem = problemOf([&] { check(options); });
  EXPECT_TRUE(problem.usage);
  EXPECT_TRUE(problem.message.contains("not 99")) << problem.message.toStdString();
}

TEST_F(CheckPicture, PictureThatCannotBeWritten_IsAFailureNamingTheFile) {
  CheckOptions options;
  options.png = m_pictures.path() + "/no-such-folder/page.png";
  const CheckProblem problem = problemOf([&] { check(options); });
  EXPECT_FALSE(problem.usage);
  EXPECT_EQ(problem.file, options.png);
  EXPECT_FALSE(problem.message.isEmpty());
}

// ShowPage puts the page on screen that automatic paging reaches after
// page - 1 ticks.
using ShowPageTest = FormTest;

TEST_F(ShowPageTest, PageThree_IsWhatTwoAutomaticTicksShow) {
  PlanDatabase plan;
  plan.aula << makeDay(zdt::today(), "09.12.2026 07:00", zdt::today() + zdt::encodeTime(7, 0), 25);
  plan.write(planFolder());
  writeSettings({"AutoScroll=1"});
  startForm();
  fitVisibleRows(10);
  ASSERT_EQ(form->AnzSeiten, 3);
  form->ScrollTimerTimer();
  form->ScrollTimerTimer();
  const int tickedTopRow = form->Grid->TopRow();
  const QString tickedPageRow = form->Grid2->Cell(0, form->Seitenzeile);
  form->Showdaten();
  form->ShowPage(3);
  EXPECT_EQ(form->Grid->TopRow(), tickedTopRow);
  EXPECT_EQ(form->Grid->TopRow(), 21);
  EXPECT_EQ(form->Grid2->Cell(0, form->Seitenzeile), tickedPageRow);
  EXPECT_EQ(form->Grid2->Cell(0, form->Seitenzeile), "Seite 3 von 3");
  EXPECT_EQ(form->AktSeite, 3);
}

TEST_F(ShowPageTest, ManualMode_MovesTheTableAndLeavesThePageRowEmpty) {
  PlanDatabase plan;
  plan.aula << makeDay(zdt::today(), "09.12.2026 07:00", zdt::today() + zdt::encodeTime(7, 0), 25);
  plan.write(planFolder());
  writeSettings();
  startForm();
  fitVisibleRows(10);
  form->ShowPage(2);
  EXPECT_EQ(form->Grid->TopRow(), 11);
  EXPECT_TRUE(form->Grid2->Cell(0, form->Seitenzeile).isEmpty());
}
