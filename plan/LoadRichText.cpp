// LoadRichText and its default-tab edit; see LoadRichText.h.
#include "plan/LoadRichText.h"

#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <cassert>

QString AdaptDefaultTab(const QString& text, int fontSize) {
  // Where "deftab720" stands and what replaces it.  Positions
  // here count from 0; "not found" is -1.
  const qsizetype p = text.indexOf(QLatin1String("deftab720"));
  const QString keyword = QStringLiteral("deftab") + QString::number(qint64{fontSize} * 720 / 10);

  QString result = text;
  if (p >= 0 && fontSize != 10) {
    // Only these nine characters change, so \deftab7200 at size 9
    // becomes \deftab6480.
    result.replace(p, 9, keyword);
    return result;
  }
  // No "deftab720" (or size 10): give the text a \deftab after the
  // default font, if it names one the way the rich-edit control writes it.
  const QLatin1String defaultFont("\\deff0{");
  const qsizetype q = text.indexOf(defaultFont);
  if (q >= 0)
    result.insert(q + 6, QLatin1Char('\\') + keyword);
  return result;
}

void LoadRichText(const QString& text, RichEdit* box, const QFont& planFont) {
  assert(box != nullptr);
  const QString edited = AdaptDefaultTab(text, planFont.pointSize());

  // RTF when the reader takes it, plain text otherwise.
  QTextDocument* document = box->document();
  if (!rtf::read(edited, *document)) {
    box->setPlainText(edited);
    // A plain notice keeps the rich-edit control's default tab width.
    QTextOption option = document->defaultTextOption();
    option.setTabStopDistance(rtf::twipsToPixels(rtf::kDefaultTabTwips));
    document->setDefaultTextOption(option);
  }
  // Empty paragraphs take their height from the document's font, as the
  // paragraph marks of the rich-edit control take the plan font below.
  document->setDefaultFont(planFont);

  // The plan font's face and size over everything; other character
  // formatting is merged, not replaced.
  QTextCursor cursor(document);
  cursor.select(QTextCursor::Document);
  QTextCharFormat face;
  face.setFontFamilies({planFont.family()});
  face.setFontPointSize(planFont.pointSize());
  cursor.mergeCharFormat(face);

  // Caret at the start, nothing selected.
  cursor.movePosition(QTextCursor::Start);
  box->setTextCursor(cursor);
  box->requestResize();
}
