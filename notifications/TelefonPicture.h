// The pictures of the telephone button TelefonBtn: the built-in one and
// those loaded from picture files, white being the transparent colour.
#pragma once

#include <QPixmap>
#include <QString>

namespace telefon {

// The built-in picture: a 16 x 16 green telephone on white, white transparent.
QPixmap builtInPicture();

// The picture in `path` (BMP or any format Qt reads) with white made
// transparent; a null pixmap when the file is missing or unreadable.
QPixmap loadPicture(const QString& path);

}  // namespace telefon
