// The telephone drawn for TelefonBtn. The picture files BMP/Telefon.bmp and
// BMP/Telefonrot.bmp show the same drawing in green and in red.
#include "notifications/TelefonPicture.h"

#include <QBitmap>
#include <QImage>

namespace telefon {

namespace {

// A desk telephone: the handset on its cradle above the body with its keys.
const char* const kTelefonXpm[] = {
    "16 16 3 1",
    ". c #FFFFFF",
    "o c #005A00",
    "x c #22A822",
    "................",
    "..ooooooooooo...",
    ".oxxxxxxxxxxxo..",
    "oxxxxxxxxxxxxxo.",
    "oxxxo.....oxxxo.",
    "ooooo.....ooooo.",
    ".....ooooo......",
    "....oxxxxxo.....",
    "...oxxxxxxxo....",
    "..oxx.x.x.xxo...",
    "..oxxxxxxxxxo...",
    ".oxxx.x.x.xxxo..",
    ".oxxxxxxxxxxxo..",
    ".oxxx.x.x.xxxo..",
    ".ooooooooooooo..",
    "................",
};

QPixmap whiteTransparent(const QImage& image) {
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(qRgb(255, 255, 255), Qt::MaskInColor)));
  return pixmap;
}

}  // namespace

QPixmap builtInPicture() { return whiteTransparent(QImage(kTelefonXpm).convertToFormat(QImage::Format_RGB32)); }

QPixmap loadPicture(const QString& path) {
  const QImage image(path);
  if (image.isNull()) return {};
  return whiteTransparent(image.convertToFormat(QImage::Format_RGB32));
}

}  // namespace telefon
