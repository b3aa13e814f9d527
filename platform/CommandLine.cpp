// Help, version, usage errors and failure lines for every program.
#include "platform/CommandLine.h"

#include <cstdio>

namespace cli {

namespace {

void write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
  std::fflush(stream);
}

}  // namespace

QString version() { return QStringLiteral(ZOVA_VERSION); }

QStringList arguments(int argc, char** argv) {
  QStringList result;
  for (int i = 1; i < argc; ++i) result << QString::fromLocal8Bit(argv[i]);
  return result;
}

QString usageText(const Program& program) {
  const QString indent(QStringLiteral("usage: ").size(), u' ');
  const QStringList lines = QString::fromUtf8(program.synopsis).split(u'\n', Qt::SkipEmptyParts);
  QString text;
  for (qsizetype i = 0; i < lines.size(); ++i)
    text += (i == 0 ? QStringLiteral("usage: ") : indent) + lines[i] + u'\n';
  return text;
}

std::optional<int> answerHelpOrVersion(const Program& program, const QStringList& arguments) {
  for (const QString& argument : arguments) {
    if (argument == QLatin1String("--")) break;
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      write(stdout, usageText(program) + u'\n' + QString::fromUtf8(program.help));
      return kSuccess;
    }
    if (argument == QLatin1String("--version")) {
      write(stdout, version() + u'\n');
      return kSuccess;
    }
  }
  return std::nullopt;
}

int usageError(const Program& program, const QString& problem) {
  write(stderr, QString::fromUtf8(program.name) + QStringLiteral(": ") + problem + u'\n' + usageText(program));
  return kUsageError;
}

int failure(const Program& program, const QString& file, const QString& reason) {
  const QString oneLine = reason.simplified();
  const QString line = file.isEmpty() || oneLine.contains(file) ? oneLine : file + QStringLiteral(": ") + oneLine;
  write(stderr, QString::fromUtf8(program.name) + QStringLiteral(": ") + line + u'\n');
  return kFailure;
}

}  // namespace cli
