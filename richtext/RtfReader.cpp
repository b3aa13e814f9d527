// RTF notice reader: tokenizer, group state and document building.
//
// One pass over the text.  Each '{' pushes a copy of the group state
// (character and paragraph formatting, destination, \uc count) onto an
// explicit stack and each '}' pops it, so nesting depth costs no recursion;
// beyond kMaxGroupDepth groups are only counted.  Text is collected into runs
// of equal character formatting and inserted into the document run by run
// inside one edit block, which keeps a notice of a megabyte fast.
#include "richtext/RtfReader.h"

#include "richtext/CodePages.h"
#include "richtext/RtfKeywords.h"

#include <QColor>
#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QScreen>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <cassert>
#include <vector>

namespace rtf {
namespace {

// Deeper groups than this are counted but share the state of the deepest
// stored group; real notices nest a handful of levels.
constexpr int kMaxGroupDepth = 4096;
// Control-word letters beyond this are read but not compared.
constexpr int kMaxWordLength = 32;
// Parameters are clamped to this magnitude while they are read, so a huge
// number can never overflow.
constexpr int kMaxParameter = 1'000'000'000;
// Lengths in twips are clamped to 22 inches, the largest page Word allows.
constexpr int kMaxTwips = 31680;
// Font sizes in half-points are clamped to Word's range (1 .. 1638 pt).
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;
// Explicit tab stops per paragraph beyond this are ignored.
constexpr int kMaxTabStops = 64;
// \ucN skip counts beyond this are clamped.
constexpr int kMaxUnicodeSkip = 16;

enum class Destination : unsigned char {
  Text,            // shown document text
  Skipped,         // ignorable or unknown destination: nothing is shown
  FontTable,       // \fonttbl and its entries
  ColourTable,     // \colortbl
  ListNumbering,   // \pn: list kind and numbering style of the paragraph
  ListTextBefore,  // \pntxtb inside \pn
  ListTextAfter,   // \pntxta inside \pn
  UnicodePair,     // \upr: its 8-bit alternative is skipped, \ud is shown
};

enum class ListKind : unsigned char { None, Bullet, Numbered };
enum class NumberStyle : unsigned char { Decimal, UpperLetter, LowerLetter, UpperRoman, LowerRoman };

struct ListDefinition {
  ListKind kind = ListKind::None;
  NumberStyle style = NumberStyle::Decimal;
  int start = 1;
  QString textBefore;
  QString textAfter;
  bool operator==(const ListDefinition&) const = default;
};

struct CharProps {
  int font = -1;  // font-table number; -1 means the \deff font
  int halfPoints = 24;
  int foreground = 0;  // colour-table index; 0 is the automatic colour
  int background = 0;
  signed char vertical = 0;  // -1 subscript, +1 superscript
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool hidden = false;
  bool operator==(const CharProps&) const = default;
};

struct TabStop {
  int twips = 0;
  QTextOption::TabType type = QTextOption::LeftTab;
  bool operator==(const TabStop&) const = default;
};

struct ParaProps {
  Qt::Alignment alignment = Qt::AlignLeft;
  int leftIndent = 0;  // all lengths in twips
  int rightIndent = 0;
  int firstIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  QTextOption::TabType nextTabType = QTextOption::LeftTab;
  QList<TabStop> tabs;
  ListDefinition list;
  bool operator==(const ParaProps&) const = default;
};

struct GroupState {
  CharProps chars;
  ParaProps para;
  Destination destination = Destination::Text;
  int unicodeSkip = 1;
};

struct FontEntry {
  QString name;
  int charset = -1;
};

int clampInt(int value, int low, int high) { return std::clamp(value, low, high); }

QString romanNumeral(int number) {
  static const struct { int value; const char* text; } kDigits[] = {
      {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
      {50, "l"}, {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"}};
  QString text;
  number = clampInt(number, 1, 3999);
  for (const auto& digit : kDigits) {
    while (number >= digit.value) {
      text += QLatin1String(digit.text);
      number -= digit.value;
    }
  }
  return text;
}

QString letterNumeral(int number) {
  // a..z, then aa..zz as Word counts.
  number = clampInt(number, 1, 26 * 100);
  const QChar letter(u'a' + (number - 1) % 26);
  return QString((number - 1) / 26 + 1, letter);
}

// One reading of one notice; see read().
class Reader {
 public:
  Reader(const QString& text, QTextDocument& document)
      : m_text(text), m_document(document), m_cursor(&document) {}

  void run();

 private:
  GroupState& state() { return m_stack.back(); }

  // Tokens.
  void controlWord(qsizetype& pos);
  void controlSymbol(QChar symbol);
  void hexByte(qsizetype& pos);
  void word(Keyword keyword, bool hasParameter, int parameter, qsizetype& pos);
  bool consumeFallback();

  // Groups.
  void openGroup();
  void closeGroup();

  // Content of the current destination.
  void character(QChar c);
  void documentText(const QString& text);
  void beginContent();
  void paragraphBreak();
  void flushRun();
  void applyParagraph(const ParaProps& props);
  void finish();

  // Formatting.
  void setDestination(Destination destination) { state().destination = destination; }
  QTextCharFormat charFormat(const CharProps& props) const;
  QTextBlockFormat blockFormat(const ParaProps& props) const;
  QString listMarker(const ListDefinition& list);
  int codePage() const;

  const QString& m_text;
  QTextDocument& m_document;
  QTextCursor m_cursor;

  std::vector<GroupState> m_stack;
  int m_uncountedDepth = 0;  // groups opened beyond kMaxGroupDepth
  bool m_ended = false;      // the outermost group has closed
  bool m_ignorableNext = false;  // a \* waits for its control word
  int m_fallbackToSkip = 0;  // characters still to skip after \u

  // Document-wide settings.
  int m_documentCodePage = 1252;
  int m_defaultFont = 0;
  int m_defaultTabTwips = kDefaultTabTwips;
  QHash<int, FontEntry> m_fonts;
  QList<QColor> m_colours;  // invalid entries are the automatic colour

  // Table entries under construction.
  int m_fontNumber = 0;
  int m_fontCharset = -1;
  QString m_fontName;
  int m_red = 0, m_green = 0, m_blue = 0;
  bool m_colourGiven = false;
  ListDefinition m_listDefinition;

  // Document building.
  QString m_run;
  CharProps m_runProps;
  bool m_breakPending = false;      // a \par whose block is not inserted yet
  bool m_paragraphStarted = false;  // the current block has content
  ParaProps m_contentPara;          // paragraph props of the latest content
  ParaProps m_blockPara;            // paragraph props the current block has
  int m_listNumber = 0;
  bool m_previousParagraphNumbered = false;
};

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
  if (ignorable) {
    // \* before a destination this reader does not use: skip the group.
    if (keyword != Keyword::ListNumbering && keyword != Keyword::UnicodeText) {
      setDestination(Destination::Skipped);
      return;
    }
  }
  GroupState& st = state();
  const Destination destination = st.destination;
  if (destination == Destination::Skipped)
    return;

  const bool on = !hasParameter || parameter != 0;
  const auto twips = [&] { return clampInt(parameter, -kMaxTwips, kMaxTwips); };

  switch (keyword) {
    // Destinations.
    case Keyword::FontTable:
      setDestination(Destination::FontTable);
      return;
    case Keyword::ColourTable:
      setDestination(Destination::ColourTable);
      m_colourGiven = false;
      return;
    case Keyword::SkippedDestination:
      setDestination(Destination::Skipped);
      return;
    case Keyword::ListNumbering:
      m_listDefinition = ListDefinition{};
      m_listDefinition.kind = ListKind::Numbered;
      setDestination(Destination::ListNumbering);
      return;
    case Keyword::ListTextBefore:
      if (destination == Destination::ListNumbering)
        setDestination(Destination::ListTextBefore);
      return;
    case Keyword::ListTextAfter:
      if (destination == Destination::ListNumbering)
        setDestination(Destination::ListTextAfter);
      return;
    case Keyword::UnicodePair:
      setDestination(Destination::UnicodePair);
      return;
    case Keyword::UnicodeText:
      if (destination == Destination::UnicodePair)
        setDestination(Destination::Text);
      return;
    default:
      break;
  }

  // Words that mean something in the tables.
  if (destination == Destination::FontTable) {
    if (keyword == Keyword::Font) {
      m_fontNumber = parameter;
      m_fontCharset = -1;
      m_fontName.clear();
    } else if (keyword == Keyword::FontCharset) {
      m_fontCharset = parameter;
    }
    return;
  }
  if (destination == Destination::ColourTable) {
    const int component = clampInt(parameter, 0, 255);
    if (keyword == Keyword::Red)
      m_red = component, m_colourGiven = true;
    else if (keyword == Keyword::Green)
      m_green = component, m_colourGiven = true;
    else if (keyword == Keyword::Blue)
      m_blue = component, m_colourGiven = true;
    return;
  }
  if (destination == Destination::ListNumbering) {
    switch (keyword) {
      case Keyword::ListBullet: m_listDefinition.kind = ListKind::Bullet; break;
      case Keyword::ListBody: m_listDefinition.kind = ListKind::Numbered; break;
      case Keyword::ListContinue: m_listDefinition.kind = ListKind::None; break;
      case Keyword::ListDecimal: m_listDefinition.style = NumberStyle::Decimal; break;
      case Keyword::ListUpperLetter: m_listDefinition.style = NumberStyle::UpperLetter; break;
      case Keyword::ListLowerLetter: m_listDefinition.style = NumberStyle::LowerLetter; break;
      case Keyword::ListUpperRoman: m_listDefinition.style = NumberStyle::UpperRoman; break;
      case Keyword::ListLowerRoman: m_listDefinition.style = NumberStyle::LowerRoman; break;
      case Keyword::ListStart: m_listDefinition.start = clampInt(parameter, 0, 32767); break;
      default: break;
    }
    return;
  }

  switch (keyword) {
    // Document settings, wherever they stand.
    case Keyword::Ansi: m_documentCodePage = 1252; break;
    case Keyword::Mac: m_documentCodePage = 10000; break;
    case Keyword::Pc: m_documentCodePage = 437; break;
    case Keyword::Pca: m_documentCodePage = 850; break;
    case Keyword::AnsiCodePage: m_documentCodePage = parameter; break;
    case Keyword::DefaultFont: m_defaultFont = parameter; break;
    case Keyword::DefaultTab:
      if (hasParameter && parameter > 0)
        m_defaultTabTwips = clampInt(parameter, 1, kMaxTwips);
      break;
    case Keyword::UnicodeSkip: st.unicodeSkip = clampInt(parameter, 0, kMaxUnicodeSkip); break;

    // Character formatting.
    case Keyword::Plain: st.chars = CharProps{}; break;
    case Keyword::Bold: st.chars.bold = on; break;
    case Keyword::Italic: st.chars.italic = on; break;
    case Keyword::Underline: st.chars.underline = on; break;
    case Keyword::UnderlineNone: st.chars.underline = false; break;
    case Keyword::Strike:
    case Keyword::StrikeDouble: st.chars.strike = on; break;
    case Keyword::Font: st.chars.font = parameter; break;
    case Keyword::FontSize:
      st.chars.halfPoints = hasParameter ? clampInt(parameter, kMinHalfPoints, kMaxHalfPoints) : 24;
      break;
    case Keyword::Foreground: st.chars.foreground = std::max(parameter, 0); break;
    case Keyword::Background:
    case Keyword::Highlight: st.chars.background = std::max(parameter, 0); break;
    case Keyword::Superscript: st.chars.vertical = 1; break;
    case Keyword::Subscript: st.chars.vertical = -1; break;
    case Keyword::NoSuperSub: st.chars.vertical = 0; break;
    case Keyword::Hidden: st.chars.hidden = on; break;

    // Paragraph formatting.
    case Keyword::ParagraphDefault: st.para = ParaProps{}; break;
    case Keyword::AlignLeft: st.para.alignment = Qt::AlignLeft; break;
    case Keyword::AlignCentre: st.para.alignment = Qt::AlignHCenter; break;
    case Keyword::AlignRight: st.para.alignment = Qt::AlignRight; break;
    case Keyword::AlignJustify: st.para.alignment = Qt::AlignJustify; break;
    case Keyword::LeftIndent: st.para.leftIndent = twips(); break;
    case Keyword::RightIndent: st.para.rightIndent = twips(); break;
    case Keyword::FirstIndent: st.para.firstIndent = twips(); break;
    case Keyword::SpaceBefore: st.para.spaceBefore = clampInt(parameter, 0, kMaxTwips); break;
    case Keyword::SpaceAfter: st.para.spaceAfter = clampInt(parameter, 0, kMaxTwips); break;
    case Keyword::TabRight: st.para.nextTabType = QTextOption::RightTab; break;
    case Keyword::TabCentre: st.para.nextTabType = QTextOption::CenterTab; break;
    case Keyword::TabDecimal: st.para.nextTabType = QTextOption::DelimiterTab; break;
    case Keyword::TabStop:
      if (st.para.tabs.size() < kMaxTabStops && parameter > 0) {
        st.para.tabs.append({clampInt(parameter, 1, kMaxTwips), st.para.nextTabType});
        std::sort(st.para.tabs.begin(), st.para.tabs.end(),
                  [](const TabStop& a, const TabStop& b) { return a.twips < b.twips; });
      }
      st.para.nextTabType = QTextOption::LeftTab;
      break;

    // Characters and breaks.
    case Keyword::Paragraph:
    case Keyword::Row:
    case Keyword::Section:
    case Keyword::Page:
      if (destination == Destination::Text)
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
      m_fallbackToSkip = st.unicodeSkip;
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

// One character of the current destination.
void Reader::character(QChar c) {
  GroupState& st = state();
  switch (st.destination) {
    case Destination::Text:
      if (st.chars.hidden)
        return;
      beginContent();
      if (!(m_runProps == st.chars)) {
        flushRun();
        m_runProps = st.chars;
      }
      m_run.append(c);
      return;
    case Destination::FontTable:
      if (c == u';') {
        m_fonts.insert(m_fontNumber, {m_fontName.trimmed(), m_fontCharset});
        m_fontName.clear();
      } else {
        m_fontName.append(c);
      }
      return;
    case Destination::ColourTable:
      if (c == u';') {
        m_colours.append(m_colourGiven ? QColor(m_red, m_green, m_blue) : QColor());
        m_red = m_green = m_blue = 0;
        m_colourGiven = false;
      }
      return;
    case Destination::ListTextBefore:
      m_listDefinition.textBefore.append(c);
      return;
    case Destination::ListTextAfter:
      m_listDefinition.textAfter.append(c);
      return;
    case Destination::Skipped:
    case Destination::ListNumbering:
    case Destination::UnicodePair:
      return;
  }
}

// Called before any shown content: inserts the block of a pending \par and
// the list marker of a list paragraph.
void Reader::beginContent() {
  if (m_breakPending) {
    flushRun();
    m_cursor.insertBlock();
    m_breakPending = false;
    m_paragraphStarted = false;
  }
  GroupState& st = state();
  m_contentPara = st.para;
  if (m_paragraphStarted)
    return;
  m_paragraphStarted = true;
  const bool numbered = st.para.list.kind == ListKind::Numbered;
  if (numbered)
    m_listNumber = m_previousParagraphNumbered ? m_listNumber + 1 : st.para.list.start;
  m_previousParagraphNumbered = numbered;
  if (st.para.list.kind != ListKind::None) {
    if (!(m_runProps == st.chars)) {
      flushRun();
      m_runProps = st.chars;
    }
    m_run += listMarker(st.para.list);
  }
}

QString Reader::listMarker(const ListDefinition& list) {
  if (list.kind == ListKind::Bullet)
    return QStringLiteral("\u2022\t");
  QString number;
  switch (list.style) {
    case NumberStyle::Decimal: number = QString::number(m_listNumber); break;
    case NumberStyle::UpperLetter: number = letterNumeral(m_listNumber).toUpper(); break;
    case NumberStyle::LowerLetter: number = letterNumeral(m_listNumber); break;
    case NumberStyle::UpperRoman: number = romanNumeral(m_listNumber).toUpper(); break;
    case NumberStyle::LowerRoman: number = romanNumeral(m_listNumber); break;
  }
  return list.textBefore + number + list.textAfter + u'\t';
}

// \par: ends the current paragraph with the paragraph properties now in
// effect.  The next block is only inserted when more content follows, so the
// final \par of a notice does not leave an empty last line.
void Reader::paragraphBreak() {
  if (m_breakPending) {
    flushRun();
    m_cursor.insertBlock();  // the previous \par ended an empty paragraph
    m_paragraphStarted = false;
  }
  if (!m_paragraphStarted)
    m_previousParagraphNumbered = false;
  flushRun();
  applyParagraph(state().para);
  m_breakPending = true;
}

// Gives the current block the format of `props`.  A new block inherits the
// format of the one before it, so most paragraphs need no call into the
// document at all, which matters for notices of many thousand lines.
void Reader::applyParagraph(const ParaProps& props) {
  if (props == m_blockPara)
    return;
  m_cursor.setBlockFormat(blockFormat(props));
  m_blockPara = props;
}

void Reader::flushRun() {
  if (m_run.isEmpty())
    return;
  m_cursor.insertText(m_run, charFormat(m_runProps));
  m_run.clear();
}

void Reader::finish() {
  flushRun();
  if (!m_breakPending && m_paragraphStarted)
    applyParagraph(m_contentPara);
  QTextOption option = m_document.defaultTextOption();
  option.setTabStopDistance(twipsToPixels(m_defaultTabTwips));
  m_document.setDefaultTextOption(option);
}

int Reader::codePage() const {
  const CharProps& chars = m_stack.back().chars;
  const auto font = m_fonts.constFind(chars.font < 0 ? m_defaultFont : chars.font);
  if (font == m_fonts.constEnd())
    return m_documentCodePage;
  return codePageForCharset(font->charset, m_documentCodePage);
}

QTextCharFormat Reader::charFormat(const CharProps& props) const {
  QTextCharFormat format;
  const auto font = m_fonts.constFind(props.font < 0 ? m_defaultFont : props.font);
  // Symbol-font text has been turned into Unicode already (bullets); the
  // Symbol font itself would show other glyphs for it, or none.
  if (font != m_fonts.constEnd() && !font->name.isEmpty() &&
      codePageForCharset(font->charset, m_documentCodePage) != kSymbolCodePage)
    format.setFontFamilies({font->name});
  format.setFontPointSize(props.halfPoints / 2.0);
  if (props.bold)
    format.setFontWeight(QFont::Bold);
  if (props.italic)
    format.setFontItalic(true);
  if (props.underline)
    format.setFontUnderline(true);
  if (props.strike)
    format.setFontStrikeOut(true);
  if (props.vertical != 0)
    format.setVerticalAlignment(props.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                   : QTextCharFormat::AlignSubScript);
  if (props.foreground > 0 && props.foreground < m_colours.size() &&
      m_colours.at(props.foreground).isValid())
    format.setForeground(m_colours.at(props.foreground));
  if (props.background > 0 && props.background < m_colours.size() &&
      m_colours.at(props.background).isValid())
    format.setBackground(m_colours.at(props.background));
  return format;
}

QTextBlockFormat Reader::blockFormat(const ParaProps& props) const {
  QTextBlockFormat format;
  format.setAlignment(props.alignment);
  format.setLeftMargin(twipsToPixels(props.leftIndent));
  format.setRightMargin(twipsToPixels(props.rightIndent));
  format.setTextIndent(twipsToPixels(props.firstIndent));
  format.setTopMargin(twipsToPixels(props.spaceBefore));
  format.setBottomMargin(twipsToPixels(props.spaceAfter));
  // RTF measures tab stops from the left page margin; Qt's layout measures
  // them from where the line starts.  They are converted for the first line
  // (left indent plus first-line indent), which is where a notice's tabs
  // stand; the two agree whenever the paragraph is not indented.
  const int lineStart = props.leftIndent + props.firstIndent;
  QList<QTextOption::Tab> tabs;
  // A hanging first line (list bullets) jumps to the left indent with its
  // first tab, as in the rich-edit control.
  if (props.firstIndent < 0)
    tabs.append(QTextOption::Tab(twipsToPixels(-props.firstIndent), QTextOption::LeftTab));
  for (const TabStop& stop : props.tabs) {
    if (stop.twips <= lineStart)
      continue;  // behind the start of the text
    tabs.append(QTextOption::Tab(twipsToPixels(stop.twips - lineStart), stop.type,
                                 stop.type == QTextOption::DelimiterTab ? QChar(u',') : QChar()));
  }
  std::stable_sort(tabs.begin(), tabs.end(), [](const QTextOption::Tab& a, const QTextOption::Tab& b) {
    return a.position < b.position;
  });
  if (!tabs.isEmpty())
    format.setTabPositions(tabs);
  return format;
}

}  // namespace

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
  Reader reader(text, document);
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
