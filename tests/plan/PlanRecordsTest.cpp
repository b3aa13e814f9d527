// Day records and lists: lookup and sort by date, copying, weekday names,
// and shared ownership of records.
#include <gtest/gtest.h>

#include "plan/PlanRecords.h"

namespace {

TStatItemRef day(TDateTime datum, const QString& druckdatum = QString()) {
  auto item = std::make_shared<TStatItem>();
  item->Datum = datum;
  item->Druckdatum = druckdatum;
  return item;
}

}  // namespace

TEST(PlanRecords, FindByDate_EmptyListFindsNothing) {
  TStatList list;
  EXPECT_EQ(list.FindByDate(39083), nullptr);
}

TEST(PlanRecords, FindByDate_ReturnsTheLastOfEqualDates) {
  TStatList list;
  list.Add(day(39083, "first"));
  list.Add(day(39084, "other"));
  list.Add(day(39083, "second"));
  ASSERT_NE(list.FindByDate(39083), nullptr);
  EXPECT_EQ(list.FindByDate(39083)->Druckdatum, "second");
}

TEST(PlanRecords, FindByDate_NeverMatchesADateWithATimeFraction) {
  TStatList list;
  list.Add(day(39083.5));
  EXPECT_EQ(list.FindByDate(39083), nullptr);
  EXPECT_NE(list.FindByDate(39083.5), nullptr);
}

TEST(PlanRecords, SortByDate_OrdersEarliestFirstAndKeepsEqualDatesAdjacent) {
  TStatList list;
  for (double d : {3.0, 1.0, 2.0, 1.0}) list.Add(day(d));
  list.SortByDate();
  std::vector<double> order;
  for (const auto& item : list) order.push_back(item->Datum);
  EXPECT_EQ(order, (std::vector<double>{1, 1, 2, 3}));
}

TEST(PlanRecords, Assign_CopiesEveryFieldIncludingGeaendertAndHeadings) {
  TStatItem source;
  source.Datum = 39083;
  source.DruckZeit = 39082.75;
  source.Geaendert = true;
  source.FehlRaeume = "R101, R102";
  source.BitteRTF = "{\\rtf1 x}";
  source.Spalten[7] = "Bemerkung";
  TStatItem target;
  target.Assign(source);
  EXPECT_TRUE(target.Geaendert);
  EXPECT_EQ(target.DruckZeit, 39082.75);
  EXPECT_EQ(target.FehlRaeume, "R101, R102");
  EXPECT_EQ(target.BitteRTF, "{\\rtf1 x}");
  EXPECT_EQ(target.Spalten[7], "Bemerkung");
}

TEST(PlanRecords, WochentagIndex_CountsFromMonday) {
  EXPECT_EQ(WochentagIndex(zdt::encode(2007, 1, 1)), 0);  // a Monday
  EXPECT_EQ(Wochentage[WochentagIndex(zdt::encode(2007, 1, 1))], "Montag");
  EXPECT_EQ(WochentagIndex(zdt::encode(2007, 1, 7)), 6);  // a Sunday
  EXPECT_EQ(Wochentage[6], "Sonntag");
  EXPECT_EQ(WochentagIndex(zdt::encode(2007, 1, 6)), 5);  // a Saturday
  EXPECT_EQ(WochentagIndex(zdt::encode(2007, 1, 1, 23, 59)), 0);
}

TEST(PlanRecords, ClearedList_RecordStaysReadableThroughAnotherReference) {
  TStatList list;
  list.Add(day(39083, "12.03.2007 07:45"));
  TStatItemRef aktuellerTag = list.FindByDate(39083);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  ASSERT_TRUE(aktuellerTag);
  EXPECT_EQ(aktuellerTag->Druckdatum, "12.03.2007 07:45");
}

TEST(PlanRecords, DynItemFields_AreAddressedByColumnNumber) {
  TDynItem row;
  row.F(1) = "5a";
  row.F(7) = "fällt aus";
  EXPECT_EQ(row.F1, "5a");
  EXPECT_EQ(row.F7, "fällt aus");
}
