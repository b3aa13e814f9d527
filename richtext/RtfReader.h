// Reader for the RTF notices of the plan, building a QTextDocument.
//
// The plan-producing program stores each day's notice as RTF, as a Windows
// rich-edit control saves it.  Qt reads HTML and Markdown but not RTF, so
// this reader turns the subset such notices use into a QTextDocument:
// paragraphs, line breaks, tabs (default width and explicit stops), bold,
// italic, underline, strike-through, font face and size, text and background
// colours, alignment, indents, code-page and Unicode escapes, and bulleted or
// numbered paragraphs.  Pictures, objects, style sheets, document info,
// headers and footers are skipped without showing any of their text.
//
// Damaged RTF is shown as far as it can be read: the reader keeps its group
// state on an explicit stack with a depth limit, clamps every number and
// never fails once the text starts like RTF.
#pragma once

#include <QString>

class QTextDocument;

namespace rtf {

// Whether `text` starts with "{\rtf" after optional white space, that is
// whether read() accepts it.
bool looksLikeRtf(const QString& text);

// Replaces the content of `document` with the notice `text`.
// `text` is already decoded: characters above 127 in it are taken as they
// are; \'hh escapes are decoded in the code page of the document or font.
// Returns false and leaves `document` untouched when `text` is not RTF (see
// looksLikeRtf); the caller then shows it as plain text.
// Sets the document's default tab distance from \deftab (720 twips when the
// text has none).
bool read(const QString& text, QTextDocument& document);

// Length in layout pixels of `twips` (1/1440 inch) at the logical DPI that
// Qt's text layout uses for point sizes, so tab stops and indents keep their
// proportion to the text.
qreal twipsToPixels(int twips);

// RTF's default tab width when a notice has no \deftab: half an inch.
inline constexpr int kDefaultTabTwips = 720;

}  // namespace rtf
