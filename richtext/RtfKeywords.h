// The RTF control words the notice reader understands.
//
// The reader looks every control word up here once and then switches on the
// result; a word that is not listed is Keyword::Unknown and is ignored (or,
// after \*, makes its group a skipped destination).  Only words that occur in
// notices written by Windows rich-edit controls, WordPad and Word are listed.
#pragma once

#include <string_view>

namespace rtf {

enum class Keyword {
  Unknown,
  // Document: character set, default font, tab width, Unicode skip count.
  Rtf, Ansi, Mac, Pc, Pca, AnsiCodePage, DefaultFont, DefaultTab, UnicodeSkip,
  // Destinations with content the reader uses or shows.
  FontTable, ColourTable, ListNumbering, ListTextBefore, ListTextAfter,
  UnicodePair, UnicodeText, ListText, Field, FieldResult,
  // Destinations whose text is never shown (pictures, style sheet, ...).
  SkippedDestination,
  // Font table and colour table entries.
  FontCharset, Red, Green, Blue,
  // Character formatting.
  Plain, Bold, Italic, Underline, UnderlineNone, Strike, StrikeDouble,
  Font, FontSize, Foreground, Background, Highlight, Superscript, Subscript,
  NoSuperSub, Hidden,
  // Paragraph formatting.
  ParagraphDefault, AlignLeft, AlignCentre, AlignRight, AlignJustify,
  LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter,
  TabStop, TabRight, TabCentre, TabDecimal,
  // List numbering (inside \pn).
  ListBullet, ListBody, ListContinue, ListDecimal, ListUpperLetter,
  ListLowerLetter, ListUpperRoman, ListLowerRoman, ListStart,
  // Characters and breaks.
  Paragraph, Line, Tab, Cell, Row, Section, Page, Unicode, Binary,
  EmDash, EnDash, Bullet, LeftQuote, RightQuote, LeftDoubleQuote,
  RightDoubleQuote, EmSpace, EnSpace, QuarterEmSpace, ZeroWidthJoiner,
  ZeroWidthNonJoiner,
};

// The keyword for control word `word` (letters only, case-sensitive).
Keyword lookupKeyword(std::string_view word);

}  // namespace rtf
