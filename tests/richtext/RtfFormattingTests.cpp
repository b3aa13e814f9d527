// Reader tests: character and paragraph formatting and tab widths.
#include "RtfTestSupport.h"

#include "richtext/RtfReader.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

using rtftest::blockOf;
using rtftest::formatOf;

namespace {

// A notice head as the rich-edit control writes it, with a colour table of
// automatic, red, dark blue and yellow.
const char kHead[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
    "{\\f1\\fswiss\\fcharset0 Courier New;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue128;\\red255\\green255\\blue0;}"
    "\\viewkind4\\uc1\\pard\\f0\\fs20 ";

struct Loaded {
  QTextDocument document;
  explicit Loaded(const QString& body) { EXPECT_TRUE(rtf::read(QString(kHead) + body + "}", document)); }
  QTextCharFormat at(const QString& needle) const { return formatOf(document, needle); }
  QTextBlockFormat block(const QString& needle) const { return blockOf(document, needle).blockFormat(); }
};

}  // namespace

// --- Character formatting -----------------------------------------------------

TEST(RtfCharFormat, BoldRun_IsBoldAndEndsAtB0) {
  Loaded notice("normal \\b fett\\b0  wieder normal");
  EXPECT_EQ(notice.at("fett").fontWeight(), QFont::Bold);
  EXPECT_NE(notice.at("wieder").fontWeight(), QFont::Bold);
  EXPECT_NE(notice.at("normal").fontWeight(), QFont::Bold);
}

TEST(RtfCharFormat, GroupEnd_RestoresFormattingBeforeGroup) {
  Loaded notice("{\\b\\i fett kursiv} schlicht");
  EXPECT_EQ(notice.at("fett").fontWeight(), QFont::Bold);
  EXPECT_TRUE(notice.at("fett").fontItalic());
  EXPECT_NE(notice.at("schlicht").fontWeight(), QFont::Bold);
  EXPECT_FALSE(notice.at("schlicht").fontItalic());
}

TEST(RtfCharFormat, UnderlineEnds_AtUlnoneAndUl0) {
  Loaded notice("\\ul eins\\ulnone  zwei \\ul drei\\ul0  vier \\uldb doppelt\\ulnone");
  EXPECT_TRUE(notice.at("eins").fontUnderline());
  EXPECT_FALSE(notice.at("zwei").fontUnderline());
  EXPECT_TRUE(notice.at("drei").fontUnderline());
  EXPECT_FALSE(notice.at("vier").fontUnderline());
  EXPECT_TRUE(notice.at("doppelt").fontUnderline());
}

TEST(RtfCharFormat, Strike_IsStrikeOut) {
  Loaded notice("\\strike entfällt\\strike0  bleibt");
  EXPECT_TRUE(notice.at("entf").fontStrikeOut());
  EXPECT_FALSE(notice.at("bleibt").fontStrikeOut());
}

TEST(RtfCharFormat, FontSize_IsHalfPoints) {
  Loaded notice("klein \\fs28 gross\\fs21  krumm");
  EXPECT_DOUBLE_EQ(notice.at("klein").fontPointSize(), 10.0);
  EXPECT_DOUBLE_EQ(notice.at("gross").fontPointSize(), 14.0);
  EXPECT_DOUBLE_EQ(notice.at("krumm").fontPointSize(), 10.5);
}

TEST(RtfCharFormat, FontSizeWithoutAnySize_Is12Points) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1 x}", document));
  EXPECT_DOUBLE_EQ(formatOf(document, "x").fontPointSize(), 12.0);
}

TEST(RtfCharFormat, FontFace_ComesFromFontTable) {
  Loaded notice("arial {\\f1 courier} \\f7 unbekannt");
  EXPECT_EQ(notice.at("arial").fontFamilies().toStringList(), QStringList{"Arial"});
  EXPECT_EQ(notice.at("courier").fontFamilies().toStringList(), QStringList{"Courier New"});
  EXPECT_FALSE(notice.at("unbekannt").hasProperty(QTextFormat::FontFamilies));
}

TEST(RtfCharFormat, DefaultFont_IsDeffWithoutF) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1 Verdana;}}text}", document));
  EXPECT_EQ(formatOf(document, "text").fontFamilies().toStringList(), QStringList{"Verdana"});
}

TEST(RtfCharFormat, TextColour_ComesFromColourTable) {
  Loaded notice("\\cf1 Achtung\\cf0  normal \\cf2 blau");
  EXPECT_EQ(notice.at("Achtung").foreground().color(), QColor(255, 0, 0));
  EXPECT_FALSE(notice.at("normal").hasProperty(QTextFormat::ForegroundBrush));
  EXPECT_EQ(notice.at("blau").foreground().color(), QColor(0, 0, 128));
}

TEST(RtfCharFormat, ColourIndexOutsideTable_IsAutomatic) {
  Loaded notice("\\cf99 x");
  EXPECT_FALSE(notice.at("x").hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfCharFormat, HighlightAndCb_SetBackground) {
  Loaded notice("\\highlight3 gelb\\highlight0  ohne \\cb1 rot");
  EXPECT_EQ(notice.at("gelb").background().color(), QColor(255, 255, 0));
  EXPECT_FALSE(notice.at("ohne").hasProperty(QTextFormat::BackgroundBrush));
  EXPECT_EQ(notice.at("rot").background().color(), QColor(255, 0, 0));
}

TEST(RtfCharFormat, Plain_ResetsCharacterFormatting) {
  Loaded notice("\\b\\i\\ul\\cf1\\fs32 laut\\plain  leise");
  const QTextCharFormat quiet = notice.at("leise");
  EXPECT_NE(quiet.fontWeight(), QFont::Bold);
  EXPECT_FALSE(quiet.fontItalic());
  EXPECT_FALSE(quiet.fontUnderline());
  EXPECT_FALSE(quiet.hasProperty(QTextFormat::ForegroundBrush));
  EXPECT_DOUBLE_EQ(quiet.fontPointSize(), 12.0);
}

TEST(RtfCharFormat, SuperAndSubscript_SetVerticalAlignment) {
  Loaded notice("m{\\super 2} H{\\sub 2}O");
  EXPECT_EQ(notice.at("m2").verticalAlignment(), QTextCharFormat::AlignNormal);
  QTextCursor two = notice.document.find("2");
  EXPECT_EQ(two.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
  two = notice.document.find("2", two);
  EXPECT_EQ(two.charFormat().verticalAlignment(), QTextCharFormat::AlignSubScript);
}

// --- Paragraph formatting -----------------------------------------------------

TEST(RtfParaFormat, AlignmentWords_SetBlockAlignment) {
  Loaded notice("\\qc Mitte\\par\\qr Rechts\\par\\qj Block\\par\\ql Links\\par");
  EXPECT_EQ(notice.block("Mitte").alignment(), Qt::AlignHCenter);
  EXPECT_EQ(notice.block("Rechts").alignment(), Qt::AlignRight);
  EXPECT_EQ(notice.block("Block").alignment(), Qt::AlignJustify);
  EXPECT_EQ(notice.block("Links").alignment(), Qt::AlignLeft);
}

TEST(RtfParaFormat, PropertiesAtParagraphMark_ApplyToThatParagraph) {
  // Writers may put \qc after the text of the paragraph it belongs to.
  Loaded notice("Titel\\qc\\par\\pard Text");
  EXPECT_EQ(notice.block("Titel").alignment(), Qt::AlignHCenter);
  EXPECT_EQ(notice.block("Text").alignment(), Qt::AlignLeft);
}

TEST(RtfParaFormat, LastParagraphWithoutMark_KeepsItsAlignment) {
  Loaded notice("\\qr rechts");
  EXPECT_EQ(notice.block("rechts").alignment(), Qt::AlignRight);
}

TEST(RtfParaFormat, Pard_ResetsParagraphFormatting) {
  Loaded notice("\\qc\\li720 eins\\par\\pard zwei\\par");
  EXPECT_EQ(notice.block("zwei").alignment(), Qt::AlignLeft);
  EXPECT_DOUBLE_EQ(notice.block("zwei").leftMargin(), 0.0);
}

TEST(RtfParaFormat, Indents_AreTwipsInPixels) {
  Loaded notice("\\li1440\\fi-720\\ri360 eingerueckt\\par");
  const QTextBlockFormat format = notice.block("eingerueckt");
  EXPECT_DOUBLE_EQ(format.leftMargin(), rtf::twipsToPixels(1440));
  EXPECT_DOUBLE_EQ(format.textIndent(), rtf::twipsToPixels(-720));
  EXPECT_DOUBLE_EQ(format.rightMargin(), rtf::twipsToPixels(360));
}

TEST(RtfParaFormat, TwipsToPixels_IsOneInchPer1440) {
  const qreal inch = rtf::twipsToPixels(1440);
  EXPECT_GT(inch, 0.0);
  EXPECT_DOUBLE_EQ(rtf::twipsToPixels(720), inch / 2);
}

TEST(RtfParaFormat, ExplicitTabStops_BecomeBlockTabPositions) {
  Loaded notice("\\tx1000\\tqr\\tx5000 Std\\tab Klasse\\tab Raum\\par");
  const QList<QTextOption::Tab> tabs = notice.block("Std").tabPositions();
  ASSERT_EQ(tabs.size(), 2);
  EXPECT_DOUBLE_EQ(tabs[0].position, rtf::twipsToPixels(1000));
  EXPECT_EQ(tabs[0].type, QTextOption::LeftTab);
  EXPECT_DOUBLE_EQ(tabs[1].position, rtf::twipsToPixels(5000));
  EXPECT_EQ(tabs[1].type, QTextOption::RightTab);
}

TEST(RtfParaFormat, DefaultTabWidth_FollowsDeftab) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1\\deftab864 a\\tab b}", document));
  EXPECT_DOUBLE_EQ(document.defaultTextOption().tabStopDistance(), rtf::twipsToPixels(864));
}

TEST(RtfParaFormat, DefaultTabWidthWithoutDeftab_IsHalfInch) {
  QTextDocument document;
  document.setDefaultTextOption(QTextOption());
  ASSERT_TRUE(rtf::read("{\\rtf1 a\\tab b}", document));
  EXPECT_DOUBLE_EQ(document.defaultTextOption().tabStopDistance(), rtf::twipsToPixels(720));
}

namespace {

// Where, in layout pixels from the block's left edge, the character at
// `position` of the first block starts once laid out.
qreal xOfPosition(const QString& rtfText, int position) {
  QTextDocument document;
  EXPECT_TRUE(rtf::read(rtfText, document));
  document.setDocumentMargin(0);
  document.setTextWidth(800);
  document.size();
  const QTextLayout* layout = document.firstBlock().layout();
  EXPECT_GE(layout->lineCount(), 1);
  return layout->lineCount() > 0 ? layout->lineAt(0).cursorToX(position) : -1;
}

}  // namespace

TEST(RtfTabLayout, DefaultTab_EndsAtDeftab) {
  EXPECT_NEAR(xOfPosition("{\\rtf1\\deftab1440 a\\tab b}", 2), rtf::twipsToPixels(1440), 1.0);
}

TEST(RtfTabLayout, HangingBullet_TextStartsAtLeftIndent) {
  const QString text = "{\\rtf1{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}\\fi-360\\li720 Text}";
  EXPECT_NEAR(xOfPosition(text, 0), rtf::twipsToPixels(360), 1.0);  // the bullet
  EXPECT_NEAR(xOfPosition(text, 2), rtf::twipsToPixels(720), 1.0);  // after bullet and tab
}

TEST(RtfTabLayout, TabStopInIndentedParagraph_IsMeasuredFromPageMargin) {
  EXPECT_NEAR(xOfPosition("{\\rtf1\\li720\\tx2160 a\\tab b}", 2), rtf::twipsToPixels(2160), 1.0);
}
