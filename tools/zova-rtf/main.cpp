// zova-rtf: prints the document the notice reader builds from an RTF file.
//
//   zova-rtf FILE            the plain text a person reads
//   zova-rtf FILE --html     the document as Qt writes it as HTML
//   zova-rtf FILE --png OUT [--width N] [--plan-font SIZE]
//                            a picture of the notice box (cream background,
//                            N pixels wide, default 500) for looking at it
//   zova-rtf --help | --version
//
// With --plan-font the notice is loaded as the monitor loads it
// (LoadRichText with Verdana at SIZE points) instead of as read.
//
// FILE is read as UTF-8, or as Windows-1252 when its bytes are not UTF-8,
// the way the database hands a notice over.  A file that is not RTF is shown
// as plain text, as in the notice box.  Exit status 1 when a file cannot be
// read or written (one line on stderr), 2 on a usage error.
#include "plan/LoadRichText.h"
#include "platform/CommandLine.h"
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

const cli::Program kProgram{
    "zova-rtf",
    "zova-rtf FILE [--html | --png OUT [--width N]] [--plan-font SIZE]\nzova-rtf --help | --version\n",
    "Shows what the notice box makes of an RTF notice: its plain text, its HTML, or a picture.\n"
    "  --html            the document as HTML instead of plain text\n"
    "  --png OUT         a PNG picture of the notice box, N pixels wide (--width, default 500)\n"
    "  --plan-font SIZE  load the notice as the monitor does, in Verdana at SIZE points\n"
    "Exit status: 0 done, 1 failure (one line on standard error), 2 wrong arguments.\n"
    "See zova-rtf(1).\n"};

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
  const QStringList args = cli::arguments(argc, argv);
  if (const auto status = cli::answerHelpOrVersion(kProgram, args)) return *status;
  if (args.isEmpty()) return cli::usageError(kProgram, QStringLiteral("FILE missing"));
  const QString path = args.at(0);
  if (path.startsWith(u'-')) return cli::usageError(kProgram, QStringLiteral("unknown option ") + path);
  bool html = false;
  QString pngPath;
  int width = 500;
  int planFontSize = 0;
  for (int i = 1; i < args.size(); ++i) {
    const QString& option = args.at(i);
    const bool hasValue = i + 1 < args.size();
    if (option == "--html") {
      html = true;
    } else if (option == "--png" && hasValue) {
      pngPath = args.at(++i);
    } else if (option == "--width" && hasValue) {
      bool ok = false;
      width = args.at(++i).toInt(&ok);
      if (!ok || width < 20 || width > 10000)
        return cli::usageError(kProgram, QStringLiteral("--width takes 20 to 10000 pixels"));
    } else if (option == "--plan-font" && hasValue) {
      bool ok = false;
      planFontSize = args.at(++i).toInt(&ok);
      if (!ok || planFontSize < 1 || planFontSize > 200)
        return cli::usageError(kProgram, QStringLiteral("--plan-font takes 1 to 200 points"));
    } else {
      return cli::usageError(kProgram, QStringLiteral("unknown or incomplete option ") + option);
    }
  }

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return cli::failure(kProgram, path, QStringLiteral("cannot be read: ") + file.errorString());
  const QString text = decodeNotice(file.readAll());

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

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
    if (!box.grab().save(pngPath))
      return cli::failure(kProgram, pngPath, QStringLiteral("cannot be written"));
    return cli::kSuccess;
  }
  print(html ? box.document()->toHtml() : box.document()->toPlainText());
  return 0;
}
