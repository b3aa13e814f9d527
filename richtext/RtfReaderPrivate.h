// Internals of the RTF notice reader, shared by its two source files:
// RtfReader.cpp (tokens, control words, groups) and RtfDocumentOutput.cpp
// (putting text and formatting into the QTextDocument).  Not for other code.
#pragma once

#include "richtext/RtfKeywords.h"
#include "richtext/RtfReader.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextOption>

#include <algorithm>
#include <vector>

class QTextDocument;

namespace rtf::detail {

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

inline int clampInt(int value, int low, int high) { return std::clamp(value, low, high); }

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
  bool destinationWord(Keyword keyword);
  void fontTableWord(Keyword keyword, int parameter);
  void colourTableWord(Keyword keyword, int parameter);
  void listNumberingWord(Keyword keyword, int parameter);
  bool documentWord(Keyword keyword, bool hasParameter, int parameter);
  bool characterFormatWord(Keyword keyword, bool hasParameter, int parameter);
  bool paragraphFormatWord(Keyword keyword, int parameter);
  void characterWord(Keyword keyword, int parameter);
  bool consumeFallback();

  // Groups.
  void openGroup();
  void closeGroup();

  // Content of the current destination.
  void character(QChar c);
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

}  // namespace rtf::detail
