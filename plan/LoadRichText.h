// LoadRichText: puts a day's notice (BitteRTF) into the notice box.
//
// Before loading, the notice's default tab width is adapted to the plan font
// size (\deftab720 is the width for size 10); after loading, the whole text
// is set in the plan font's face and size while bold, italic, underline,
// colours and paragraphs stay, so the notice matches the rest of the page.
#pragma once

#include <QString>

class QFont;
class RichEdit;

// The text edit before loading: the first "deftab720" becomes
// "deftab" + 72 × fontSize when fontSize is not 10; otherwise (no
// "deftab720", or size 10) "\deftab" + 72 × fontSize is inserted after the
// first "\deff0" that is followed by "{".  Any other text is returned
// unchanged.
QString AdaptDefaultTab(const QString& text, int fontSize);

// Loads `text` into `box`, replacing its content: as RTF when the reader
// accepts it, else as plain text; then sets the whole content in the face
// and point size of `planFont` (Verdana at the whole point size Fontsize)
// and puts the caret at the start with nothing selected.
void LoadRichText(const QString& text, RichEdit* box, const QFont& planFont);
