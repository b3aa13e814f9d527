// Benchmark: time to read large notices and lay them out in a notice box.
//
// Prints one line per case with the input size, the reading time and the
// layout time.  Run by hand: build/bin/RtfBenchmark.  A notice of a megabyte
// must load well under a second.
#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextDocument>

#include <cstdio>

namespace {

const char kHead[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;}\\viewkind4\\uc1\\pard\\f0\\fs20 ";

// Roughly `bytes` of notice made of `unit` repeated.
QString notice(const QString& unit, int bytes) {
  QString text = kHead;
  text.reserve(bytes + unit.size() + 8);
  while (text.size() < bytes)
    text += unit;
  return text + "}";
}

void measure(const char* name, const QString& text) {
  // Reading alone, into a document no widget shows.
  QElapsedTimer timer;
  timer.start();
  {
    QTextDocument document;
    rtf::read(text, document);
  }
  const qint64 readMs = timer.elapsed();

  // Reading into the notice box and laying the text out at its width.
  RichEdit box;
  box.resize(600, 200);
  box.show();
  timer.restart();
  rtf::read(text, *box.document());
  const qreal height = box.requestedRect().bottom();
  const qint64 boxMs = timer.elapsed();
  std::printf("%-34s %8lld chars  read %6lld ms  read+layout in box %6lld ms  %6d blocks  %7.0f px\n",
              name, static_cast<long long>(text.size()), static_cast<long long>(readMs),
              static_cast<long long>(boxMs), box.document()->blockCount(), height);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int megabyte = 1 << 20;
  measure("1 MB paragraphs of text", notice("Vertretung in Raum B12 f\\'fcr die 7a.\\par\n", megabyte));
  measure("1 MB bold/colour every few words",
          notice("Heute {\\b\\cf1 entf\\'e4llt} die \\ul 3.\\ulnone  Stunde, ", megabyte));
  measure("1 MB one paragraph", notice("Die Mensa bleibt geschlossen. ", megabyte));
  measure("1 MB Unicode escapes", notice("\\u8364?\\u228?\\u246? ", megabyte));
  measure("1 MB skipped picture", QString(kHead) + "{\\pict " + QString(megabyte, u'a') + "}x}");
  measure("1 MB nested groups", QString(kHead) + QString(megabyte / 2, u'{') + "x" +
                                    QString(megabyte / 2, u'}') + "}");
  return 0;
}
