// The SQL subset: tokenizing, parsing, WHERE/ORDER BY evaluation and the
// conversion of UPDATE values, on rows built in memory.
#include <gtest/gtest.h>

#include "db/sql/Evaluator.h"
#include "db/sql/SqlParser.h"
#include "db/sql/SqlTokenizer.h"
#include "platform/DateTime.h"
#include "tests/support/ParamName.h"

using namespace db;
using namespace db::sql;

namespace {

const QString kNotificationQuery = QStringLiteral(
    "SELECT * FROM BenachrichtigungsTabelle Where Datum>= #12/08/2026#And Valid=True order by "
    "Datum,Lehrer,SetTime,RueckTime;");

const QString kNotificationUpdate = QStringLiteral(
    "UPDATE BenachrichtigungsTabelle SET Status='3', Valid=True, SetTime=#12/08/2026 07.15.30#, "
    "RueckTime=#12/30/1899 00.00.00#, Datum=#12/08/2026#, Stunde='4', Lehrer='Mus', Klasse='7a', "
    "Fach='M', Bemerkung='Raum ''A1'' tauschen', Telefon='', Kopie='0', TAN='0' WHERE ID=17");

SelectStatement select(const QString& sql) { return std::get<SelectStatement>(parseStatement(sql)); }

ResultTable sampleTable() {
  ResultTable table;
  table.columns = {{"ID", ColumnKind::Long}, {"Datum", ColumnKind::DateTime},
                   {"Lehrer", ColumnKind::Text, 50}, {"Valid", ColumnKind::Boolean}};
  table.rows = {
      {integerField(1), dateTimeField(46364.0), textField("Mus"), booleanField(true)},
      {integerField(2), dateTimeField(46363.0), textField("Alb"), booleanField(true)},
      {integerField(3), dateTimeField(46365.5), textField("Müller"), booleanField(false)},
      {integerField(4), nullField(), textField("Zorn"), booleanField(true)},
      {integerField(5), dateTimeField(46364.25), textField("mus"), booleanField(true)},
  };
  return table;
}

QVector<int> ids(const ResultTable& table) {
  QVector<int> result;
  for (const ResultRow& row : table.rows) result.append(row[0].value.toInt());
  return result;
}

QVector<int> run(const QString& sql) {
  ResultTable table = sampleTable();
  applySelect(select(sql), table);
  return ids(table);
}

ColumnInfo column(ColumnKind kind, int maxChars = 0) { return ColumnInfo{"C", kind, maxChars}; }

Literal text(const QString& value) {
  Literal literal;
  literal.kind = Literal::Kind::Text;
  literal.text = value;
  return literal;
}

}  // namespace

// ---- tokenizer

TEST(DbSqlTokenizer, DoubledQuoteInsideText_IsOneQuote) {
  const auto tokens = tokenize(QStringLiteral("'Raum ''A1'' tauschen'"));
  ASSERT_EQ(tokens[0].kind, TokenKind::Text);
  EXPECT_EQ(tokens[0].text, QStringLiteral("Raum 'A1' tauschen"));
}

TEST(DbSqlTokenizer, DateLiteral_ReadsMonthFirstWithDottedTime) {
  const auto tokens = tokenize(QStringLiteral("#12/08/2026 07.15.30#"));
  ASSERT_EQ(tokens[0].kind, TokenKind::Date);
  EXPECT_EQ(tokens[0].date, zdt::encode(2026, 12, 8, 7, 15, 30));
}

TEST(DbSqlTokenizer, DateLiteralFollowedByKeyword_NeedsNoBlank) {
  const auto tokens = tokenize(QStringLiteral("#12/08/2026#And"));
  ASSERT_EQ(tokens.size(), 3);
  EXPECT_EQ(tokens[1].kind, TokenKind::Identifier);
  EXPECT_EQ(tokens[1].text, QStringLiteral("And"));
}

TEST(DbSqlTokenizer, ImpossibleDate_IsRefused) {
  EXPECT_THROW(tokenize(QStringLiteral("#02/30/2026#")), db::Error);
  EXPECT_THROW(tokenize(QStringLiteral("#13/01/2026#")), db::Error);
}

// ---- parser

TEST(DbSqlParser, PlanQueryWithoutClauses_NamesTheTable) {
  const SelectStatement statement = select(QStringLiteral("SELECT * FROM TStatTextAula"));
  EXPECT_EQ(statement.table, QStringLiteral("TStatTextAula"));
  EXPECT_FALSE(statement.where);
  EXPECT_TRUE(statement.orderBy.isEmpty());
}

TEST(DbSqlParser, NotificationQuery_HasConditionAndFourSortKeys) {
  const SelectStatement statement = select(kNotificationQuery);
  ASSERT_TRUE(statement.where);
  EXPECT_EQ(statement.where->kind, Condition::Kind::And);
  ASSERT_EQ(statement.orderBy.size(), 4);
  EXPECT_EQ(statement.orderBy[3].column, QStringLiteral("RueckTime"));
}

TEST(DbSqlParser, NotificationUpdate_HasFourteenAssignmentsAndTheKey) {
  const auto update = std::get<UpdateStatement>(parseStatement(kNotificationUpdate));
  EXPECT_EQ(update.assignments.size(), 13);
  EXPECT_EQ(update.keyValue, 17);
  EXPECT_EQ(update.assignments[9].value.text, QStringLiteral("Raum 'A1' tauschen"));
  EXPECT_EQ(update.assignments[1].value.kind, Literal::Kind::Boolean);
  EXPECT_EQ(update.assignments[3].value.number, 0.0);
}

TEST(DbSqlParser, KeywordsInAnyCase_AreAccepted) {
  EXPECT_NO_THROW(parseStatement(QStringLiteral("select * FROM t WhErE a = 1 ORDER by b desc")));
}

class DbSqlParserRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(DbSqlParserRefuses, StatementOutsideTheSubset_IsNotSupported) {
  try {
    parseStatement(QString::fromUtf8(GetParam()));
    FAIL() << "accepted: " << GetParam();
  } catch (const db::Error& error) {
    EXPECT_TRUE(error.message().contains(QLatin1String("not supported"))) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statements, DbSqlParserRefuses,
    ::testing::Values("SELECT ID FROM T", "SELECT * FROM A, B", "SELECT * FROM T WHERE NOT A=1",
                      "SELECT * FROM T WHERE A LIKE 'x'", "SELECT * FROM T WHERE A IN (1,2)",
                      "SELECT * FROM T GROUP BY A", "DELETE FROM T WHERE ID=1",
                      "INSERT INTO T VALUES (1)", "UPDATE T SET A=1", "UPDATE T SET A=1 WHERE B=2",
                      "UPDATE T SET A=1 WHERE ID=1 AND B=2", "UPDATE T SET A=1 WHERE ID='1'",
                      "UPDATE T SET A=1, A=2 WHERE ID=1", "SELECT * FROM T WHERE 1=1",
                      "SELECT * FROM T WHERE (A=1", "SELECT * FROM T; SELECT * FROM U",
                      "SELECT * FROM T ORDER BY", "SELECT * FROM T WHERE A='x", "SELECT * FROM T WHERE A ~ 1"),
    zovatest::TextParamName());

TEST(DbSqlParser, SortExpressionList_ReadsDirections) {
  const auto keys = parseSortExpression(QStringLiteral("Datum ASC, Lehrer DESC, ID"));
  ASSERT_EQ(keys.size(), 3);
  EXPECT_FALSE(keys[0].descending);
  EXPECT_TRUE(keys[1].descending);
  EXPECT_EQ(keys[2].column, QStringLiteral("ID"));
}

// ---- evaluation

TEST(DbSqlEvaluator, WholeDayNumber_MatchesOnlyMidnightOfThatDay) {
  EXPECT_EQ(run(QStringLiteral("Select * from T where Datum = 46364;")), QVector<int>({1}));
}

TEST(DbSqlEvaluator, NotificationCondition_KeepsValidRowsFromTheDayOn) {
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T Where Datum>= #12/08/2026#And Valid=True order by Datum,Lehrer")),
            QVector<int>({1, 5}));
}

TEST(DbSqlEvaluator, NullValue_FailsEveryComparison) {
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T WHERE Datum < 99999 OR Datum >= 99999")), QVector<int>({1, 2, 3, 5}));
}

TEST(DbSqlEvaluator, AndBindsTighterThanOr_ParenthesesRegroup) {
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T WHERE ID=1 OR ID=2 AND Valid=False")), QVector<int>({1}));
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T WHERE (ID=1 OR ID=3) AND Valid=False")), QVector<int>({3}));
}

TEST(DbSqlEvaluator, TextEquality_IgnoresCaseButNotAccents) {
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T WHERE Lehrer='MUS'")), QVector<int>({1, 5}));
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T WHERE Lehrer='Muller'")), QVector<int>());
}

TEST(DbSqlEvaluator, OrderByDescending_PutsNullLast) {
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T ORDER BY Datum DESC")), QVector<int>({3, 5, 1, 2, 4}));
}

TEST(DbSqlEvaluator, TextOrder_PlacesUmlautBesideItsBaseLetter) {
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM T WHERE Lehrer <> 'Zorn' ORDER BY Lehrer, ID")),
            QVector<int>({2, 3, 1, 5}));
}

TEST(DbSqlEvaluator, ComparingTextWithNumber_IsAnError) {
  EXPECT_THROW(run(QStringLiteral("SELECT * FROM T WHERE Lehrer = 3")), db::Error);
}

TEST(DbSqlEvaluator, MissingColumnInWhere_IsAnError) {
  EXPECT_THROW(run(QStringLiteral("SELECT * FROM T WHERE Nope = 3")), db::Error);
}

TEST(DbSqlEvaluator, MissingSortColumn_IsAnError) {
  ResultTable table = sampleTable();
  EXPECT_THROW(sortRows(table, parseSortExpression(QStringLiteral("Nope"))), db::Error);
}

TEST(DbSqlEvaluator, SortIsStable_ForEqualKeys) {
  ResultTable table = sampleTable();
  sortRows(table, parseSortExpression(QStringLiteral("Valid")));
  EXPECT_EQ(ids(table), QVector<int>({1, 2, 4, 5, 3}));  // True (-1) before False (0)
}

// ---- assignment conversion

TEST(DbSqlAssignment, QuotedDecimal_BecomesInteger) {
  const Field value = assignedValue(column(ColumnKind::Long), text("3"));
  EXPECT_EQ(value.type, Field::Type::Integer);
  EXPECT_EQ(value.value.toInt(), 3);
}

TEST(DbSqlAssignment, QuotedNegativeDecimal_BecomesNegativeInteger) {
  EXPECT_EQ(assignedValue(column(ColumnKind::Integer), text("-12")).value.toInt(), -12);
}

TEST(DbSqlAssignment, NonNumericTextForInteger_IsRefused) {
  EXPECT_THROW(assignedValue(column(ColumnKind::Long), text("3a")), db::Error);
}

TEST(DbSqlAssignment, ValueOutsideByteRange_IsRefused) {
  EXPECT_THROW(assignedValue(column(ColumnKind::Byte), text("256")), db::Error);
  EXPECT_THROW(assignedValue(column(ColumnKind::Integer), text("40000")), db::Error);
}

TEST(DbSqlAssignment, TextLongerThanColumn_IsRefused) {
  EXPECT_NO_THROW(assignedValue(column(ColumnKind::Text, 3), text("abc")));
  EXPECT_THROW(assignedValue(column(ColumnKind::Text, 3), text("abcd")), db::Error);
}

TEST(DbSqlAssignment, FractionForInteger_IsRefused) {
  EXPECT_THROW(assignedValue(column(ColumnKind::Long), text("2.5")), db::Error);
}
