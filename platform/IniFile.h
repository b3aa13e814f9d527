// An initialization file ("*.ini") held in memory: sections, key=value
// entries, and every other line kept as it was.
//
// This is the format layer under the settings file "Zova-Monitor.ini" and the
// plan-producing program's "Zova.ini". It knows the file format and the typed
// value forms (flags, numbers, small numbers, times of day, texts); it knows
// nothing about which keys exist. Failures are reported as IniFileError naming
// the file; whether a failure is shown to the user is the caller's decision.
//
// Format rules, as read and written here:
// - "[Name]" opens a section; "key=value" is an entry of the section above
//   it. Section and key names match without regard to letter case. Entries
//   before the first section belong to no section and cannot be read.
// - Lines starting with ';' or '#' are comments. Comments, blank lines and
//   lines that are neither a section nor an entry are kept unchanged and are
//   written back in their place.
// - Key names and values are trimmed of surrounding white space, as the usual
//   INI readers do, so a text value cannot begin or end with a blank.
// - Repeated sections or keys: the first one counts, for reading and for
//   writing; later repetitions are kept in the file but never looked at.
// - Writing an existing key rewrites its line as "Key=value" with the key
//   spelled as the writer names it (a file's "refreshinterval=3" becomes
//   "RefreshInterval=5"). A missing key goes after the last entry of its
//   section (before the blank lines that end it); a missing section goes at
//   the end of the file.
// - Reading decodes each line as UTF-8; a line that is not valid UTF-8 is
//   decoded as Windows-1252 (files written on Windows in the ANSI code page).
//   A leading UTF-8 byte-order mark is skipped and written back.
// - Writing produces UTF-8. The file's line ending (CRLF when its first line
//   ends so, else LF) is kept; a new file gets LF. Every line, also the last,
//   ends with a line break.
// - A value is read as at most 2047 characters (UTF-16 code units; a
//   character pair is never split).
// - save() replaces the file whole: the new content goes to a temporary file
//   in the same folder, which is then renamed over the old file. A failed or
//   interrupted save leaves the old file as it was.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTime>
#include <cstdint>
#include <optional>
#include <stdexcept>

// A failure to read or replace an initialization file; what() names the file
// and the reason.
class IniFileError : public std::runtime_error {
 public:
  IniFileError(const QString& fileName, const QString& reason);
  const QString& fileName() const { return m_fileName; }

 private:
  QString m_fileName;
};

class IniFile {
 public:
  // The longest value a read returns, in characters.
  static constexpr int MaxValueLength = 2047;

  // An empty file under the given name; nothing is read until load().
  explicit IniFile(const QString& fileName);

  const QString& fileName() const { return m_fileName; }

  // Reads the file. A file that does not exist is an empty file (no error).
  // Throws IniFileError when the file exists but cannot be read (for example
  // a folder in its place, or no read permission); the content is then empty.
  void load();

  // Writes the whole content over the file (see the head comment). Throws
  // IniFileError when the file cannot be replaced; the old file stays whole.
  void save() const;

  // --- Reading; a missing section or key, or a value that is not of the
  // type asked for, gives the default. ---

  // The value as text, trimmed and cut to MaxValueLength characters.
  QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
  // A number as in readInteger; non-zero is on, 0 is off ("True" is no number).
  bool readBool(const QString& section, const QString& key, bool defaultValue) const;
  // An optionally signed decimal number, or a hexadecimal one after "0x",
  // "0X" or "$" (up to 8 digits; above 7FFFFFFF it wraps to negative). A
  // number outside the 32-bit range, an empty value or any other text gives
  // the default.
  qint32 readInteger(const QString& section, const QString& key, qint32 defaultValue) const;
  // A number as in readInteger reduced to its lowest 8 bits (257 -> 1, -1 -> 255).
  std::uint8_t readByte(const QString& section, const QString& key, std::uint8_t defaultValue) const;
  // A time of day "hh:mm" or "hh:mm:ss", each field one or two digits, with
  // the locale's time separator or ":" ("18:30", "7:05:09"). An empty value or
  // one that is not a valid time of day (25:00, 18:60, text) gives the default.
  QTime readTime(const QString& section, const QString& key, const QTime& defaultValue,
                 const QLocale& locale = QLocale::system()) const;

  // True when the section holds the key.
  bool contains(const QString& section, const QString& key) const;

  // --- Writing, in memory until save(). ---

  // Stores the text unchanged, except that line breaks, which would end the
  // entry, are written as spaces.
  void writeString(const QString& section, const QString& key, const QString& value);
  // "1" or "0".
  void writeBool(const QString& section, const QString& key, bool value);
  // Decimal.
  void writeInteger(const QString& section, const QString& key, qint32 value);
  // The locale's long time form as hours, minutes and seconds with the
  // locale's time separator, two digits each ("18:00:00" in German).
  void writeTime(const QString& section, const QString& key, const QTime& value,
                 const QLocale& locale = QLocale::system());

  // The content as it would be saved, lines without line breaks.
  QStringList lines() const { return m_lines; }

  // --- Value forms, usable on their own. ---

  // The number in text, or nothing; see readInteger.
  static std::optional<qint32> parseInteger(const QString& text);
  // The time of day in text, or an invalid QTime; see readTime.
  static QTime parseTime(const QString& text, const QLocale& locale);
  // The time as written by writeTime.
  static QString formatTime(const QTime& value, const QLocale& locale);
  // The separator between hours and minutes in the locale's time format.
  static QChar timeSeparator(const QLocale& locale);
  // Decodes file bytes line by line (UTF-8, else Windows-1252); line breaks
  // (LF or CRLF) are removed.
  static QStringList decodeLines(const QByteArray& bytes);

 private:
  // Line index of the section's header, or -1.
  int findSection(const QString& section) const;
  // Line index of the key's entry in the section, or -1.
  int findEntry(const QString& section, const QString& key) const;
  // The raw value of the entry, or nothing when it is missing.
  std::optional<QString> rawValue(const QString& section, const QString& key) const;

  QString m_fileName;
  QStringList m_lines;
  bool m_crlf = false;
  bool m_byteOrderMark = false;
};
