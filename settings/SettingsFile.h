// Reading and writing "Zova-Monitor.ini", and the folders it lives in.
//
// ReadSettings fills the process-wide settings values (SettingsValues.h) from
// the file in Einstellungspfad, key by key with their defaults; WriteSettings
// writes every value back. The plan folder falls back to the plan-producing
// program's "Zova.ini" (key Internetpfad) when the monitor has none.
#pragma once

#include <QString>

// Folders computed once at start (FormCreate), each with a trailing "/".
extern QString Programmpfad;      // folder of the program file
extern QString Einstellungspfad;  // <application data>/Kelvaro/Zova-Monitor/
extern QString Pfad2007;          // <application data>/Kelvaro/Zentrova2007/
// Kiosk mode for this run (--kiosk), whatever [Kiosk] Aktiv says; never written.
extern bool KioskForThisRun;

// The per-user application-data folder with a trailing separator.
QString GetShellFolder();

// Sets Einstellungspfad and Pfad2007 (not created) below GetShellFolder(), as
// the main window does at start. With `create` the settings folder is created
// with its missing parents; without it (a diagnosis that writes nothing) the
// folders are only named.
void SetupSettingsFolders(bool create = true);

// Reads the 25 keys in their read order, then [Kiosk]; on a read failure
// shows "Fehler beim Lesen der Datei ..." and keeps what was read. Falls back to
// ReadDefaultDatenpfad when Datenpfad is empty. The notification feature is
// decided afterwards by the caller (app/SettingsAndNotifications.h).
bool ReadSettings();

// Reads Internetpfad from "Zova.ini" in Pfad2007 into Settings.Datenpfad.
bool ReadDefaultDatenpfad();

// Writes every key in the write order; the file is replaced whole (written to
// a temporary file in the same folder, then renamed), so a failed write leaves
// the old file intact and shows "Fehler beim Schreiben der Datei ...".
void WriteSettings();
