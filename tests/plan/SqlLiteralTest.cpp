// Jet SQL date literals and the plan connection string.
#include <gtest/gtest.h>

#include <QLocale>

#include "plan/DataModule.h"
#include "settings/SettingsValues.h"

TEST(SqlLiterals, MonthFirstWithFixedSeparators) {
  EXPECT_EQ(SQLDate(zdt::encode(2007, 3, 15, 14, 5, 9)), "#03/15/2007#");
  EXPECT_EQ(SQLDateTime(zdt::encode(2007, 3, 15, 14, 5, 9)), "#03/15/2007 14.05.09#");
  EXPECT_EQ(SQLDate(zdt::encode(2008, 1, 5, 23, 59)), "#01/05/2008#");
  EXPECT_EQ(SQLDateTime(zdt::encode(2008, 1, 5, 23, 59)), "#01/05/2008 23.59.00#");
}

TEST(SqlLiterals, ZeroIsTheEpochAtMidnight) {
  EXPECT_EQ(SQLDateTime(0), "#12/30/1899 00.00.00#");
}

TEST(SqlLiterals, DoNotFollowTheLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(SQLDateTime(zdt::encode(2026, 12, 8, 7, 15, 30)), "#12/08/2026 07.15.30#");
  QLocale::setDefault(saved);
}

TEST(PlanConnectionString, JoinsDatenpfadAndFileNameWithoutASeparator) {
  Settings.Datenpfad = "/srv/plan/";
  EXPECT_EQ(TDM::PlanConnectionString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/plan/Zova-Internet.mdb;Mode=READ;"
            "Persist Security Info=False;");
  Settings.Datenpfad.clear();
  EXPECT_EQ(TDM::PlanConnectionString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Zova-Internet.mdb;Mode=READ;"
            "Persist Security Info=False;");
}
