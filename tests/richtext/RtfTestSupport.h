// Helpers shared by the RTF reader tests.
#pragma once

#include "richtext/RtfReader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

namespace rtftest {

// The plain text a person reads: paragraphs and \line breaks as '\n'.
inline QString readText(const QString& rtfText) {
  QTextDocument document;
  EXPECT_TRUE(rtf::read(rtfText, document));
  return document.toPlainText();
}

// The exact characters of the document, with U+2029 between paragraphs and
// U+2028 for \line, non-breaking spaces kept.
inline QString rawText(const QString& rtfText) {
  QTextDocument document;
  EXPECT_TRUE(rtf::read(rtfText, document));
  return document.toRawText();
}

// The character format of the first character of `needle` in `document`.
inline QTextCharFormat formatOf(const QTextDocument& document, const QString& needle) {
  const QTextCursor found = document.find(needle);
  EXPECT_FALSE(found.isNull()) << needle.toStdString() << " not in document";
  QTextCursor at(const_cast<QTextDocument*>(&document));
  at.setPosition(found.selectionStart() + 1);
  return at.charFormat();
}

// The block holding `needle`.
inline QTextBlock blockOf(const QTextDocument& document, const QString& needle) {
  const QTextCursor found = document.find(needle);
  EXPECT_FALSE(found.isNull()) << needle.toStdString() << " not in document";
  return found.block();
}

}  // namespace rtftest

// Lets gtest print QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
