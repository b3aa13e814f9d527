// Reading and writing "Zova-Monitor.ini": the 25 keys with their sections,
// defaults and value forms, the [Kiosk] section that is only read, the
// fallback to the plan-producing program's "Zova.ini", and the two error
// messages the user may see.
//
// The file format itself (case-insensitive names, kept comments, whole-file
// replacement) is platform/IniFile; this file only knows the keys.
#include "settings/SettingsFile.h"

#include <QFileInfo>

#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/Logging.h"
#include "platform/MessageBox.h"
#include "settings/SettingsValues.h"

QString Programmpfad;
QString Einstellungspfad;
QString Pfad2007;
bool KioskForThisRun = false;

namespace {

const QString kPfade = QStringLiteral("Pfade");
const QString kSettings = QStringLiteral("Settings");
const QString kKiosk = QStringLiteral("Kiosk");

QString settingsFileName() { return Einstellungspfad + QStringLiteral("Zova-Monitor.ini"); }

QTime timeOfDay(TDateTime value) { return zdt::toTime(value); }

TDateTime dayFraction(const QTime& time) { return zdt::encodeTime(time.hour(), time.minute(), time.second()); }

// Every key in the read order, each with its default. Haltbarkeit's default
// is the value already in Settings.Haltbarkeit (18:00, set by the main window
// before reading).
void readAllKeys(const IniFile& ini) {
  SettingsValues& s = Settings;
  s.Datenpfad = ini.readString(kPfade, QStringLiteral("Datenpfad"), QString());
  s.PfadBenachrichtigungen = ini.readString(kPfade, QStringLiteral("PfadBenachrichtigungen"), QString());
  s.ShowStatusPanel = ini.readBool(kSettings, QStringLiteral("ShowStatusPanel"), true);
  s.ShowSteuerPanel = ini.readBool(kSettings, QStringLiteral("ShowSteuerPanel"), true);
  s.AutoScroll = ini.readBool(kSettings, QStringLiteral("AutoScroll"), false);
  s.Vollbild = ini.readBool(kSettings, QStringLiteral("Vollbild"), false);
  s.InfoTyp = ini.readByte(kSettings, QStringLiteral("InfoTyp"), 0);
  s.LastTyp = ini.readByte(kSettings, QStringLiteral("LastTyp"), 0);
  s.Refreshinterval = ini.readInteger(kSettings, QStringLiteral("Refreshinterval"), 1);
  s.ScrollTime = ini.readInteger(kSettings, QStringLiteral("ScrollTime"), 8);
  s.Fontsize = ini.readInteger(kSettings, QStringLiteral("Fontsize"), 11);
  s.AnzeigeTage = ini.readInteger(kSettings, QStringLiteral("AnzeigeTage"), 2);
  s.Haltbarkeit = dayFraction(ini.readTime(kSettings, QStringLiteral("Haltbarkeit"), timeOfDay(s.Haltbarkeit)));
  s.Left = ini.readInteger(kSettings, QStringLiteral("Left"), 50);
  s.Top = ini.readInteger(kSettings, QStringLiteral("Top"), 50);
  s.Height = ini.readInteger(kSettings, QStringLiteral("Height"), 500);
  s.Width = ini.readInteger(kSettings, QStringLiteral("Width"), 700);
  s.WindowMax = ini.readBool(kSettings, QStringLiteral("WindowMax"), false);
  s.ShowALehrer = ini.readBool(kSettings, QStringLiteral("ShowALehrer"), true);
  s.ShowAKlassen = ini.readBool(kSettings, QStringLiteral("ShowAKlassen"), true);
  s.ShowAKurse = ini.readBool(kSettings, QStringLiteral("ShowAKurse"), true);
  s.ShowARaeume = ini.readBool(kSettings, QStringLiteral("ShowARaeume"), true);
  s.ShowBLehrer = ini.readBool(kSettings, QStringLiteral("ShowBLehrer"), true);
  s.ShowBKlassen = ini.readBool(kSettings, QStringLiteral("ShowBKlassen"), true);
  s.KarenzZeit = ini.readInteger(kSettings, QStringLiteral("KarenzZeit"), 5);
  s.KioskAktiv = ini.readBool(kKiosk, QStringLiteral("Aktiv"), false) || KioskForThisRun;
  s.KioskAn = ini.readString(kKiosk, QStringLiteral("An"), QString()).trimmed();
  s.KioskAus = ini.readString(kKiosk, QStringLiteral("Aus"), QString()).trimmed();
  s.KioskTage = ini.readString(kKiosk, QStringLiteral("Tage"), QString()).trimmed();
}

// Every key in the write order. Note "RefreshInterval": the same entry as the
// "Refreshinterval" read above, since keys match without regard to case.
void writeAllKeys(IniFile& ini) {
  const SettingsValues& s = Settings;
  ini.writeString(kPfade, QStringLiteral("Datenpfad"), s.Datenpfad);
  ini.writeString(kPfade, QStringLiteral("PfadBenachrichtigungen"), s.PfadBenachrichtigungen);
  ini.writeBool(kSettings, QStringLiteral("ShowStatusPanel"), s.ShowStatusPanel);
  ini.writeBool(kSettings, QStringLiteral("ShowSteuerPanel"), s.ShowSteuerPanel);
  ini.writeBool(kSettings, QStringLiteral("Vollbild"), s.Vollbild);
  ini.writeBool(kSettings, QStringLiteral("AutoScroll"), s.AutoScroll);
  ini.writeInteger(kSettings, QStringLiteral("InfoTyp"), s.InfoTyp);
  ini.writeInteger(kSettings, QStringLiteral("LastTyp"), s.LastTyp);
  ini.writeInteger(kSettings, QStringLiteral("RefreshInterval"), s.Refreshinterval);
  ini.writeInteger(kSettings, QStringLiteral("ScrollTime"), s.ScrollTime);
  ini.writeInteger(kSettings, QStringLiteral("Fontsize"), s.Fontsize);
  ini.writeInteger(kSettings, QStringLiteral("AnzeigeTage"), s.AnzeigeTage);
  ini.writeTime(kSettings, QStringLiteral("Haltbarkeit"), timeOfDay(s.Haltbarkeit));
  ini.writeInteger(kSettings, QStringLiteral("Left"), s.Left);
  ini.writeInteger(kSettings, QStringLiteral("Top"), s.Top);
  ini.writeInteger(kSettings, QStringLiteral("Height"), s.Height);
  ini.writeInteger(kSettings, QStringLiteral("Width"), s.Width);
  ini.writeBool(kSettings, QStringLiteral("WindowMax"), s.WindowMax);
  ini.writeBool(kSettings, QStringLiteral("ShowALehrer"), s.ShowALehrer);
  ini.writeBool(kSettings, QStringLiteral("ShowAKlassen"), s.ShowAKlassen);
  ini.writeBool(kSettings, QStringLiteral("ShowAKurse"), s.ShowAKurse);
  ini.writeBool(kSettings, QStringLiteral("ShowARaeume"), s.ShowARaeume);
  ini.writeBool(kSettings, QStringLiteral("ShowBLehrer"), s.ShowBLehrer);
  ini.writeBool(kSettings, QStringLiteral("ShowBKlassen"), s.ShowBKlassen);
  ini.writeInteger(kSettings, QStringLiteral("KarenzZeit"), s.KarenzZeit);
}

}  // namespace

QString GetShellFolder() { return folders::applicationDataFolder(); }

void SetupSettingsFolders(bool create) {
  Einstellungspfad.clear();
  Pfad2007.clear();
  const QString applicationData = GetShellFolder();
  Einstellungspfad = applicationData + QStringLiteral("Kelvaro/Zova-Monitor/");
  if (create) folders::createFolder(Einstellungspfad);  // a failure shows later, when writing
  Pfad2007 = applicationData + QStringLiteral("Kelvaro/Zentrova2007/");
}

// The file is read whole before any key is taken from it, so a read failure
// happens before the first key. The values held before the first reading are
// zeros (a poll interval of 0 ms, a window of 0 x 0), so after a failure
// every key takes its default, as for a missing file, and the message shows.
// A missing file is no failure; all keys take their defaults.
bool ReadSettings() {
  bool ok = true;
  try {
    IniFile ini(settingsFileName());
    ini.load();
    if (QFileInfo::exists(ini.fileName()))
      qCInfo(lcSettings) << "Settings read from" << ini.fileName();
    else
      qCInfo(lcSettings) << "No settings file" << ini.fileName() << "- every key takes its default";
    readAllKeys(ini);
  } catch (const IniFileError& error) {
    qCInfo(lcSettings) << "Settings file cannot be read:" << error.what();
    // Shown without holding up the start: the plan comes with the defaults.
    msgbox::notify(QStringLiteral("Fehler beim Lesen der Datei ") + Einstellungspfad +
                   QStringLiteral("Zova-Monitor.INI"));
    readAllKeys(IniFile(QString()));  // nothing loaded: every key reads its default
    ok = false;
  }
  if (Settings.Datenpfad.isEmpty()) ReadDefaultDatenpfad();
  qCInfo(lcSettings) << "Datenpfad:" << Settings.Datenpfad;
  qCInfo(lcSettings) << "PfadBenachrichtigungen:" << Settings.PfadBenachrichtigungen;
  return ok;
}

// Silent on every failure: Datenpfad then stays empty, and the page shows
// that the plan database cannot be reached.
bool ReadDefaultDatenpfad() {
  try {
    IniFile ini(Pfad2007 + QStringLiteral("Zova.ini"));
    ini.load();
    Settings.Datenpfad = ini.readString(kSettings, QStringLiteral("Internetpfad"), QString());
    if (QFileInfo::exists(ini.fileName()))
      qCInfo(lcSettings) << "Datenpfad is empty; Internetpfad taken from" << ini.fileName();
    else
      qCInfo(lcSettings) << "Datenpfad is empty and there is no" << ini.fileName();
    return true;
  } catch (const IniFileError& error) {
    qCInfo(lcSettings) << "Datenpfad is empty and Zova.ini cannot be read:" << error.what();
    return false;
  }
}

// The existing file is read first so that lines and keys the monitor does
// not know survive; an existing file that cannot be read is therefore not
// overwritten either. All keys go to disk in one replacement of the file:
// after a failure the old file is unchanged (no key of this write is in it).
void WriteSettings() {
  try {
    IniFile ini(settingsFileName());
    ini.load();
    writeAllKeys(ini);
    ini.save();
    qCInfo(lcSettings) << "Settings written to" << ini.fileName();
  } catch (const IniFileError& error) {
    qCInfo(lcSettings) << "Settings file cannot be written:" << error.what();
    msgbox::show(QStringLiteral("Fehler beim Schreiben der Datei ") + Einstellungspfad +
                 QStringLiteral("Zova-Monitor.ini"));
  }
}
