// Initialization files: parsing lines, typed value forms, decoding and the
// whole-file replacement on save. The rules are listed in IniFile.h.
#include "platform/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace {

// A settings file is a few kilobytes; anything far larger is not one, and
// refusing it keeps a wrongly chosen file from filling memory.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five unassigned
// bytes (81, 8D, 8F, 90, 9D) map to the control characters of the same
// number, as Windows itself converts them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

QString decodeWindows1252(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += (byte >= 0x80 && byte <= 0x9F) ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
  }
  return text;
}

// UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeLine(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) return decodeWindows1252(bytes);
  return text;
}

bool isCommentLine(const QString& trimmed) {
  return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

// The section name of a "[Name]" line, or nothing.
std::optional<QString> sectionName(const QString& line) {
  const QString trimmed = line.trimmed();
  if (!trimmed.startsWith(u'[')) return std::nullopt;
  const qsizetype close = trimmed.indexOf(u']');
  if (close < 0) return std::nullopt;
  return trimmed.mid(1, close - 1).trimmed();
}

struct Entry {
  QString key;
  QString value;
};

// The key and value of a "key=value" line, or nothing for every other line.
std::optional<Entry> entryOf(const QString& line) {
  const QString trimmed = line.trimmed();
  if (trimmed.isEmpty() || isCommentLine(trimmed) || trimmed.startsWith(u'[')) return std::nullopt;
  const qsizetype equals = trimmed.indexOf(u'=');
  if (equals <= 0) return std::nullopt;
  Entry entry{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
  if (entry.key.isEmpty()) return std::nullopt;
  return entry;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Digits of one time field: one or two decimal digits.
std::optional<int> timeField(const QString& text) {
  if (text.isEmpty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  return value;
}

// The value of one hexadecimal digit, or -1.
int hexDigit(QChar c) {
  if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
  if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
  return -1;
}

}  // namespace

IniFileError::IniFileError(const QString& fileName, const QString& reason)
    : std::runtime_error((fileName + QStringLiteral(": ") + reason).toStdString()), m_fileName(fileName) {}

IniFile::IniFile(const QString& fileName) : m_fileName(fileName) {}

QStringList IniFile::decodeLines(const QByteArray& bytes) {
  QStringList result;
  QByteArrayView rest(bytes);
  while (!rest.isEmpty()) {
    const qsizetype newline = rest.indexOf('\n');
    QByteArrayView line = newline < 0 ? rest : rest.first(newline);
    rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + 1);
    if (line.endsWith('\r')) line.chop(1);
    result << decodeLine(line.toByteArray());
  }
  return result;
}

void IniFile::load() {
  m_lines.clear();
  m_crlf = false;
  m_byteOrderMark = false;
  const QFileInfo info(m_fileName);
  if (!info.exists()) return;
  if (info.isDir()) throw IniFileError(m_fileName, QStringLiteral("is a folder, not a file"));
  if (info.size() > kMaxFileSize) throw IniFileError(m_fileName, QStringLiteral("too large for an initialization file"));
  QFile file(m_fileName);
  if (!file.open(QIODevice::ReadOnly)) throw IniFileError(m_fileName, file.errorString());
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) throw IniFileError(m_fileName, file.errorString());
  if (bytes.startsWith(kByteOrderMark)) {
    m_byteOrderMark = true;
    bytes.remove(0, kByteOrderMark.size());
  }
  const qsizetype firstNewline = bytes.indexOf('\n');
  m_crlf = firstNewline > 0 && bytes.at(firstNewline - 1) == '\r';
  m_lines = decodeLines(bytes);
}

void IniFile::save() const {
  const QByteArray lineEnd = m_crlf ? QByteArray("\r\n") : QByteArray("\n");
  QByteArray content;
  if (m_byteOrderMark) content += kByteOrderMark;
  for (const QString& line : m_lines) content += line.toUtf8() + lineEnd;

  // QSaveFile writes into a temporary file beside the target and renames it
  // over the target only in commit(), so the old file is never truncated.
  QSaveFile file(m_fileName);
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly)) throw IniFileError(m_fileName, file.errorString());
  // The explicit flush matters: a write error that only shows when commit()
  // flushes its buffer (a full disk) is not noticed by commit(), which would
  // then rename a truncated temporary file over the old one (seen with Qt 6.4).
  if (file.write(content) != content.size() || !file.flush()) {
    const QString reason = file.errorString();
    file.cancelWriting();  // the temporary file is removed, the old one stays
    throw IniFileError(m_fileName, reason);
  }
  // commit() syncs to disk but ignores the result; a delayed write error
  // (space that runs out only when the data goes to disk) must stop the rename.
  if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    file.cancelWriting();
    throw IniFileError(m_fileName, reason);
  }
  if (!file.commit()) throw IniFileError(m_fileName, file.errorString());
}

int IniFile::findSection(const QString& section) const {
  for (int i = 0; i < m_lines.size(); ++i) {
    const auto name = sectionName(m_lines.at(i));
    if (name && sameName(*name, section)) return i;
  }
  return -1;
}

int IniFile::findEntry(const QString& section, const QString& key) const {
  const int header = findSection(section);
  if (header < 0) return -1;
  for (int i = header + 1; i < m_lines.size() && !sectionName(m_lines.at(i)); ++i) {
    const auto entry = entryOf(m_lines.at(i));
    if (entry && sameName(entry->key, key)) return i;
  }
  return -1;
}

std::optional<QString> IniFile::rawValue(const QString& section, const QString& key) const {
  const int index = findEntry(section, key);
  if (index < 0) return std::nullopt;
  return entryOf(m_lines.at(index))->value;
}

bool IniFile::contains(const QString& section, const QString& key) const {
  return findEntry(section, key) >= 0;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
  const auto value = rawValue(section, key);
  if (!value) return defaultValue;
  if (value->size() <= MaxValueLength) return *value;
  qsizetype length = MaxValueLength;
  if (value->at(length - 1).isHighSurrogate()) --length;  // keep the pair whole
  return value->left(length);
}

std::optional<qint32> IniFile::parseInteger(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  qsizetype hexStart = -1;
  if (text.startsWith(u'$'))
    hexStart = 1;
  else if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X")))
    hexStart = 2;

  if (hexStart > 0) {
    const QStringView digits = QStringView(text).sliced(hexStart);
    if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
    quint32 value = 0;
    for (const QChar c : digits) {
      const int digit = hexDigit(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<quint32>(digit);
    }
    return static_cast<qint32>(value);  // 8 hex digits wrap like a 32-bit register
  }

  qsizetype pos = 0;
  const bool negative = text.at(0) == u'-';
  if (negative || text.at(0) == u'+') pos = 1;
  if (pos == text.size()) return std::nullopt;
  qint64 value = 0;
  for (; pos < text.size(); ++pos) {
    const QChar c = text.at(pos);
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
    if (value > qint64(1) << 31) return std::nullopt;  // stops before any overflow
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max()) return std::nullopt;
  return static_cast<qint32>(value);
}

qint32 IniFile::readInteger(const QString& section, const QString& key, qint32 defaultValue) const {
  const auto value = rawValue(section, key);
  if (!value) return defaultValue;
  return parseInteger(*value).value_or(defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
  return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::uint8_t IniFile::readByte(const QString& section, const QString& key, std::uint8_t defaultValue) const {
  return static_cast<std::uint8_t>(readInteger(section, key, defaultValue) & 0xFF);
}

QChar IniFile::timeSeparator(const QLocale& locale) {
  // The character after the hours in the short time format ("HH:mm" -> ':',
  // "H.mm" -> '.'). Formats with a quoted word or a blank there fall back to ':'.
  const QString format = locale.timeFormat(QLocale::ShortFormat);
  qsizetype pos = format.indexOf(u'h', 0, Qt::CaseInsensitive);
  if (pos < 0) return u':';
  while (pos < format.size() && (format.at(pos) == u'h' || format.at(pos) == u'H')) ++pos;
  if (pos < format.size() && format.at(pos).isPunct() && format.at(pos) != u'\'') return format.at(pos);
  return u':';
}

QTime IniFile::parseTime(const QString& text, const QLocale& locale) {
  QString normalized = text.trimmed();
  normalized.replace(timeSeparator(locale), u':');
  const QStringList parts = normalized.split(u':');
  if (parts.size() != 2 && parts.size() != 3) return QTime();
  const auto hours = timeField(parts.at(0));
  const auto minutes = timeField(parts.at(1));
  const auto seconds = parts.size() == 3 ? timeField(parts.at(2)) : std::optional<int>(0);
  if (!hours || !minutes || !seconds) return QTime();
  if (*hours > 23 || *minutes > 59 || *seconds > 59) return QTime();
  return QTime(*hours, *minutes, *seconds);
}

QString IniFile::formatTime(const QTime& value, const QLocale& locale) {
  assert(value.isValid());
  const QChar separator = timeSeparator(locale);
  const auto twoDigits = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0')); };
  return twoDigits(value.hour()) + separator + twoDigits(value.minute()) + separator + twoDigits(value.second());
}

QTime IniFile::readTime(const QString& section, const QString& key, const QTime& defaultValue,
                        const QLocale& locale) const {
  const auto value = rawValue(section, key);
  if (!value) return defaultValue;
  const QTime time = parseTime(*value, locale);
  return time.isValid() ? time : defaultValue;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
  // Names come from the program, never from users; one that the format
  // cannot hold is a programming error.
  assert(!section.isEmpty() && !section.contains(u']'));
  assert(!key.isEmpty() && !key.contains(u'=') && key.trimmed() == key);
  QString oneLine = value;
  oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
  const QString line = key + u'=' + oneLine;

  const int existing = findEntry(section, key);
  if (existing >= 0) {
    m_lines[existing] = line;
    return;
  }
  const int header = findSection(section);
  if (header < 0) {
    m_lines << u'[' + section + u']' << line;
    return;
  }
  int insertAt = header + 1;
  for (int i = header + 1; i < m_lines.size() && !sectionName(m_lines.at(i)); ++i)
    if (entryOf(m_lines.at(i))) insertAt = i + 1;
  m_lines.insert(insertAt, line);
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
  writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeInteger(const QString& section, const QString& key, qint32 value) {
  writeString(section, key, QString::number(value));
}

void IniFile::writeTime(const QString& section, const QString& key, const QTime& value, const QLocale& locale) {
  writeString(section, key, formatTime(value, locale));
}
