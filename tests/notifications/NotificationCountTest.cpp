// Counting due notifications: the grace time, the day and status filters,
// the next check's interval (truncated, at least 2000 ms, never overflowing)
// and the clock warning at most once per run.
#include <climits>

#include "notifications/Notifications.h"
#include "notifications/TNachrichtListe.h"
#include "settings/SettingsValues.h"
#include "tests/notifications/NotificationFixture.h"

using namespace notiftest;

namespace {

// A valid notification for today, last changed `minutesAgo` minutes ago.
std::unique_ptr<TNachrichtsatz> pending(double minutesAgo, int status = 2, int dayOffset = 0) {
  auto r = std::make_unique<TNachrichtsatz>();
  r->ID = 1;
  r->Status = static_cast<std::uint8_t>(status);
  r->SetTime = now() - minutes(minutesAgo);
  r->Datum = today() + dayOffset;
  return r;
}

}  // namespace

using NotificationCount = NotificationTest;

TEST_F(NotificationCount, LoadedFromTheDatabase_OnlyOpenAndCancelledOfTodayOnCount) {
  Note invalid = note(9, 2, 60);
  invalid.valid = false;
  writeNotes({note(1, 1, 60), note(2, 2, 60), note(3, 3, 60), note(4, 4, 60), note(5, 5, 60), note(6, 2, 60, 3),
              note(7, 2, 60, -1), invalid});
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(14, true));
  EXPECT_EQ(list.Count(), 7);  // status 1 and yesterday's are loaded, the invalid one is not
  EXPECT_EQ(list.CountDue(), 3);  // 2, 4 and the day after tomorrow's 2
  EXPECT_EQ(list.DueCount, 3);
}

TEST_F(NotificationCount, GraceTimeZero_DueAtOnceAndNextCheckIn2000Ms) {
  Settings.KarenzZeit = 0;
  TNachrichtListe list;
  list.Add(pending(0));
  EXPECT_EQ(list.CountDue(), 1);
  EXPECT_EQ(intervals, QVector<int>{2000});
}

TEST_F(NotificationCount, NonePending_NextCheckAfterExactlyOneGraceTime) {
  TNachrichtListe list;
  list.Add(pending(40));
  for (int minutes : {5, 13, 26, 27, 30}) {
    Settings.KarenzZeit = minutes;
    EXPECT_EQ(list.CountDue(), 1);
    EXPECT_EQ(intervals.last(), minutes * 60000) << minutes;
  }
}

TEST_F(NotificationCount, OldestPendingDecidesTheInterval_TruncatedToWholeMilliseconds) {
  TNachrichtListe list;
  // 2.9999 s before the end of its grace time; a younger one does not count.
  list.Add(pending(5 - 2.9999 / 60));
  list.Add(pending(1));
  EXPECT_EQ(list.CountDue(), 0);
  EXPECT_EQ(intervals, QVector<int>{2999});
}

TEST_F(NotificationCount, LessThanTwoSecondsLeft_NextCheckIn2000Ms) {
  TNachrichtListe list;
  list.Add(pending(5 - 0.5 / 60));
  EXPECT_EQ(list.CountDue(), 0);
  EXPECT_EQ(intervals, QVector<int>{2000});
}

TEST_F(NotificationCount, ExactlyOneGraceTimeAgo_IsDue) {
  TNachrichtListe list;
  list.Add(pending(5));
  EXPECT_EQ(list.CountDue(), 1);
}

TEST_F(NotificationCount, LaterOfSetTimeAndRueckTime_IsTheLastChange) {
  TNachrichtListe list;
  auto r = pending(60, 4);
  r->RueckTime = now() - minutes(1);  // cancelled a minute ago
  list.Add(std::move(r));
  EXPECT_EQ(list.CountDue(), 0);
  ASSERT_EQ(intervals.size(), 1);
  EXPECT_NEAR(intervals[0], 240000, 1);  // four minutes, to the precision of the time stamps
}

TEST_F(NotificationCount, YesterdaysOpenNotification_IsNeverDue) {
  TNachrichtListe list;
  list.Add(pending(600, 2, -1));
  EXPECT_EQ(list.CountDue(), 0);
}

TEST_F(NotificationCount, TwoTimeStampsAheadOfTheClock_OneMessageInTheFirstCheckOnly) {
  TNachrichtListe list;
  list.Add(pending(-3));
  list.Add(pending(-10));
  EXPECT_EQ(list.CountDue(), 0);
  EXPECT_EQ(messages->texts, QStringList{"Bitte die Uhrzeit mit dem Server der Datenbank synchronisieren"});
  EXPECT_EQ(intervals, QVector<int>{300000});  // a stamp ahead is never the oldest pending
  EXPECT_TRUE(ClockWarningShown);
  list.CountDue();
  TNachrichtListe other;
  other.Add(pending(-7));
  other.CountDue();
  EXPECT_EQ(messages->texts.size(), 1);
}

TEST_F(NotificationCount, HugeGraceTime_IntervalHeldToTheLargestTimerValue) {
  Settings.KarenzZeit = 100000;
  TNachrichtListe list;
  EXPECT_EQ(list.CountDue(), 0);
  Settings.KarenzZeit = INT_MAX;
  list.CountDue();
  Settings.KarenzZeit = -5;
  list.CountDue();
  EXPECT_EQ(intervals, (QVector<int>{INT_MAX, INT_MAX, 2000}));
}
