// RTF notice reader: tokens, control words and groups.
//
// One pass over the text.  Each '{' pushes a copy of the group state
// (character and paragraph formatting, destination, \uc count) onto an
// explicit stack and each '}' pops it, so nesting depth costs no recursion;
// beyond kMaxGroupDepth groups are only counted.  What the control words
// mean for the document is done in RtfDocumentOutput.cpp.
#include "richtext/RtfReader.h"

#include "richtext/CodePages.h"
#include "richtext/RtfReaderPrivate.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextDocument>

#include <algorithm>
#include <cassert>

namespace rtf {
namespace detail {

void Reader::run() {
  m_stack.reserve(64);
  // Anything outside the {\rtf group (leading blanks) is not document text.
  m_stack.emplace_back();
  m_stack.back().destination = Destination::Skipped;
  m_cursor.beginEditBlock();
  const qsizetype length = m_text.size();
  qsizetype pos = 0;
  while (pos < length && !m_ended) {
    const QChar c = m_text.at(pos);
    switch (c.unicode()) {
      case u'{':
        ++pos;
        openGroup();
        break;
      case u'}':
        ++pos;
        closeGroup();
        break;
      case u'\\':
        controlWord(pos);
        break;
      case u'\r':
      case u'\n':
        ++pos;
        break;
      default:
        ++pos;
        m_ignorableNext = false;
        if (consumeFallback())
          break;
        if (c == u'\t')
          character(c);
        else if (c.unicode() >= 0x20)
          character(c);
        break;
    }
  }
  assert(!m_stack.empty() && m_stack.size() <= static_cast<size_t>(kMaxGroupDepth));
  finish();
  m_cursor.endEditBlock();
}

// Reads the control word or symbol at `pos` (a backslash) and moves `pos`
// past it and its delimiting space.
void Reader::controlWord(qsizetype& pos) {
  assert(m_text.at(pos) == u'\\');
  const qsizetype length = m_text.size();
  ++pos;
  if (pos >= length)
    return;  // a lone backslash at the very end
  const QChar first = m_text.at(pos);
  const auto isLetter = [](QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  };
  const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
  if (!isLetter(first)) {
    if (first == u'\'') {
      ++pos;
      hexByte(pos);
      return;
    }
    ++pos;
    controlSymbol(first);
    return;
  }
  char letters[kMaxWordLength];
  int letterCount = 0;
  while (pos < length && isLetter(m_text.at(pos))) {
    if (letterCount < kMaxWordLength)
      letters[letterCount++] = static_cast<char>(m_text.at(pos).unicode());
    ++pos;
  }
  bool negative = false;
  bool hasParameter = false;
  int parameter = 0;
  // A '-' after the letters belongs to the word even without digits after
  // it (a truncated "\\fs-" shows no stray hyphen).
  if (pos < length && m_text.at(pos) == u'-') {
    negative = true;
    ++pos;
  }
  while (pos < length && isDigit(m_text.at(pos))) {
    hasParameter = true;
    const int digit = m_text.at(pos).unicode() - u'0';
    parameter = parameter > (kMaxParameter - digit) / 10 ? kMaxParameter : parameter * 10 + digit;
    ++pos;
  }
  if (negative)
    parameter = -parameter;
  if (pos < length && m_text.at(pos) == u' ')
    ++pos;
  const std::string_view name(letters, static_cast<size_t>(letterCount));
  word(lookupKeyword(name), hasParameter, parameter, pos);
}

// Handles the hex escape after \' at `pos`: one byte in the current code page.
void Reader::hexByte(qsizetype& pos) {
  int value = 0;
  int digits = 0;
  while (digits < 2 && pos < m_text.size()) {
    const char16_t c = m_text.at(pos).unicode();
    int digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      break;
    value = value * 16 + digit;
    ++digits;
    ++pos;
  }
  m_ignorableNext = false;
  if (digits == 0 || consumeFallback())
    return;
  if (value < 0x20 && value != '\t')
    return;  // control bytes are never text
  character(byteToChar(static_cast<unsigned char>(value), codePage()));
}

void Reader::controlSymbol(QChar symbol) {
  if (symbol == u'*') {
    m_ignorableNext = true;
    return;
  }
  m_ignorableNext = false;
  if (consumeFallback())
    return;
  switch (symbol.unicode()) {
    case u'\\':
    case u'{':
    case u'}':
      character(symbol);
      break;
    case u'~':
      character(QChar(QChar::Nbsp));
      break;
    case u'-':
      character(QChar(QChar::SoftHyphen));
      break;
    case u'_':
      character(QChar(0x2011));  // non-breaking hyphen
      break;
    case u'\r':
    case u'\n':
      // A backslash before a line end is a paragraph mark.
      if (state().destination == Destination::Text)
        paragraphBreak();
      break;
    case u'\t':
      character(symbol);
      break;
    default:
      break;  // \| \: and unknown symbols carry nothing to show
  }
}

// Consumes one fallback character after \uN; returns whether it did.
bool Reader::consumeFallback() {
  if (m_fallbackToSkip <= 0)
    return false;
  --m_fallbackToSkip;
  return true;
}

void Reader::word(Keyword keyword, bool hasParameter, int parameter, qsizetype& pos) {
  const bool ignorable = m_ignorableNext;
  m_ignorableNext = false;
  if (keyword == Keyword::Binary) {
    // \binN: N bytes of binary data follow; they are never text.
    m_fallbackToSkip = 0;
    const qsizetype skip = hasParameter ? std::max(parameter, 0) : 0;
    pos = std::min<qsizetype>(pos + skip, m_text.size());
    return;
  }
  if (consumeFallback())
    return;
  if (ignorable && keyword != Keyword::ListNumbering && keyword != Keyword::UnicodeText) {
    // \* before a destination this reader does not use: skip the group.
    setDestination(Destination::Skipped);
    return;
  }
  switch (state().destination) {
    case Destination::Skipped:
      return;
    case Destination::FontTable:
      if (!destinationWord(keyword))
        fontTableWord(keyword, parameter);
      return;
    case Destination::ColourTable:
      if (!destinationWord(keyword))
        colourTableWord(keyword, parameter);
      return;
    case Destination::ListNumbering:
      if (!destinationWord(keyword))
        listNumberingWord(keyword, parameter);
      return;
    default:
      break;
  }
  if (destinationWord(keyword) || documentWord(keyword, hasParameter, parameter) ||
      characterFormatWord(keyword, hasParameter, parameter) || paragraphFormatWord(keyword, parameter))
    return;
  characterWord(keyword, parameter);
}

// Words that start a destination; returns whether `keyword` was one.
bool Reader::destinationWord(Keyword keyword) {
  const Destination destination = state().destination;
  switch (keyword) {
    case Keyword::FontTable:
      setDestination(Destination::FontTable);
      return true;
    case Keyword::ColourTable:
      setDestination(Destination::ColourTable);
      m_colourGiven = false;
      return true;
    case Keyword::SkippedDestination:
      setDestination(Destination::Skipped);
      return true;
    case Keyword::ListNumbering:
      m_listDefinition = ListDefinition{};
      m_listDefinition.kind = ListKind::Numbered;
      setDestination(Destination::ListNumbering);
      return true;
    case Keyword::ListTextBefore:
      if (destination == Destination::ListNumbering)
        setDestination(Destination::ListTextBefore);
      return true;
    case Keyword::ListTextAfter:
      if (destination == Destination::ListNumbering)
        setDestination(Destination::ListTextAfter);
      return true;
    case Keyword::UnicodePair:
      setDestination(Destination::UnicodePair);
      return true;
    case Keyword::UnicodeText:
      if (destination == Destination::UnicodePair)
        setDestination(Destination::Text);
      return true;
    default:
      return false;
  }
}

void Reader::fontTableWord(Keyword keyword, int parameter) {
  if (keyword == Keyword::Font) {
    m_fontNumber = parameter;
    m_fontCharset = -1;
    m_fontName.clear();
  } else if (keyword == Keyword::FontCharset) {
    m_fontCharset = parameter;
  }
}

void Reader::colourTableWord(Keyword keyword, int parameter) {
  const int component = clampInt(parameter, 0, 255);
  switch (keyword) {
    case Keyword::Red: m_red = component; break;
    case Keyword::Green: m_green = component; break;
    case Keyword::Blue: m_blue = component; break;
    default: return;
  }
  m_colourGiven = true;
}

void Reader::listNumberingWord(Keyword keyword, int parameter) {
  ListDefinition& list = m_listDefinition;
  switch (keyword) {
    case Keyword::ListBullet: list.kind = ListKind::Bullet; break;
    case Keyword::ListBody: list.kind = ListKind::Numbered; break;
    case Keyword::ListContinue: list.kind = ListKind::None; break;
    case Keyword::ListDecimal: list.style = NumberStyle::Decimal; break;
    case Keyword::ListUpperLetter: list.style = NumberStyle::UpperLetter; break;
    case Keyword::ListLowerLetter: list.style = NumberStyle::LowerLetter; break;
    case Keyword::ListUpperRoman: list.style = NumberStyle::UpperRoman; break;
    case Keyword::ListLowerRoman: list.style = NumberStyle::LowerRoman; break;
    case Keyword::ListStart: list.start = clampInt(parameter, 0, 32767); break;
    default: break;
  }
}

// Document settings, wherever they stand; returns whether `keyword` was one.
bool Reader::documentWord(Keyword keyword, bool hasParameter, int parameter) {
  switch (keyword) {
    case Keyword::Ansi: m_documentCodePage = 1252; return true;
    case Keyword::Mac: m_documentCodePage = 10000; return true;
    case Keyword::Pc: m_documentCodePage = 437; return true;
    case Keyword::Pca: m_documentCodePage = 850; return true;
    case Keyword::AnsiCodePage: m_documentCodePage = parameter; return true;
    case Keyword::DefaultFont: m_defaultFont = parameter; return true;
    case Keyword::DefaultTab:
      if (hasParameter && parameter > 0)
        m_defaultTabTwips = clampInt(parameter, 1, kMaxTwips);
      return true;
    case Keyword::UnicodeSkip:
      state().unicodeSkip = clampInt(parameter, 0, kMaxUnicodeSkip);
      return true;
    default:
      return false;
  }
}

// Character formatting of the group; returns whether `keyword` was one.
bool Reader::characterFormatWord(Keyword keyword, bool hasParameter, int parameter) {
  CharProps& chars = state().chars;
  const bool on = !hasParameter || parameter != 0;
  switch (keyword) {
    case Keyword::Plain: chars = CharProps{}; return true;
    case Keyword::Bold: chars.bold = on; return true;
    case Keyword::Italic: chars.italic = on; return true;
    case Keyword::Underline: chars.underline = on; return true;
    case Keyword::UnderlineNone: chars.underline = false; return true;
    case Keyword::Strike:
    case Keyword::StrikeDouble: chars.strike = on; return true;
    case Keyword::Font: chars.font = parameter; return true;
    case Keyword::FontSize:
      chars.halfPoints = hasParameter ? clampInt(parameter, kMinHalfPoints, kMaxHalfPoints) : 24;
      return true;
    case Keyword::Foreground: chars.foreground = std::max(parameter, 0); return true;
    case Keyword::Background:
    case Keyword::Highlight: chars.background = std::max(parameter, 0); return true;
    case Keyword::Superscript: chars.vertical = 1; return true;
    case Keyword::Subscript: chars.vertical = -1; return true;
    case Keyword::NoSuperSub: chars.vertical = 0; return true;
    case Keyword::Hidden: chars.hidden = on; return true;
    default: return false;
  }
}

// Paragraph formatting of the group; returns whether `keyword` was one.
bool Reader::paragraphFormatWord(Keyword keyword, int parameter) {
  ParaProps& para = state().para;
  const int twips = clampInt(parameter, -kMaxTwips, kMaxTwips);
  switch (keyword) {
    case Keyword::ParagraphDefault: para = ParaProps{}; return true;
    case Keyword::AlignLeft: para.alignment = Qt::AlignLeft; return true;
    case Keyword::AlignCentre: para.alignment = Qt::AlignHCenter; return true;
    case Keyword::AlignRight: para.alignment = Qt::AlignRight; return true;
    case Keyword::AlignJustify: para.alignment = Qt::AlignJustify; return true;
    case Keyword::LeftIndent: para.leftIndent = twips; return true;
    case Keyword::RightIndent: para.rightIndent = twips; return true;
    case Keyword::FirstIndent: para.firstIndent = twips; return true;
    case Keyword::SpaceBefore: para.spaceBefore = std::max(twips, 0); return true;
    case Keyword::SpaceAfter: para.spaceAfter = std::max(twips, 0); return true;
    case Keyword::TabRight: para.nextTabType = QTextOption::RightTab; return true;
    case Keyword::TabCentre: para.nextTabType = QTextOption::CenterTab; return true;
    case Keyword::TabDecimal: para.nextTabType = QTextOption::DelimiterTab; return true;
    case Keyword::TabStop:
      if (para.tabs.size() < kMaxTabStops && twips > 0) {
        para.tabs.append({twips, para.nextTabType});
        std::sort(para.tabs.begin(), para.tabs.end(),
                  [](const TabStop& a, const TabStop& b) { return a.twips < b.twips; });
      }
      para.nextTabType = QTextOption::LeftTab;
      return true;
    default:
      return false;
  }
}

// Words that stand for characters or breaks; others are ignored.
void Reader::characterWord(Keyword keyword, int parameter) {
  switch (keyword) {
    case Keyword::Paragraph:
    case Keyword::Row:
    case Keyword::Section:
    case Keyword::Page:
      if (state().destination == Destination::Text)
        paragraphBreak();
      break;
    case Keyword::Line: character(QChar(QChar::LineSeparator)); break;
    case Keyword::Tab:
    case Keyword::Cell: character(u'\t'); break;
    case Keyword::EmDash: character(QChar(0x2014)); break;
    case Keyword::EnDash: character(QChar(0x2013)); break;
    case Keyword::Bullet: character(QChar(0x2022)); break;
    case Keyword::LeftQuote: character(QChar(0x2018)); break;
    case Keyword::RightQuote: character(QChar(0x2019)); break;
    case Keyword::LeftDoubleQuote: character(QChar(0x201C)); break;
    case Keyword::RightDoubleQuote: character(QChar(0x201D)); break;
    case Keyword::EmSpace: character(QChar(0x2003)); break;
    case Keyword::EnSpace: character(QChar(0x2002)); break;
    case Keyword::QuarterEmSpace: character(QChar(0x2005)); break;
    case Keyword::ZeroWidthJoiner: character(QChar(0x200D)); break;
    case Keyword::ZeroWidthNonJoiner: character(QChar(0x200C)); break;
    case Keyword::Unicode: {
      // \uN: N is a signed 16-bit number; negative values stand for 65536+N.
      int code = parameter;
      if (code < 0)
        code += 65536;
      character(code >= 0 && code <= 0xFFFF ? QChar(char16_t(code)) : QChar(QChar::ReplacementCharacter));
      m_fallbackToSkip = state().unicodeSkip;
      break;
    }
    default:
      break;  // unknown or unused words are ignored
  }
}

void Reader::openGroup() {
  m_ignorableNext = false;
  m_fallbackToSkip = 0;
  if (static_cast<int>(m_stack.size()) >= kMaxGroupDepth) {
    ++m_uncountedDepth;
    return;
  }
  GroupState copy = m_stack.back();
  if (m_stack.size() == 1)
    copy.destination = Destination::Text;  // the {\rtf group itself
  m_stack.push_back(std::move(copy));
}

void Reader::closeGroup() {
  m_ignorableNext = false;
  m_fallbackToSkip = 0;
  if (m_uncountedDepth > 0) {
    --m_uncountedDepth;
    return;
  }
  if (m_stack.size() <= 1) {
    m_ended = true;  // a stray '}' outside every group ends the document
    return;
  }
  const Destination closed = m_stack.back().destination;
  m_stack.pop_back();
  assert(!m_stack.empty());
  GroupState& outer = state();
  // A \pn group sets the list of the paragraph it stands in.
  if (closed == Destination::ListNumbering && outer.destination != Destination::ListNumbering)
    outer.para.list = m_listDefinition;
  if (closed == Destination::FontTable && outer.destination == Destination::FontTable &&
      !m_fontName.trimmed().isEmpty()) {
    // A font entry without its closing ';'.
    m_fonts.insert(m_fontNumber, {m_fontName.trimmed(), m_fontCharset});
    m_fontName.clear();
  }
  if (m_stack.size() == 1)
    m_ended = true;  // the {\rtf group is closed; the rest is not RTF
}

}  // namespace detail

bool looksLikeRtf(const QString& text) {
  qsizetype pos = 0;
  while (pos < text.size() && text.at(pos).isSpace())
    ++pos;
  return QStringView(text).mid(pos).startsWith(u"{\\rtf");
}

bool read(const QString& text, QTextDocument& document) {
  if (!looksLikeRtf(text))
    return false;
  const bool undo = document.isUndoRedoEnabled();
  document.setUndoRedoEnabled(false);
  document.clear();
  detail::Reader reader(text, document);
  reader.run();
  document.setUndoRedoEnabled(undo);
  document.setModified(false);
  return true;
}

qreal twipsToPixels(int twips) {
  qreal dpi = 96;
  if (qGuiApp) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      dpi = qRound(screen->logicalDotsPerInchY());
  }
  return twips * dpi / 1440.0;
}

}  // namespace rtf
