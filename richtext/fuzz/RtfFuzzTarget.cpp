// libFuzzer target for the RTF notice reader.
//
// Feeds arbitrary bytes, decoded as UTF-8 (as the database layer hands a
// notice over), to rtf::read and lays the resulting document out at a
// notice-box width, so that crashes, sanitizer reports and hangs in reading
// or in laying out what was read show up.  Built only by scripts/fuzz-rtf
// with clang and -fsanitize=fuzzer,address; not part of the CMake build.
#include "richtext/RtfReader.h"

#include <QGuiApplication>
#include <QString>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The document needs fonts, so a QGuiApplication must exist; offscreen
  // needs no display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QTextDocument document;
  if (rtf::read(text, document)) {
    document.setTextWidth(400);
    document.size();
    document.toPlainText();
  }
  return 0;
}
