// The settings part of zova-check's report.
//
// The values are the monitor's own, read by ReadSettings into the settings
// values. The file is opened once more only to tell a key that was there
// from one that took its default; the ranges are those of the settings
// dialog's own controls.
#include "SettingsReport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QSpinBox>

#include "app/SleepHours.h"
#include "platform/IniFile.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"
#include "settings/TMyEinstDlg.h"
#include "widgets/UpDown.h"

namespace {

enum class Kind { Text, Flag, Number, Time };

// One key as the monitor holds it after reading.
struct KeyValue {
  const char* section;
  const char* key;
  Kind kind;
  QString value;      // as the settings file writes it
  qint64 number = 0;  // numbers; minutes since midnight for the time of day
};

QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

QString timeText(TDateTime value) {
  const QTime time = zdt::toTime(value);
  return time.toString(time.second() != 0 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

// The 29 keys in the order the monitor reads them.
QVector<KeyValue> keyValues() {
  const SettingsValues& s = Settings;
  const auto number = [](const char* section, const char* key, Kind kind, qint64 value) {
    return KeyValue{section, key, kind, QString::number(value), value};
  };
  const auto onOff = [](const char* key, bool value) {
    return KeyValue{"Settings", key, Kind::Flag, flag(value), value ? 1 : 0};
  };
  const QTime haltbarkeit = zdt::toTime(s.Haltbarkeit);
  return {
      {"Pfade", "Datenpfad", Kind::Text, s.Datenpfad},
      {"Pfade", "PfadBenachrichtigungen", Kind::Text, s.PfadBenachrichtigungen},
      onOff("ShowStatusPanel", s.ShowStatusPanel),
      onOff("ShowSteuerPanel", s.ShowSteuerPanel),
      onOff("AutoScroll", s.AutoScroll),
      onOff("Vollbild", s.Vollbild),
      number("Settings", "InfoTyp", Kind::Number, s.InfoTyp),
      number("Settings", "LastTyp", Kind::Number, s.LastTyp),
      number("Settings", "Refreshinterval", Kind::Number, s.Refreshinterval),
      number("Settings", "ScrollTime", Kind::Number, s.ScrollTime),
      number("Settings", "Fontsize", Kind::Number, s.Fontsize),
      number("Settings", "AnzeigeTage", Kind::Number, s.AnzeigeTage),
      {"Settings", "Haltbarkeit", Kind::Time, timeText(s.Haltbarkeit), haltbarkeit.hour() * 60 + haltbarkeit.minute()},
      number("Settings", "Left", Kind::Number, s.Left),
      number("Settings", "Top", Kind::Number, s.Top),
      number("Settings", "Height", Kind::Number, s.Height),
      number("Settings", "Width", Kind::Number, s.Width),
      onOff("WindowMax", s.WindowMax),
      onOff("ShowALehrer", s.ShowALehrer),
      onOff("ShowAKlassen", s.ShowAKlassen),
      onOff("ShowAKurse", s.ShowAKurse),
      onOff("ShowARaeume", s.ShowARaeume),
      onOff("ShowBLehrer", s.ShowBLehrer),
      onOff("ShowBKlassen", s.ShowBKlassen),
      number("Settings", "KarenzZeit", Kind::Number, s.KarenzZeit),
      {"Kiosk", "Aktiv", Kind::Flag, flag(s.KioskAktiv), s.KioskAktiv ? 1 : 0},
      {"Kiosk", "An", Kind::Text, s.KioskAn},
      {"Kiosk", "Aus", Kind::Text, s.KioskAus},
      {"Kiosk", "Tage", Kind::Text, s.KioskTage},
  };
}

// What the settings dialog offers for a key: lowest and highest value.
struct DialogRange {
  qint64 minimum;
  qint64 maximum;
  QString text;
};

// The ranges of the dialog's controls, by key; keys the dialog does not
// edit as a number have none.
QHash<QString, DialogRange> dialogRanges() {
  const TMyEinstDlg dialog;
  const auto spin = [](const QSpinBox* box) {
    return DialogRange{box->minimum(), box->maximum(),
                       QStringLiteral("%1 to %2").arg(box->minimum()).arg(box->maximum())};
  };
  const int first = dialog.UpDown5->minimum() * 15;
  const int last = dialog.UpDown5->maximum() * 15;
  const auto clock = [](int minutes) { return QTime(minutes / 60, minutes % 60).toString(QStringLiteral("HH:mm")); };
  return {
      {QStringLiteral("Fontsize"), spin(dialog.Edit3)},
      {QStringLiteral("Refreshinterval"), spin(dialog.Edit4)},
      {QStringLiteral("ScrollTime"), spin(dialog.Edit1)},
      {QStringLiteral("AnzeigeTage"), spin(dialog.Edit2)},
      {QStringLiteral("KarenzZeit"), spin(dialog.Edit7)},
      {QStringLiteral("InfoTyp"), {0, 1, QStringLiteral("0 or 1")}},
      {QStringLiteral("Haltbarkeit"),
       {first, last, clock(first) + QStringLiteral(" to ") + clock(last) + QStringLiteral(" in steps of 15 minutes")}},
  };
}

// Whether the file's text for the key reads as the key's type.
bool readsAs(Kind kind, const QString& raw) {
  switch (kind) {
    case Kind::Text: return true;
    case Kind::Flag:
    case Kind::Number: return IniFile::parseInteger(raw).has_value();
    case Kind::Time: return IniFile::parseTime(raw, QLocale::system()).isValid();
  }
  return false;
}

// The time of day counts as outside also between two of the dialog's steps.
bool outsideRange(const KeyValue& entry, const DialogRange& range) {
  // Fontsize 0 is the dialog's "automatisch".
  if (qstrcmp(entry.key, "Fontsize") == 0 && entry.number == 0) return false;
  if (entry.number < range.minimum || entry.number > range.maximum) return true;
  return entry.kind == Kind::Time && (entry.number % 15 != 0 || zdt::toTime(Settings.Haltbarkeit).second() != 0);
}

}  // namespace

QJsonObject settingsReport(const QStringList& shownMessages) {
  const QString fileName = Einstellungspfad + QStringLiteral("Zova-Monitor.ini");
  QJsonObject report;
  report["folder"] = Einstellungspfad;
  report["file"] = fileName;
  report["exists"] = QFileInfo(fileName).isFile();
  const QString readMessage = QStringLiteral("Fehler beim Lesen der Datei ");
  QJsonValue readError;
  for (const QString& text : shownMessages)
    if (text.startsWith(readMessage)) readError = text;
  report["readError"] = readError;

  IniFile ini(fileName);
  try {
    ini.load();
  } catch (const IniFileError&) {
    ini = IniFile(fileName);  // what the monitor did too: every key its default
  }
  const QHash<QString, DialogRange> ranges = dialogRanges();
  QJsonArray keys;
  for (const KeyValue& entry : keyValues()) {
    const QString section = QString::fromLatin1(entry.section);
    const QString key = QString::fromLatin1(entry.key);
    const bool present = ini.contains(section, key);
    const QString raw = present ? ini.readString(section, key, QString()) : QString();
    const bool readable = present && readsAs(entry.kind, raw);
    QJsonObject item;
    item["section"] = section;
    item["key"] = key;
    item["value"] = entry.value;
    item["inFile"] = present ? QJsonValue(raw) : QJsonValue();
    item["default"] = !readable;
    item["unreadable"] = present && !readable;
    const auto range = ranges.constFind(key);
    if (range != ranges.constEnd()) {
      item["dialogRange"] = range->text;
      item["outsideRange"] = outsideRange(entry, *range);
    }
    keys.append(item);
  }
  report["keys"] = keys;

  // The screen's hours as the running monitor takes them.
  QString problem;
  const std::optional<SleepHours> hours =
      SleepHours::fromSettings(Settings.KioskAn, Settings.KioskAus, Settings.KioskTage, &problem);
  QJsonObject screenHours;
  if (hours) screenHours["on"] = hours->text();
  if (!problem.isEmpty()) screenHours["problem"] = problem;
  report["screenHours"] = screenHours;

  // The monitor looks into the plan-producing program's file only when its
  // own Datenpfad is empty.
  const QString own = ini.readString(QStringLiteral("Pfade"), QStringLiteral("Datenpfad"), QString());
  QString source = QStringLiteral("Zova-Monitor.ini");
  if (own.isEmpty()) {
    const QString zovaIni = Pfad2007 + QStringLiteral("Zova.ini");
    QJsonObject fallback;
    fallback["file"] = zovaIni;
    fallback["exists"] = QFileInfo(zovaIni).isFile();
    fallback["Internetpfad"] = Settings.Datenpfad;
    report["zovaIni"] = fallback;
    source = Settings.Datenpfad.isEmpty() ? QString() : QStringLiteral("Zova.ini");
  }
  report["datenpfadFrom"] = source.isEmpty() ? QJsonValue() : QJsonValue(source);
  return report;
}
