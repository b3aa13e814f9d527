// zova-rtf: prints the document the notice reader builds from an RTF file.
//
//   zova-rtf FILE            the plain text a person reads
//   zova-rtf FILE --html     the document as Qt writes it as HTML
//   zova-rtf FILE --png OUT [--width N] [--plan-font SIZE]
//                            a picture of the notice box (cream background,
//                            N pixels wide, default 500) for looking at it
//
// With --plan-font the notice is loaded as the monitor loads it
// (LoadRichText with Verdana at SIZE points) instead of as read.
//
// FILE is read as UTF-8, or as Windows-1252 when its bytes are not UTF-8,
// the way the database hands a notice over.  A file that is not RTF is shown
// as plain text, as in the notice box.  Exit status 2 on a usage or file
// error.
#include "plan/LoadRichText.h"
#include "richtext/CodePages.h"
#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"

#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QStringDecoder>
#include <QTextDocument>

#include <cstdio>

namespace {

int usage() {
  std::fputs("usage: zova-rtf FILE [--html | --png OUT [--width N]] [--plan-font SIZE]\n", stderr);
  return 2;
}

QString decodeNotice(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8(bytes);
  if (!utf8.hasError())
    return text;
  return rtf::decode(bytes, 1252);
}

void print(const QString& text) {
  const QByteArray out = text.toUtf8();
  std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
  if (!text.endsWith(u'\n'))
    std::fputc('\n', stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.isEmpty())
    return usage();
  const QString path = args.at(0);
  bool html = false;
  QString pngPath;
  int width = 500;
  int planFontSize = 0;
  for (int i = 1; i < args.size(); ++i) {
    if (args.at(i) == "--html") {
      html = true;
    } else if (args.at(i) == "--png" && i + 1 < args.size()) {
      pngPath = args.at(++i);
    } else if (args.at(i) == "--width" && i + 1 < args.size()) {
      bool ok = false;
      width = args.at(++i).toInt(&ok);
      if (!ok || width < 20 || width > 10000)
        return usage();
    } else if (args.at(i) == "--plan-font" && i + 1 < args.size()) {
      bool ok = false;
      planFontSize = args.at(++i).toInt(&ok);
      if (!ok || planFontSize < 1 || planFontSize > 200)
        return usage();
    } else {
      return usage();
    }
  }

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "zova-rtf: cannot open %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    return 2;
  }
  const QString text = decodeNotice(file.readAll());

  RichEdit box;
  box.setBackgroundColor(QColor(252, 241, 201));
  if (planFontSize > 0)
    LoadRichText(text, &box, QFont("Verdana", planFontSize));
  else if (!rtf::read(text, *box.document()))
    box.setPlainText(text);

  if (!pngPath.isEmpty()) {
    box.resize(width, 100);
    box.show();
    box.resize(width, box.requestedRect().bottom() + 4);
    if (!box.grab().save(pngPath)) {
      std::fprintf(stderr, "zova-rtf: cannot write %s\n", qPrintable(pngPath));
      return 2;
    }
    return 0;
  }
  print(html ? box.document()->toHtml() : box.document()->toPlainText());
  return 0;
}
