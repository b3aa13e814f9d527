// Reader tests on whole notices as the plan-producing program, WordPad and
// Word write them (notices/*.rtf): the text a person reads, written by hand
// in notices/*.txt, and the formatting that carries the meaning.
#include "RtfTestSupport.h"

#include "richtext/RtfReader.h"
#include "tests/support/ParamName.h"

#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

using rtftest::blockOf;
using rtftest::formatOf;

namespace {

QString noticePath(const QString& name) {
  return QStringLiteral(ZOVA_RICHTEXT_TEST_DATA "/notices/") + name;
}

QString readFile(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return QString::fromUtf8(file.readAll());
}

// The notices are stored as the database hands them over: 7-bit RTF.
void loadNotice(const QString& name, QTextDocument& document) {
  const QString text = readFile(noticePath(name + ".rtf"));
  ASSERT_TRUE(rtf::read(text, document)) << name.toStdString();
}

class RtfNotice : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(RtfNotice, TextMatchesWhatAPersonReads) {
  const QString name = GetParam();
  QTextDocument document;
  loadNotice(name, document);
  EXPECT_EQ(document.toPlainText(), readFile(noticePath(name + ".txt")));
}

INSTANTIATE_TEST_SUITE_P(Samples, RtfNotice,
                         ::testing::Values("umlauts-warning", "tab-list", "bullets", "picture-info",
                                           "word-unicode"),
                         zovatest::TextParamName());

TEST(RtfNoticeFormat, Warning_IsBoldAndRedAndRestIsNot) {
  QTextDocument document;
  loadNotice("umlauts-warning", document);
  const QTextCharFormat warning = formatOf(document, "ACHTUNG");
  EXPECT_EQ(warning.fontWeight(), QFont::Bold);
  EXPECT_EQ(warning.foreground().color(), QColor(255, 0, 0));
  const QTextCharFormat after = formatOf(document, "Die Mensa");
  EXPECT_NE(after.fontWeight(), QFont::Bold);
  EXPECT_FALSE(after.hasProperty(QTextFormat::ForegroundBrush));
  EXPECT_EQ(formatOf(document, "Pause").foreground().color(), QColor(0, 128, 0));
  EXPECT_DOUBLE_EQ(after.fontPointSize(), 10.0);
  EXPECT_EQ(after.fontFamilies().toStringList(), QStringList{"Arial"});
}

TEST(RtfNoticeFormat, TabList_HasItsTabStopsAndDefaultTab) {
  QTextDocument document;
  loadNotice("tab-list", document);
  const QList<QTextOption::Tab> tabs = blockOf(document, "Hr. M").blockFormat().tabPositions();
  ASSERT_EQ(tabs.size(), 2);
  EXPECT_DOUBLE_EQ(tabs[0].position, rtf::twipsToPixels(1418));
  EXPECT_DOUBLE_EQ(tabs[1].position, rtf::twipsToPixels(4253));
  EXPECT_TRUE(blockOf(document, "Schach").blockFormat().tabPositions().isEmpty());
  EXPECT_DOUBLE_EQ(document.defaultTextOption().tabStopDistance(), rtf::twipsToPixels(720));
  EXPECT_EQ(formatOf(document, "Stunde").fontWeight(), QFont::Bold);
  EXPECT_EQ(formatOf(document, "Schach").foreground().color(), QColor(0, 0, 160));
}

TEST(RtfNoticeFormat, BulletParagraphs_HangBulletLeftOfIndent) {
  QTextDocument document;
  loadNotice("bullets", document);
  const QTextBlockFormat item = blockOf(document, "Sportzeug").blockFormat();
  EXPECT_DOUBLE_EQ(item.leftMargin(), rtf::twipsToPixels(720));
  EXPECT_DOUBLE_EQ(item.textIndent(), rtf::twipsToPixels(-360));
  EXPECT_DOUBLE_EQ(blockOf(document, "Die Schulleitung").blockFormat().leftMargin(), 0.0);
  EXPECT_EQ(formatOf(document, "Heute").fontWeight(), QFont::Bold);
  EXPECT_NE(formatOf(document, "Sportzeug").fontWeight(), QFont::Bold);
}

TEST(RtfNoticeFormat, WordHeading_IsCentredBoldRedFourteenPointVerdana) {
  QTextDocument document;
  loadNotice("word-unicode", document);
  EXPECT_EQ(blockOf(document, "Wichtige").blockFormat().alignment(), Qt::AlignHCenter);
  const QTextCharFormat heading = formatOf(document, "Wichtige");
  EXPECT_EQ(heading.fontWeight(), QFont::Bold);
  EXPECT_EQ(heading.foreground().color(), QColor(192, 0, 0));
  EXPECT_DOUBLE_EQ(heading.fontPointSize(), 14.0);
  EXPECT_EQ(heading.fontFamilies().toStringList(), QStringList{"Verdana"});
  EXPECT_EQ(blockOf(document, "Anmeldung").blockFormat().alignment(), Qt::AlignLeft);
  EXPECT_EQ(formatOf(document, "Pani").fontFamilies().toStringList(), QStringList{"Verdana CE"});
}

TEST(RtfNoticeFormat, WordNonBreakingSpace_IsKept) {
  QTextDocument document;
  loadNotice("word-unicode", document);
  EXPECT_TRUE(document.toRawText().contains(QString("12.") + QChar(QChar::Nbsp) + "Dezember"));
}
