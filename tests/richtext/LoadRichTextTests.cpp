// LoadRichText tests: the default-tab edit for each font size, and what the
// notice box holds afterwards (RTF or plain text, plan font, caret).
#include "plan/LoadRichText.h"

#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"

#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

// The head a rich-edit control writes, with and without a \deftab.
const QString kHeadWithDeftab = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0 Arial;}}";
const QString kHeadWithoutDeftab = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}";

QFont planFont(int size) { return QFont("Verdana", size); }

QTextCharFormat formatAt(RichEdit& box, const QString& needle) {
  const QTextCursor found = box.document()->find(needle);
  EXPECT_FALSE(found.isNull()) << needle.toStdString();
  QTextCursor at(box.document());
  at.setPosition(found.selectionStart() + 1);
  return at.charFormat();
}

}  // namespace

// --- The text edit ----------------------------------------------------------

TEST(LoadRichTextEdit, Size9WithDeftab7200_ReplacesOnlyNineCharacters) {
  EXPECT_EQ(AdaptDefaultTab("{\\rtf1\\deftab7200 a}", 9), "{\\rtf1\\deftab6480 a}");
}

TEST(LoadRichTextEdit, Deff0WithoutBrace_IsNotAnInsertionPoint) {
  const QString text = "{\\rtf1\\deff0\\ansi{\\fonttbl} a}";
  EXPECT_EQ(AdaptDefaultTab(text, 9), text);
}

TEST(LoadRichTextEdit, OnlyFirstOccurrence_IsReplaced) {
  EXPECT_EQ(AdaptDefaultTab("deftab720 deftab720", 12), "deftab864 deftab720");
}

TEST(LoadRichTextEdit, KeywordInsidePlainText_IsEditedToo) {
  // The search is for the nine characters wherever they stand.
  EXPECT_EQ(AdaptDefaultTab("Notiz: deftab720", 11), "Notiz: deftab792");
}

TEST(LoadRichTextEdit, TwentyThousandCharactersAfterEditPoint_StayWhole) {
  const QString tail = QString(20000, u'x');
  const QString edited = AdaptDefaultTab(kHeadWithoutDeftab + tail + "}", 12);
  EXPECT_TRUE(edited.endsWith(tail + "}"));
  EXPECT_EQ(edited.size(), kHeadWithoutDeftab.size() + 20001 + 10);
}

struct EditCase {
  const char* text;
  int fontSize;
  const char* expected;
};

// Sizes 9 to 12 against the heads a notice can have: \deftab720 only,
// \deff0{ only, neither, and both.
const EditCase kEditCases[] = {
    {"{\\rtf1\\deff0\\deftab720{\\fonttbl} x}", 9, "{\\rtf1\\deff0\\deftab648{\\fonttbl} x}"},
    {"{\\rtf1\\deff0\\deftab720{\\fonttbl} x}", 10, "{\\rtf1\\deff0\\deftab720{\\fonttbl} x}"},
    {"{\\rtf1\\deff0\\deftab720{\\fonttbl} x}", 11, "{\\rtf1\\deff0\\deftab792{\\fonttbl} x}"},
    {"{\\rtf1\\deff0\\deftab720{\\fonttbl} x}", 12, "{\\rtf1\\deff0\\deftab864{\\fonttbl} x}"},
    {"{\\rtf1\\deff0{\\fonttbl} x}", 9, "{\\rtf1\\deff0\\deftab648{\\fonttbl} x}"},
    {"{\\rtf1\\deff0{\\fonttbl} x}", 10, "{\\rtf1\\deff0\\deftab720{\\fonttbl} x}"},
    {"{\\rtf1\\deff0{\\fonttbl} x}", 11, "{\\rtf1\\deff0\\deftab792{\\fonttbl} x}"},
    {"{\\rtf1\\deff0{\\fonttbl} x}", 12, "{\\rtf1\\deff0\\deftab864{\\fonttbl} x}"},
    {"{\\rtf1\\deff1{\\fonttbl} x}", 9, "{\\rtf1\\deff1{\\fonttbl} x}"},
    {"{\\rtf1\\deff1{\\fonttbl} x}", 10, "{\\rtf1\\deff1{\\fonttbl} x}"},
    {"{\\rtf1\\deff1{\\fonttbl} x}", 11, "{\\rtf1\\deff1{\\fonttbl} x}"},
    {"{\\rtf1\\deff1{\\fonttbl} x}", 12, "{\\rtf1\\deff1{\\fonttbl} x}"},
    {"{\\rtf1\\deff0{\\fonttbl}\\deftab720 x}", 9, "{\\rtf1\\deff0{\\fonttbl}\\deftab648 x}"},
    {"{\\rtf1\\deff0{\\fonttbl}\\deftab720 x}", 10, "{\\rtf1\\deff0\\deftab720{\\fonttbl}\\deftab720 x}"},
    {"{\\rtf1\\deff0{\\fonttbl}\\deftab720 x}", 11, "{\\rtf1\\deff0{\\fonttbl}\\deftab792 x}"},
    {"{\\rtf1\\deff0{\\fonttbl}\\deftab720 x}", 12, "{\\rtf1\\deff0{\\fonttbl}\\deftab864 x}"},
};

TEST(LoadRichTextEdit, EverySizeAndHead_GivesHandWrittenText) {
  for (const EditCase& c : kEditCases)
    EXPECT_EQ(AdaptDefaultTab(c.text, c.fontSize), QString(c.expected))
        << c.text << " at size " << c.fontSize;
}

// --- Loading into the box ---------------------------------------------------

TEST(LoadRichTextLoad, EmptyText_LeavesBoxEmptyWithoutLine) {
  RichEdit box;
  box.setPlainText("alte Notiz");
  LoadRichText("", &box, planFont(12));
  EXPECT_TRUE(box.document()->isEmpty());
  EXPECT_FALSE(box.hasLines());
}

TEST(LoadRichTextLoad, PlainText_IsShownUnchangedInPlanFont) {
  RichEdit box;
  const QString text = QString::fromUtf8("Heute 3. Stunde: Aula {gesperrt}\nBitte\tbeachten \\par");
  LoadRichText(text, &box, planFont(14));
  EXPECT_EQ(box.toPlainText(), text);
  const QTextCharFormat format = formatAt(box, "Aula");
  EXPECT_EQ(format.fontFamilies().toStringList(), QStringList{"Verdana"});
  EXPECT_DOUBLE_EQ(format.fontPointSize(), 14.0);
}

TEST(LoadRichTextLoad, Rtf_IsReadAndSetInPlanFontKeepingOtherFormatting) {
  RichEdit box;
  LoadRichText(kHeadWithDeftab +
                   "{\\colortbl ;\\red255\\green0\\blue0;}\\fs36 normal {\\b\\i\\ul\\cf1 Warnung}}",
               &box, planFont(12));
  EXPECT_EQ(box.toPlainText(), "normal Warnung");
  const QTextCharFormat warning = formatAt(box, "Warnung");
  EXPECT_EQ(warning.fontFamilies().toStringList(), QStringList{"Verdana"});
  EXPECT_DOUBLE_EQ(warning.fontPointSize(), 12.0);
  EXPECT_EQ(warning.fontWeight(), QFont::Bold);
  EXPECT_TRUE(warning.fontItalic());
  EXPECT_TRUE(warning.fontUnderline());
  EXPECT_EQ(warning.foreground().color(), QColor(255, 0, 0));
  EXPECT_DOUBLE_EQ(formatAt(box, "normal").fontPointSize(), 12.0);
}

TEST(LoadRichTextLoad, NewText_ReplacesOldContent) {
  RichEdit box;
  LoadRichText("{\\rtf1 erste}", &box, planFont(12));
  LoadRichText("{\\rtf1 zweite}", &box, planFont(12));
  EXPECT_EQ(box.toPlainText(), "zweite");
}

TEST(LoadRichTextLoad, Caret_IsAtStartWithNothingSelected) {
  RichEdit box;
  LoadRichText("{\\rtf1 eins\\par zwei}", &box, planFont(12));
  EXPECT_EQ(box.textCursor().position(), 0);
  EXPECT_FALSE(box.textCursor().hasSelection());
}

TEST(LoadRichTextLoad, TwentyThousandCharactersAfterEditPoint_AreLoadedInFull) {
  RichEdit box;
  QString body;
  for (int i = 0; i < 2500; ++i)
    body += QStringLiteral("Zeile%1 ").arg(i % 10, 3, 10, QChar(u'0'));
  ASSERT_GE(body.size(), 20000);
  LoadRichText(kHeadWithoutDeftab + body + "}", &box, planFont(12));
  EXPECT_EQ(box.toPlainText(), body);
}

TEST(LoadRichTextLoad, DefaultTabWidth_FollowsEditedDeftab) {
  RichEdit box;
  LoadRichText(kHeadWithDeftab + "a\\tab b}", &box, planFont(12));
  EXPECT_DOUBLE_EQ(box.document()->defaultTextOption().tabStopDistance(), rtf::twipsToPixels(864));
  LoadRichText(kHeadWithoutDeftab + "a\\tab b}", &box, planFont(11));
  EXPECT_DOUBLE_EQ(box.document()->defaultTextOption().tabStopDistance(), rtf::twipsToPixels(792));
}

TEST(LoadRichTextLoad, DefaultTabWidth_IsOneInchPerTenPointsAtSize20) {
  // 72 twips per point of font size: at 20 pt the tab is exactly one inch.
  RichEdit box;
  LoadRichText(kHeadWithDeftab + "a\\tab b}", &box, planFont(20));
  EXPECT_DOUBLE_EQ(box.document()->defaultTextOption().tabStopDistance(),
                   rtf::twipsToPixels(1440));
}

TEST(LoadRichTextLoad, TabInShownText_EndsAtDefaultTabStop) {
  RichEdit box;
  box.resize(600, 100);
  box.show();
  LoadRichText(kHeadWithDeftab + "a\\tab b}", &box, planFont(12));
  box.document()->size();  // lays the text out
  // 'b' starts at the first default tab stop: 864 twips from the text's left edge.
  const QTextBlock block = box.document()->firstBlock();
  ASSERT_TRUE(block.layout() != nullptr);
  ASSERT_GE(block.layout()->lineCount(), 1);
  const qreal bStart = block.layout()->lineAt(0).cursorToX(2);
  EXPECT_NEAR(bStart, rtf::twipsToPixels(864), 1.0);
}
