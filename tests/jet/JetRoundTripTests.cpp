// Round trips through the Jet writer: each case writes a small database and
// reads it back with mdbtools and with the npm reader; every value must come
// back exactly (doubles to the bit, texts to the character, NULL as NULL).
#include "JetReaders.h"
#include "jet/JetWriter.h"
#include "tests/support/MissingTool.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using jet::ColumnType;
using jet::Row;
using namespace jettest;

namespace {

class JetRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    if (!npmReaderInstalled()) ZOVA_MISSING_TOOL("the npm reader (tools/testtools/node_modules: npm ci there)");
  }

  QString write(const jet::Database& database) {
    const QString path = m_dir.filePath("test.mdb");
    database.write(path);
    return path;
  }

  // The rows of `table` as the npm reader returns them.
  QJsonArray npmRows(const QString& path, const QString& table) {
    QString error;
    const auto database = readWithNpm(path, &error);
    EXPECT_TRUE(database.has_value()) << error.toStdString();
    if (!database) return {};
    const QJsonObject found = npmTable(*database, table);
    EXPECT_FALSE(found.isEmpty()) << "npm reader does not list " << table.toStdString();
    return found["rows"].toArray();
  }

  // One column written with `values` (one row each) and read back by both readers.
  struct ReadBack {
    QJsonArray npm;
    QVector<QJsonObject> mdbJson;
    QVector<QStringList> mdbExport;
  };
  ReadBack roundTrip(ColumnType type, const QVector<QVariant>& values, int textLength = 255) {
    jet::Database database;
    jet::Table& table = database.addTable("T", {{"V", type, textLength}});
    for (const QVariant& value : values) table.rows.append(Row{value});
    const QString path = write(database);
    return {npmRows(path, "T"), mdbJsonRows(path, "T"), mdbExportRows(path, "T")};
  }

  QTemporaryDir m_dir;
};

const QStringList kTexts = {
    QStringLiteral("He said \"hello\", then left"),
    QStringLiteral("line one\nline two\r\nline three"),
    QStringLiteral("Grüße aus Köln: Äpfel, Öl, Übermaß, ß"),
    QStringLiteral("Preis 5 € – fünf Euro"),
    QStringLiteral("Ωμέγα, Жук, 中文, ĀĂĄ (U+0100 has a zero low byte)"),
    QStringLiteral("'single' quotes; tab\there; back\\slash"),
    QString(),  // empty, not NULL
    QStringLiteral("x"),
};

}  // namespace

TEST_F(JetRoundTrip, EmptyTable_ListsItsColumnsAndNoRows) {
  jet::Database database;
  database.addTable("Leer", {{"A", ColumnType::Long}, {"B", ColumnType::Text, 20}, {"C", ColumnType::Memo}});
  const QString path = write(database);
  EXPECT_EQ(mdbTables(path), QStringList{"Leer"});
  EXPECT_TRUE(mdbJsonRows(path, "Leer").isEmpty());
  QString error;
  const auto read = readWithNpm(path, &error);
  ASSERT_TRUE(read) << error.toStdString();
  const QJsonObject table = npmTable(*read, "Leer");
  EXPECT_EQ(table["rows"].toArray().size(), 0);
  const QJsonArray columns = table["columns"].toArray();
  ASSERT_EQ(columns.size(), 3);
  EXPECT_EQ(columns[0]["type"].toString(), "long");
  EXPECT_EQ(columns[1]["type"].toString(), "text");
  EXPECT_EQ(columns[1]["size"].toInt(), 40);  // two bytes per character
  EXPECT_EQ(columns[2]["type"].toString(), "memo");
}

TEST_F(JetRoundTrip, RowOfNulls_ReadsBackAsNulls) {
  jet::Database database;
  jet::Table& table = database.addTable(
      "N", {{"L", ColumnType::Long}, {"I", ColumnType::Integer}, {"Y", ColumnType::Byte}, {"B", ColumnType::Boolean},
            {"D", ColumnType::Double}, {"W", ColumnType::DateTime}, {"T", ColumnType::Text, 10}, {"M", ColumnType::Memo}});
  table.rows.append(Row(8));
  const QString path = write(database);
  const QJsonArray rows = npmRows(path, "N");
  ASSERT_EQ(rows.size(), 1);
  const QJsonArray row = rows[0].toArray();
  for (int i : {0, 1, 2, 4, 5, 6, 7}) EXPECT_TRUE(row[i].isNull()) << "column " << i;
  EXPECT_EQ(row[3], QJsonValue(false));  // a Boolean lives in the null mask: NULL is false
  const QVector<QJsonObject> mdb = mdbJsonRows(path, "N");
  ASSERT_EQ(mdb.size(), 1);
  EXPECT_EQ(mdb[0].keys(), QStringList{"B"});  // mdb-json leaves NULL columns out
}

TEST_F(JetRoundTrip, LongBoundaries_ReadBackExactly) {
  const QVector<QVariant> values = {std::numeric_limits<int32_t>::min(), -1, 0, 1, std::numeric_limits<int32_t>::max()};
  const ReadBack back = roundTrip(ColumnType::Long, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbExport.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toDouble(), values[i].toDouble());
    EXPECT_EQ(back.mdbExport[i][0], values[i].toString());
  }
}

TEST_F(JetRoundTrip, IntegerBoundaries_ReadBackExactly) {
  const QVector<QVariant> values = {-32768, -1, 0, 32767};
  const ReadBack back = roundTrip(ColumnType::Integer, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbExport.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toInt(), values[i].toInt());
    EXPECT_EQ(back.mdbExport[i][0], values[i].toString());
  }
}

TEST_F(JetRoundTrip, ByteBoundaries_ReadBackExactly) {
  const QVector<QVariant> values = {0, 1, 127, 128, 255};
  const ReadBack back = roundTrip(ColumnType::Byte, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbExport.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toInt(), values[i].toInt());
    EXPECT_EQ(back.mdbExport[i][0], values[i].toString());
  }
}

TEST_F(JetRoundTrip, BooleanBothWays_ReadBackExactly) {
  const ReadBack back = roundTrip(ColumnType::Boolean, {true, false, true});
  ASSERT_EQ(back.npm.size(), 3);
  EXPECT_EQ(back.npm[0].toArray()[0], QJsonValue(true));
  EXPECT_EQ(back.npm[1].toArray()[0], QJsonValue(false));
  EXPECT_EQ(back.npm[2].toArray()[0], QJsonValue(true));
  ASSERT_EQ(back.mdbExport.size(), 3);
  EXPECT_EQ(back.mdbExport[0][0], "1");
  EXPECT_EQ(back.mdbExport[1][0], "0");
}

TEST_F(JetRoundTrip, Doubles_ReadBackToTheBit) {
  const QVector<QVariant> values = {0.0, 0.1, -2.5, 1e300, -1e-300, std::numeric_limits<double>::denorm_min(),
                                    3.141592653589793};
  const ReadBack back = roundTrip(ColumnType::Double, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbExport.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toString(), doubleHex(values[i].toDouble())) << "row " << i;
    // mdbtools prints with limited digits; it must agree to its precision.
    EXPECT_DOUBLE_EQ(back.mdbExport[i][0].toDouble(), values[i].toDouble()) << "row " << i;
  }
}

TEST_F(JetRoundTrip, DateTimes_ReadBackToTheBit) {
  const double second = 1.0 / 86400.0;
  const QVector<QVariant> values = {
      0.0,                                  // 30.12.1899 00:00
      39083.0,                              // 01.01.2007
      2958465.0 + 86399.0 * second,         // 31.12.9999 23:59:59
      -18262.0 - 0.5625,                    // 01.01.1850 13:30, negative day count
      39083.0 + (7 * 3600 + 45 * 60 + 9) * second,  // 01.01.2007 07:45:09
  };
  const ReadBack back = roundTrip(ColumnType::DateTime, values);
  ASSERT_EQ(back.npm.size(), values.size());
  for (int i = 0; i < values.size(); ++i)
    EXPECT_EQ(back.npm[i].toArray()[0].toString(), doubleHex(values[i].toDouble())) << "row " << i;
  // mdbtools shows dates from 1899 on (not year 9999 nor negative day counts).
  ASSERT_EQ(back.mdbExport.size(), values.size());
  EXPECT_EQ(back.mdbExport[0][0], "1899-12-30 00:00:00");
  EXPECT_EQ(back.mdbExport[1][0], "2007-01-01 00:00:00");
  EXPECT_EQ(back.mdbExport[4][0], "2007-01-01 07:45:09");
}

TEST_F(JetRoundTrip, Texts_ReadBackCharacterForCharacter) {
  QVector<QVariant> values;
  for (const QString& text : kTexts) values.append(text.isNull() ? QString("") : text);
  const ReadBack back = roundTrip(ColumnType::Text, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbJson.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toString(), values[i].toString()) << "row " << i;
    EXPECT_EQ(back.mdbJson[i]["V"].toString(), values[i].toString()) << "row " << i;
  }
}

TEST_F(JetRoundTrip, TextOutsideTheBasicPlane_ReadsBackWithTheNpmReader) {
  // Surrogate pairs are two UCS-2 units each; mdbtools' UCS-2 conversion
  // cannot show them, the npm reader decodes them as UTF-16.
  const QString text = QString::fromUtf8("Noten \xF0\x9D\x84\x9E und \xF0\x9F\x98\x80");
  const ReadBack back = roundTrip(ColumnType::Text, {text});
  ASSERT_EQ(back.npm.size(), 1);
  EXPECT_EQ(back.npm[0].toArray()[0].toString(), text);
}

TEST_F(JetRoundTrip, LatinText_IsStoredCompressed) {
  jet::Database database;
  database.addTable("T", {{"V", ColumnType::Text}}).rows.append(Row{QString("Vertretung Klasse 5a")});
  const QString path = write(database);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xFEVertretung Klasse 5a")));
}

TEST_F(JetRoundTrip, MixedText_SurvivesModeSwitches) {
  const QVector<QVariant> values = {QString("abc€def€€ghi"), QString("€uro"), QString("Ende€"), QString("aΩbΩcΩd")};
  const ReadBack back = roundTrip(ColumnType::Text, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbJson.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toString(), values[i].toString());
    EXPECT_EQ(back.mdbJson[i]["V"].toString(), values[i].toString());
  }
}

TEST_F(JetRoundTrip, Memos_OfEverySize_ReadBackWhole) {
  QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Verdana;}}\\viewkind4\\uc1\\pard ");
  while (rtf.size() < 59990) rtf += QStringLiteral("\\b Bitte\\b0  beachten: R\\'e4ume tauschen\\par ");
  rtf = rtf.left(59999) + "}";
  ASSERT_EQ(rtf.size(), 60000);
  QString long4000;
  for (int i = 0; long4000.size() < 4000; ++i) long4000 += kTexts[i % 6];
  long4000.truncate(4000);
  const QVector<QVariant> values = {QString(""), QString("ß"), QString(1500, QChar(u'Ж')), long4000, rtf};
  const ReadBack back = roundTrip(ColumnType::Memo, values);
  ASSERT_EQ(back.npm.size(), values.size());
  ASSERT_EQ(back.mdbJson.size(), values.size());
  for (int i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back.npm[i].toArray()[0].toString(), values[i].toString()) << "row " << i;
    EXPECT_EQ(back.mdbJson[i]["V"].toString(), values[i].toString()) << "row " << i;
  }
}

TEST_F(JetRoundTrip, SeveralTables_AllReadBack) {
  jet::Database database;
  for (int t = 0; t < 5; ++t) {
    jet::Table& table = database.addTable(QString("Tabelle%1").arg(t), {{"Nr", ColumnType::Long}, {"Text", ColumnType::Text}});
    for (int r = 0; r <= t; ++r) table.rows.append(Row{t * 100 + r, QString("T%1 R%2").arg(t).arg(r)});
  }
  const QString path = write(database);
  QStringList expected;
  for (int t = 0; t < 5; ++t) expected << QString("Tabelle%1").arg(t);
  EXPECT_EQ(mdbTables(path), expected);
  for (int t = 0; t < 5; ++t) {
    const QString name = expected[t];
    const QJsonArray rows = npmRows(path, name);
    const QVector<QJsonObject> mdb = mdbJsonRows(path, name);
    ASSERT_EQ(rows.size(), t + 1);
    ASSERT_EQ(mdb.size(), t + 1);
    for (int r = 0; r <= t; ++r) {
      EXPECT_EQ(rows[r].toArray()[0].toInt(), t * 100 + r);
      EXPECT_EQ(rows[r].toArray()[1].toString(), QString("T%1 R%2").arg(t).arg(r));
      EXPECT_EQ(mdb[r]["Text"].toString(), QString("T%1 R%2").arg(t).arg(r));
    }
  }
}

TEST_F(JetRoundTrip, PrimaryKey_IsShownBySchema) {
  jet::Database database;
  jet::Table& table = database.addTable("K", {{"ID", ColumnType::Long, 255, true}, {"Name", ColumnType::Text}});
  table.rows.append(Row{7, QString("sieben")});
  const QString path = write(database);
  const QString schema = QString::fromUtf8(runProgram("mdb-schema", {path, "postgres"}).out);
  EXPECT_TRUE(schema.contains("PRIMARY KEY (\"id\")")) << schema.toStdString();
}
