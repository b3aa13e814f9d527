// Reader tests: which texts count as RTF, and the characters a person reads
// from paragraphs, breaks, escapes and destinations.
#include "RtfTestSupport.h"

#include "richtext/RtfReader.h"

#include <QTextDocument>

using rtftest::rawText;
using rtftest::readText;

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

// --- Which texts are RTF --------------------------------------------------

TEST(RtfAcceptance, PlainText_IsRefusedAndDocumentStaysUntouched) {
  QTextDocument document;
  document.setPlainText("vorher");
  EXPECT_FALSE(rtf::read("Heute keine AGs.", document));
  EXPECT_EQ(document.toPlainText(), "vorher");
}

TEST(RtfAcceptance, EmptyText_IsRefused) {
  QTextDocument document;
  EXPECT_FALSE(rtf::read("", document));
}

TEST(RtfAcceptance, LeadingBlanksBeforeRtf_AreAccepted) {
  EXPECT_TRUE(rtf::looksLikeRtf(" \r\n\t{\\rtf1 x}"));
  EXPECT_EQ(readText(" \r\n{\\rtf1 Text}"), "Text");
}

TEST(RtfAcceptance, BraceWithoutRtfKeyword_IsRefused) {
  EXPECT_FALSE(rtf::looksLikeRtf("{\\ansi Text}"));
  EXPECT_FALSE(rtf::looksLikeRtf("x{\\rtf1 Text}"));
}

TEST(RtfAcceptance, ReadReplacesEarlierContent) {
  QTextDocument document;
  document.setPlainText("alt");
  ASSERT_TRUE(rtf::read("{\\rtf1 neu}", document));
  EXPECT_EQ(document.toPlainText(), "neu");
}

// --- Paragraphs and breaks --------------------------------------------------

TEST(RtfParagraphs, ParagraphMarks_SeparateParagraphs) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1 eins\\par zwei\\par drei}", document));
  EXPECT_EQ(document.blockCount(), 3);
  EXPECT_EQ(document.toPlainText(), "eins\nzwei\ndrei");
}

TEST(RtfParagraphs, FinalParagraphMark_LeavesNoEmptyLastLine) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1 eins\\par zwei\\par\r\n}", document));
  EXPECT_EQ(document.blockCount(), 2);
}

TEST(RtfParagraphs, EmptyParagraphsInside_AreKept) {
  EXPECT_EQ(readText("{\\rtf1 a\\par\\par\\par b}"), "a\n\n\nb");
}

TEST(RtfParagraphs, LineControlWord_BreaksLineInsideParagraph) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1 a\\line b}", document));
  EXPECT_EQ(document.blockCount(), 1);
  EXPECT_EQ(document.toRawText(), QString("a") + QChar(QChar::LineSeparator) + "b");
}

TEST(RtfParagraphs, RawLineEndsInSource_AreNotText) {
  EXPECT_EQ(readText("{\\rtf1 Ver\r\ntretung\nsplan}"), "Vertretungsplan");
}

TEST(RtfParagraphs, BackslashBeforeLineEnd_IsParagraphMark) {
  EXPECT_EQ(readText("{\\rtf1 a\\\nb}"), "a\nb");
}

TEST(RtfParagraphs, TabControlWordAndTabCharacter_GiveTabs) {
  EXPECT_EQ(readText("{\\rtf1 1.\\tab Stunde\t7a}"), "1.\tStunde\t7a");
}

TEST(RtfParagraphs, SpaceAfterControlWord_IsDelimiterNotText) {
  EXPECT_EQ(readText("{\\rtf1 \\b fett\\b0  normal}"), "fett normal");
}

TEST(RtfParagraphs, EmptyRtfGroup_GivesEmptyDocument) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\pard\\par}", document));
  EXPECT_TRUE(document.isEmpty());
}

// --- Characters -------------------------------------------------------------

TEST(RtfCharacters, HexEscapes_AreReadInWindows1252ByDefault) {
  EXPECT_EQ(readText("{\\rtf1\\ansi Pr\\'fcfung f\\'e4llt aus, Kosten 5 \\'80, Stra\\'dfe}"),
            u8("Prüfung fällt aus, Kosten 5 €, Straße"));
}

TEST(RtfCharacters, HexEscapes_FollowAnsiCodePage1250) {
  EXPECT_EQ(readText("{\\rtf1\\ansi\\ansicpg1250 \\'b9\\'9c\\'e8}"), u8("ąśč"));
}

TEST(RtfCharacters, HexEscapes_FollowFontCharsetWhereItDiffers) {
  const QString text =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fcharset0 Arial;}"
      "{\\f1\\fcharset238 Arial CE;}{\\f2\\fcharset204 Arial Cyr;}}"
      "\\'e8 {\\f1 \\'e8} {\\f2 \\'e8}}";
  EXPECT_EQ(readText(text), u8("è č и"));
}

TEST(RtfCharacters, UppercaseHexDigits_AreAccepted) {
  EXPECT_EQ(readText("{\\rtf1 \\'C4\\'D6\\'DC}"), u8("ÄÖÜ"));
}

TEST(RtfCharacters, CharactersAbove127InText_AreTakenLiterally) {
  EXPECT_EQ(readText(u8("{\\rtf1 Grüße aus Köln €}")), u8("Grüße aus Köln €"));
}

TEST(RtfCharacters, UnicodeEscape_SkipsOneFallbackCharacter) {
  EXPECT_EQ(readText("{\\rtf1 5\\u8364? pro Person}"), u8("5€ pro Person"));
}

TEST(RtfCharacters, UnicodeEscapeNegative_Means65536Plus) {
  // U+F0B7 (a Symbol-font bullet in the private use area) is written -3913.
  EXPECT_EQ(rawText("{\\rtf1 \\u-3913?}"), QString(QChar(0xF0B7)));
}

TEST(RtfCharacters, UnicodeSurrogatePair_GivesOneCharacter) {
  EXPECT_EQ(readText("{\\rtf1 \\u-10179?\\u-8704?}"), u8("😀"));
}

TEST(RtfCharacters, UnicodeSkipCount_SkipsThatManyFallbacks) {
  EXPECT_EQ(readText("{\\rtf1\\uc2 \\u8364 EUR}"), u8("€R"));
}

TEST(RtfCharacters, HexEscapeInFallback_CountsAsOneCharacter) {
  EXPECT_EQ(readText("{\\rtf1\\uc1 \\u8364\\'80Euro}"), u8("€Euro"));
}

TEST(RtfCharacters, UnicodeSkipCountZero_SkipsNothing) {
  EXPECT_EQ(readText("{\\rtf1\\uc0 \\u228 x}"), u8("äx"));
}

TEST(RtfCharacters, FallbackSkip_EndsAtGroupBrace) {
  EXPECT_EQ(readText("{\\rtf1\\uc3 {\\u252}ber}"), u8("über"));
}

TEST(RtfCharacters, UnicodeSkipCount_IsScopedToGroup) {
  EXPECT_EQ(readText("{\\rtf1 {\\uc2 \\u228 ab}\\u246 cd}"), u8("äöd"));
}

TEST(RtfCharacters, EscapedBracesAndBackslash_AreText) {
  EXPECT_EQ(readText("{\\rtf1 \\{Raum\\} C:\\\\Plan}"), "{Raum} C:\\Plan");
}

TEST(RtfCharacters, ControlSymbolTilde_IsNonBreakingSpace) {
  EXPECT_EQ(rawText("{\\rtf1 5\\~km}"), QString("5") + QChar(QChar::Nbsp) + "km");
}

TEST(RtfCharacters, ControlSymbolUnderscore_IsNonBreakingHyphen) {
  EXPECT_EQ(rawText("{\\rtf1 A\\_B}"), QString("A") + QChar(0x2011) + "B");
}

TEST(RtfCharacters, ControlSymbolHyphen_IsInvisibleSoftHyphen) {
  EXPECT_EQ(rawText("{\\rtf1 Ver\\-tretung}"), QString("Ver") + QChar(QChar::SoftHyphen) + "tretung");
}

TEST(RtfCharacters, NamedPunctuation_GivesTypographicCharacters) {
  EXPECT_EQ(readText("{\\rtf1 \\ldblquote A\\rdblquote\\emdash\\lquote B\\rquote\\endash\\bullet}"),
            u8("“A”—‘B’–•"));
}

// --- Destinations -----------------------------------------------------------

TEST(RtfDestinations, FontAndColourTables_AreNotShown) {
  EXPECT_EQ(readText("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Verdana;}}"
                     "{\\colortbl ;\\red255\\green0\\blue0;}Text}"),
            "Text");
}

TEST(RtfDestinations, StylesheetInfoAndHeaders_AreNotShown) {
  EXPECT_EQ(readText("{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title Titel}{\\author Sekretariat}}"
                     "{\\header Kopf}{\\footer Fuss}Text}"),
            "Text");
}

TEST(RtfDestinations, StarDestinations_AreSkippedEvenWhenUnknown) {
  EXPECT_EQ(readText("{\\rtf1{\\*\\generator Riched20 10.0.19041;}{\\*\\gibtsnicht Geheim}Text}"), "Text");
}

TEST(RtfDestinations, PictureWithHexData_IsNotShown) {
  EXPECT_EQ(readText("{\\rtf1 vor{\\pict\\wmetafile8\\picw100\\pich100 0100090000036e00}nach}"), "vornach");
}

TEST(RtfDestinations, BinaryData_IsSkippedByLength) {
  EXPECT_EQ(readText("{\\rtf1 a{\\*\\blob\\bin4 }{\\}b}c}"), "ac");
  EXPECT_EQ(readText("{\\rtf1 a{\\pict\\bin3 x}y}b}"), "ab");
}

TEST(RtfDestinations, FieldResult_IsShownButNotInstruction) {
  EXPECT_EQ(readText("{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"http://schule.example\"}}"
                     "{\\fldrslt{Webseite}}}}"),
            "Webseite");
}

TEST(RtfDestinations, UnicodePair_ShowsUnicodeAlternativeOnly) {
  EXPECT_EQ(readText("{\\rtf1{\\upr{Gr\\'fc\\'dfe}{\\*\\ud{Gr\\u252?\\u223?e}}}}"), u8("Grüße"));
}

TEST(RtfDestinations, HiddenText_IsNotShown) {
  EXPECT_EQ(readText("{\\rtf1 sicht{\\v unsichtbar}bar}"), "sichtbar");
}

// --- Lists ------------------------------------------------------------------

TEST(RtfLists, BulletParagraphs_ShowBulletAndTabInsteadOfPntext) {
  const QString text =
      "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
      "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
      "\\fi-720\\li720 Erste\\par{\\pntext\\f1\\'B7\\tab}Zweite\\par\\pard Danach\\par}";
  EXPECT_EQ(readText(text), u8("•\tErste\n•\tZweite\nDanach"));
}

TEST(RtfLists, NumberedParagraphs_CountFromStart) {
  const QString text =
      "{\\rtf1{\\*\\pn\\pnlvlbody\\pndec\\pnstart3{\\pntxta.}}Drei\\par Vier\\par\\pard Ende}";
  EXPECT_EQ(readText(text), u8("3.\tDrei\n4.\tVier\nEnde"));
}

TEST(RtfLists, LetteredAndRomanNumbering_FollowStyle) {
  EXPECT_EQ(readText("{\\rtf1{\\*\\pn\\pnlvlbody\\pnlcltr{\\pntxta)}}x\\par y}"), u8("a)\tx\nb)\ty"));
  EXPECT_EQ(readText("{\\rtf1{\\*\\pn\\pnlvlbody\\pnucrm{\\pntxta.}}x\\par y\\par z\\par w}"),
            u8("I.\tx\nII.\ty\nIII.\tz\nIV.\tw"));
}

TEST(RtfLists, WordListText_IsShownWithSymbolBullet) {
  const QString text =
      "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f3\\fcharset2 Symbol;}}"
      "{\\listtext\\pard\\plain\\f3 \\'b7\\tab}\\ls1 Punkt\\par}";
  EXPECT_EQ(readText(text), u8("•\tPunkt"));
}

TEST(RtfLists, SymbolFontBullet_IsNotSetInSymbolFont) {
  // The bullet is Unicode now; the Symbol font would draw another glyph.
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f3\\fcharset2 Symbol;}}"
                        "{\\listtext\\f3 \\'b7\\tab}Punkt}",
                        document));
  EXPECT_FALSE(rtftest::formatOf(document, u8("•")).hasProperty(QTextFormat::FontFamilies));
  EXPECT_EQ(rtftest::formatOf(document, "Punkt").fontFamilies().toStringList(), QStringList{"Arial"});
}
