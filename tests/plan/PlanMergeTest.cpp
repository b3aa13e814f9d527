// Merging a poll's day records into the shown list.
#include <gtest/gtest.h>

#include "plan/PlanMerge.h"

namespace {

TStatItemRef day(TDateTime datum, const QString& druckdatum, const QString& notice = QString()) {
  auto item = std::make_shared<TStatItem>();
  item->Datum = datum;
  item->Druckdatum = druckdatum;
  item->BitteRTF = notice;
  return item;
}

struct Merge {
  TStatItemRef onScreen;
  int blanked = 0;
  void run(const TStatList& fresh, TStatList& shown) {
    Vergleiche(fresh, shown, [this] { return onScreen; },
               [this] {
                 ++blanked;
                 onScreen.reset();
               });
  }
};

}  // namespace

TEST(PlanMerge, NewDruckdatum_ReplacesTheRecordInPlaceAndMarksIt) {
  TStatList shown;
  shown.Add(day(1, "12.03.2007 07:45", "old"));
  const TStatItemRef before = shown.Items(0);
  TStatList fresh;
  fresh.Add(day(1, "12.03.2007 08:10", "new"));
  Merge merge;
  merge.run(fresh, shown);
  ASSERT_EQ(shown.Count(), 1);
  EXPECT_EQ(shown.Items(0), before);  // same object: references see the new version
  EXPECT_TRUE(before->Geaendert);
  EXPECT_EQ(before->BitteRTF, "new");
}

TEST(PlanMerge, SameDruckdatum_LeavesTheRecordUntouchedEvenWhenOtherFieldsDiffer) {
  TStatList shown;
  shown.Add(day(1, "12.03.2007 07:45", "old"));
  TStatList fresh;
  fresh.Add(day(1, "12.03.2007 07:45", "changed notice"));
  Merge merge;
  merge.run(fresh, shown);
  EXPECT_FALSE(shown.Items(0)->Geaendert);
  EXPECT_EQ(shown.Items(0)->BitteRTF, "old");
}

TEST(PlanMerge, DruckdatumComparison_IsCaseSensitive) {
  TStatList shown;
  shown.Add(day(1, "stand a"));
  TStatList fresh;
  fresh.Add(day(1, "Stand a"));
  Merge merge;
  merge.run(fresh, shown);
  EXPECT_TRUE(shown.Items(0)->Geaendert);
}

TEST(PlanMerge, NewDay_IsAppendedAsACopyNotMarked) {
  TStatList shown;
  shown.Add(day(1, "a"));
  TStatList fresh;
  fresh.Add(day(1, "a"));
  fresh.Add(day(2, "b"));
  Merge merge;
  merge.run(fresh, shown);
  ASSERT_EQ(shown.Count(), 2);
  EXPECT_EQ(shown.Items(1)->Datum, 2);
  EXPECT_FALSE(shown.Items(1)->Geaendert);
  EXPECT_NE(shown.Items(1), fresh.Items(1));
  EXPECT_EQ(merge.blanked, 0);
}

TEST(PlanMerge, VanishedDays_AreRemovedIncludingNeighbours) {
  TStatList shown;
  for (double d : {1.0, 2.0, 3.0, 4.0}) shown.Add(day(d, "x"));
  TStatList fresh;
  fresh.Add(day(1, "x"));
  fresh.Add(day(4, "x"));
  Merge merge;
  merge.run(fresh, shown);
  ASSERT_EQ(shown.Count(), 2);
  EXPECT_EQ(shown.Items(0)->Datum, 1);
  EXPECT_EQ(shown.Items(1)->Datum, 4);
  EXPECT_EQ(merge.blanked, 0);
}

TEST(PlanMerge, VanishedDayOnScreen_BlanksThePageOnce) {
  TStatList shown;
  shown.Add(day(1, "x"));
  shown.Add(day(2, "x"));
  Merge merge;
  merge.onScreen = shown.Items(1);
  TStatList fresh;
  fresh.Add(day(1, "x"));
  merge.run(fresh, shown);
  EXPECT_EQ(merge.blanked, 1);
  EXPECT_EQ(shown.Count(), 1);
}

TEST(PlanMerge, VanishedDayOfTheSameDateInTheOtherList_BlanksThePageToo) {
  // The page shows the teachers' record of day 2; the pupils' list loses day 2.
  auto teachersDay = day(2, "x");
  TStatList pupils;
  pupils.Add(day(2, "x"));
  Merge merge;
  merge.onScreen = teachersDay;
  merge.run(TStatList(), pupils);
  EXPECT_EQ(merge.blanked, 1);
  EXPECT_EQ(pupils.Count(), 0);
}

TEST(PlanMerge, EmptyDatabase_RemovesEveryShownRecord) {
  TStatList shown;
  for (double d : {1.0, 2.0, 3.0}) shown.Add(day(d, "x"));
  Merge merge;
  merge.run(TStatList(), shown);
  EXPECT_EQ(shown.Count(), 0);
}
