// Reading zova-check's command line.
#include "CheckOptions.h"

#include <QRegularExpression>

namespace {

// "YYYY-MM-DD HH:MM[:SS]" as a local moment, or nothing.
std::optional<TDateTime> parseMoment(const QString& text) {
  static const QRegularExpression form(
      QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2})(?::(\\d{2}))?$"));
  const QRegularExpressionMatch match = form.match(text.trimmed());
  if (!match.hasMatch()) return std::nullopt;
  const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
  const int hour = match.captured(4).toInt();
  const int minute = match.captured(5).toInt();
  const int second = match.captured(6).toInt();  // 0 when left out
  if (!date.isValid() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return zdt::fromDate(date) + zdt::encodeTime(hour, minute, second);
}

// "WxH" with both between 1 and kLargestWindow pixels, or nothing.
std::optional<QSize> parseSize(const QString& text) {
  static const QRegularExpression form(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
  const QRegularExpressionMatch match = form.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
  if (size.width() < 1 || size.height() < 1 || size.width() > kLargestWindow || size.height() > kLargestWindow)
    return std::nullopt;
  return size;
}

}  // namespace

std::optional<CheckOptions> parseCheckOptions(const QStringList& arguments, QString* problem) {
  CheckOptions options;
  bool pictureOption = false;  // one of the options that only go with --png
  auto fail = [problem](const QString& text) {
    *problem = text;
    return std::nullopt;
  };
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& option = arguments[i];
    if (option == QLatin1String("--json")) {
      options.json = true;
      continue;
    }
    static const QStringList withValue = {"--config-home", "--at", "--png", "--size", "--audience", "--day", "--page"};
    if (!withValue.contains(option)) return fail(QStringLiteral("unknown argument ") + option);
    if (i + 1 >= arguments.size()) return fail(option + QStringLiteral(" needs a value"));
    const QString value = arguments[++i];
    if (option == QLatin1String("--config-home")) {
      if (value.isEmpty()) return fail(QStringLiteral("--config-home needs a folder"));
      options.configHome = value;
    } else if (option == QLatin1String("--at")) {
      options.at = parseMoment(value);
      if (!options.at) return fail(QStringLiteral("--at takes \"YYYY-MM-DD HH:MM[:SS]\", not \"%1\"").arg(value));
    } else if (option == QLatin1String("--png")) {
      if (value.isEmpty()) return fail(QStringLiteral("--png needs a file"));
      options.png = value;
    } else if (option == QLatin1String("--size")) {
      options.size = parseSize(value);
      if (!options.size) return fail(QStringLiteral("--size takes WIDTHxHEIGHT in pixels, not \"%1\"").arg(value));
      pictureOption = true;
    } else if (option == QLatin1String("--audience")) {
      if (value != QLatin1String("0") && value != QLatin1String("1"))
        return fail(QStringLiteral("--audience takes 0 (pupils) or 1 (teachers), not \"%1\"").arg(value));
      options.audience = value.toInt();
      pictureOption = true;
    } else if (option == QLatin1String("--day")) {
      const QDate day = QDate::fromString(value, Qt::ISODate);
      if (!day.isValid() || value.size() != 10)
        return fail(QStringLiteral("--day takes YYYY-MM-DD, not \"%1\"").arg(value));
      options.day = day;
      pictureOption = true;
    } else {
      bool ok = false;
      options.page = value.toInt(&ok);
      if (!ok || *options.page < 1) return fail(QStringLiteral("--page takes a page number from 1, not \"%1\"").arg(value));
      pictureOption = true;
    }
  }
  if (pictureOption && options.png.isEmpty())
    return fail(QStringLiteral("--size, --audience, --day and --page choose the picture of --png FILE"));
  return options;
}
