// Reader tests: damaged and hostile RTF is shown as far as it can be read,
// without a crash or a hang.
#include "RtfTestSupport.h"

#include "richtext/CodePages.h"
#include "richtext/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QTextDocument>

using rtftest::readText;

TEST(RtfDamaged, MissingClosingBraces_ShowTextReadSoFar) {
  EXPECT_EQ(readText("{\\rtf1{\\b Achtung: Raum 12"), "Achtung: Raum 12");
}

TEST(RtfDamaged, ExtraClosingBrace_EndsDocument) {
  EXPECT_EQ(readText("{\\rtf1 gelesen}} nicht mehr"), "gelesen");
}

TEST(RtfDamaged, TextAfterFinalBrace_IsIgnored) {
  EXPECT_EQ(readText(QString("{\\rtf1 Text}\r\n") + QChar(0) + "{Rest}"), "Text");
}

TEST(RtfDamaged, TruncatedControlWordAtEnd_IsIgnored) {
  EXPECT_EQ(readText("{\\rtf1 abc\\b"), "abc");
  EXPECT_EQ(readText("{\\rtf1 abc\\"), "abc");
  EXPECT_EQ(readText("{\\rtf1 abc\\fs-"), "abc");
}

TEST(RtfDamaged, TruncatedHexEscape_ShowsNoGarbage) {
  // One hex digit gives a control byte, which is dropped.
  EXPECT_EQ(readText("{\\rtf1 a\\'4"), "a");
  EXPECT_EQ(readText("{\\rtf1 a\\'e b}"), "a b");
  EXPECT_EQ(readText("{\\rtf1 a\\'zz}"), "azz");
}

TEST(RtfDamaged, HugeParameter_IsClampedNotOverflowed) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1\\fs99999999999999999999999 gross\\fs-99999999999999999 klein}", document));
  EXPECT_EQ(document.toPlainText(), "grossklein");
  EXPECT_DOUBLE_EQ(rtftest::formatOf(document, "gross").fontPointSize(), 1638.0);
  EXPECT_DOUBLE_EQ(rtftest::formatOf(document, "klein").fontPointSize(), 1.0);
}

TEST(RtfDamaged, HugeUnicodeValues_GiveReplacementCharacter) {
  EXPECT_EQ(rtftest::rawText("{\\rtf1 \\u99999999999?\\u-99999?x}"),
            QString(2, QChar(QChar::ReplacementCharacter)) + "x");
}

TEST(RtfDamaged, HugeSkipCounts_AreClamped) {
  EXPECT_EQ(readText("{\\rtf1\\uc99999999 \\u228 abcdefghijklmnopqrstuvwxyz}"), QString::fromUtf8("äqrstuvwxyz"));
  EXPECT_EQ(readText("{\\rtf1 a\\bin99999999999 bcd}"), "a");
}

TEST(RtfDamaged, HugeIndentsAndTabs_AreClamped) {
  QTextDocument document;
  ASSERT_TRUE(rtf::read("{\\rtf1\\deftab0\\li999999999\\fi-999999999\\tx999999999 x\\tab y\\par}", document));
  EXPECT_DOUBLE_EQ(document.firstBlock().blockFormat().leftMargin(), rtf::twipsToPixels(31680));
  EXPECT_GT(document.defaultTextOption().tabStopDistance(), 0.0);
}

TEST(RtfDamaged, HundredThousandNestedGroups_AreReadWithoutRecursion) {
  const int depth = 100000;
  const QString text = "{\\rtf1 " + QString(depth, u'{') + "tief" + QString(depth, u'}') + " danach}";
  EXPECT_EQ(readText(text), "tief danach");
}

TEST(RtfDamaged, HundredThousandUnclosedGroups_AreReadWithoutRecursion) {
  const QString text = "{\\rtf1 " + QString(100000, u'{') + "\\b tief";
  EXPECT_EQ(readText(text), "tief");
}

TEST(RtfDamaged, ControlCharactersInText_AreDropped) {
  EXPECT_EQ(readText(QString("{\\rtf1 a") + QChar(0) + QChar(7) + "b}"), "ab");
}

TEST(RtfDamaged, TablesWithoutSemicolonsOrValues_DoNotCrash) {
  EXPECT_EQ(readText("{\\rtf1{\\fonttbl{\\f0 Arial}{\\f1}}{\\colortbl\\red300}\\f0\\cf1\\cf-5 x}"), "x");
}

TEST(RtfDamaged, ListDefinitionOutsideGroup_HidesNothingAfterPard) {
  EXPECT_EQ(readText("{\\rtf1{\\pntext x}\\pard sichtbar}"), "sichtbar");
}

// Every input that once made the reader fail (found by the fuzz target or by
// hand) is kept in corpus/ and must load without a crash or a hang.
TEST(RtfDamaged, RegressionCorpus_LoadsEveryInput) {
  const QDir corpus(QStringLiteral(ZOVA_RICHTEXT_TEST_DATA "/corpus"));
  const QStringList names = corpus.entryList(QDir::Files);
  ASSERT_FALSE(names.isEmpty()) << "no regression inputs in " << corpus.path().toStdString();
  for (const QString& name : names) {
    QFile file(corpus.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const QByteArray bytes = file.readAll();
    // As the fuzz target does: the bytes as UTF-8 and as Windows-1252.
    for (const QString& text : {QString::fromUtf8(bytes), rtf::decode(bytes, 1252)}) {
      QTextDocument document;
      rtf::read(text, document);
      document.size();  // lay it out as the notice box would
      SCOPED_TRACE(name.toStdString());
    }
  }
}
