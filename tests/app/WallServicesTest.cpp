// The monitor's wall services on the injectable clock: the screen's hours
// with a display power that records what it was told, and the status file
// that zova-check reads, against the window it describes.
#include <QFile>
#include <QJsonDocument>
#include <QCoreApplication>
#include <QTemporaryDir>

#include "app/ReportTexts.h"
#include "app/WallServices.h"
#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "tests/app/PlanFixture.h"

namespace {

// A screen whose power state is what the last switch made it, and which a
// test can wake as a key press would.
struct RecordingPower : DisplayPower {
  State screen = State::On;
  qint64 idle = 0;
  int offs = 0;
  int ons = 0;
  bool available() const override { return true; }
  QString reason() const override { return {}; }
  State state() override { return screen; }
  bool switchOff() override {
    ++offs;
    screen = State::Off;
    return true;
  }
  bool switchOn() override {
    ++ons;
    screen = State::On;
    return true;
  }
  qint64 idleMs() override { return idle; }
};

}  // namespace

TEST(SleepHours, SettingsTexts_GiveTheHoursOrSayWhatIsOdd) {
  const auto hours = SleepHours::fromSettings("06:30", "17:30", "Mo-Fr");
  ASSERT_TRUE(hours);
  EXPECT_EQ(hours->days, 0x1f);
  EXPECT_EQ(parseSchoolDays("mo, mi ,Fr"), quint8{0x15});
  EXPECT_EQ(parseSchoolDays("Sa-Mo"), quint8{0x61});  // through the weekend
  EXPECT_EQ(parseSchoolDays("Mo-Fr,So"), quint8{0x5f});
  EXPECT_FALSE(SleepHours::fromSettings("", "", "Mo-Fr"));  // never switched off
  for (const auto& [an, aus, tage] : {std::tuple{"6.30", "17:30", ""}, std::tuple{"06:30", "25:00", ""},
                                      std::tuple{"17:30", "06:30", ""}, std::tuple{"06:30", "", ""},
                                      std::tuple{"06:30", "17:30", "Mo-Fri"}, std::tuple{"06:30", "17:30", "Mo-Di-Mi"},
                                      std::tuple{"06:30", "17:30", ","}}) {
    QString problem;
    EXPECT_FALSE(SleepHours::fromSettings(an, aus, tage, &problem)) << an << " " << aus << " " << tage;
    EXPECT_FALSE(problem.isEmpty()) << an << " " << aus << " " << tage;
  }
  // From An up to, not including, Aus; Friday evening to Monday morning off.
  const QDate friday(2026, 12, 11);
  EXPECT_FALSE(hours->screenOnAt(QDateTime(friday, QTime(6, 29, 59))));
  EXPECT_TRUE(hours->screenOnAt(QDateTime(friday, QTime(6, 30))));
  EXPECT_FALSE(hours->screenOnAt(QDateTime(friday, QTime(17, 30))));
  EXPECT_FALSE(hours->screenOnAt(QDateTime(friday.addDays(1), QTime(10, 0))));
  EXPECT_EQ(hours->nextOnAfter(QDateTime(friday, QTime(17, 30))), QDateTime(friday.addDays(3), QTime(6, 30)));
}

class Wall : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    // One runtime folder for the whole process, as a session has: the
    // database layer keeps its private files there from its first use on.
    static QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const TDateTime heute = zdt::today();
    db.aula << makeDay(heute, "Stand 1", heute, 200) << makeDay(heute + 1, "Stand 1", heute, 3);
    db.lehrer = db.aula;
    db.write(planFolder());
  }
  void TearDown() override {
    wall.reset();
    FormTest::TearDown();
  }
  void start(const QStringList& kiosk) {
    writeSettings(QStringList{"AutoScroll=1", "[Kiosk]"} + kiosk);
    startForm(1000, 600);
    auto owned = std::make_unique<RecordingPower>();
    power = owned.get();
    wall = std::make_unique<WallServices>(*form, std::move(owned));
  }
  static void at(int hour, int minute, int day = 9) { zdt::setFixedNow(zdt::encode(2026, 12, day, hour, minute)); }
  QJsonObject statusFile() const {
    QFile file(wall->statusFile());
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
  }

  PlanDatabase db;
  RecordingPower* power = nullptr;
  std::unique_ptr<WallServices> wall;
};

TEST_F(Wall, OutsideItsHours_TheScreenIsOffAndAKeyWakesItOnlyOutsideKioskMode) {
  at(17, 29);  // Wednesday
  start({"An=06:30", "Aus=17:30", "Tage=Mo-Fr"});
  EXPECT_EQ(power->offs, 0);
  at(17, 30);
  wall->tick();
  EXPECT_EQ(power->offs, 1);
  EXPECT_TRUE(wall->screenSwitchedOff());
  EXPECT_TRUE(statusFile()["screenPower"].toObject()["switchedOff"].toBool());
  // Outside kiosk mode a key wakes it; it goes off once nobody has touched
  // anything for a while.
  power->screen = DisplayPower::State::On;
  power->idle = 1000;
  wall->tick();
  EXPECT_EQ(power->offs, 1);
  power->idle = WallServices::kWakeMs;
  wall->tick();
  EXPECT_EQ(power->offs, 2);
  // Polling goes on at night; the next school morning brings it back, once.
  at(6, 29, 10);
  wall->tick();
  EXPECT_EQ(power->ons, 0);
  at(6, 30, 10);
  wall->tick();
  wall->tick();
  EXPECT_EQ(power->ons, 1);
  EXPECT_FALSE(wall->screenSwitchedOff());
  // Saturday stays dark.
  at(10, 0, 12);
  wall->tick();
  EXPECT_EQ(power->offs, 3);
}

TEST_F(Wall, StatusFile_SaysWhatTheWindowShowsAndGoesWithTheMonitor) {
  at(10, 0);
  start({"An=7:00", "Aus=6:00"});  // odd: the screen stays on, and the file says why
  const QJsonObject first = statusFile();
  ASSERT_FALSE(first.isEmpty());
  EXPECT_EQ(first["pid"].toInteger(), QCoreApplication::applicationPid());
  EXPECT_EQ(first["settingsFile"].toString(), Einstellungspfad + "Zova-Monitor.ini");
  EXPECT_FALSE(first["screenPower"].toObject()["problem"].toString().isEmpty());
  EXPECT_EQ(power->offs, 0);
  ASSERT_GE(form->AnzSeiten, 2);
  form->ShowPage(2);
  wall->tick();
  const std::optional<QJsonObject> read = runtimestatus::readFor(Einstellungspfad);
  ASSERT_TRUE(read);
  const QJsonObject screen = (*read)["screen"].toObject();
  EXPECT_EQ(screen["date"].toString(), dayText(Plan.AktuellerTag->Datum));
  EXPECT_EQ(screen["page"].toInt(), 2);
  EXPECT_EQ(screen["pages"].toInt(), form->AnzSeiten);
  EXPECT_EQ(screen["audience"].toInt(), Plan.AktuellerTyp);
  EXPECT_EQ((*read)["planFile"].toObject()["file"].toString(), planFolder() + "Zova-Internet.mdb");
  const QString file = wall->statusFile();
  wall.reset();
  EXPECT_FALSE(QFile::exists(file));
  QString why;
  EXPECT_FALSE(runtimestatus::readFor(Einstellungspfad, &why));
  EXPECT_TRUE(why.contains("no status file")) << why.toStdString();
}

TEST_F(Wall, InKioskMode_AWokenScreenGoesOffAgainAtOnce) {
  at(20, 0);
  start({"Aktiv=1", "An=06:30", "Aus=17:30"});
  EXPECT_EQ(power->offs, 1);  // off from the start
  power->screen = DisplayPower::State::On;
  power->idle = 0;
  wall->tick();
  EXPECT_EQ(power->offs, 2);
}
