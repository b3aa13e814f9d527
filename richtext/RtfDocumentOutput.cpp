// RTF notice reader: putting text and formatting into the QTextDocument.
//
// Text is collected into runs of equal character formatting and inserted
// run by run inside one edit block; a paragraph's block format is only set
// when it differs from the block before it.  Both keep a notice of a
// megabyte fast.
#include "richtext/CodePages.h"
#include "richtext/RtfReaderPrivate.h"

#include <QTextDocument>

#include <cassert>

namespace rtf::detail {
namespace {

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

}  // namespace

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
  assert(st.destination == Destination::Text);
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

}  // namespace rtf::detail
