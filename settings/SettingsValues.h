// The process-wide settings values, one per key of "Zova-Monitor.ini".
//
// Every part of the monitor reads its settings here by key name
// (Settings.Fontsize, Settings.AutoScroll ...). They hold their defaults only
// through ReadSettings; before it they are zero, false or empty.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/DateTime.h"

struct SettingsValues {
  // [Pfade]
  QString Datenpfad;
  QString PfadBenachrichtigungen;
  // [Settings]
  bool ShowStatusPanel = false;
  bool ShowSteuerPanel = false;
  bool AutoScroll = false;
  bool Vollbild = false;
  std::uint8_t InfoTyp = 0;
  std::uint8_t LastTyp = 0;
  qint32 Refreshinterval = 0;
  qint32 ScrollTime = 0;
  qint32 Fontsize = 0;
  qint32 AnzeigeTage = 0;
  TDateTime Haltbarkeit = 0;  // time of day, integer part 0
  qint32 Left = 0;
  qint32 Top = 0;
  qint32 Height = 0;
  qint32 Width = 0;
  bool WindowMax = false;
  bool ShowALehrer = false;
  bool ShowAKlassen = false;
  bool ShowAKurse = false;
  bool ShowARaeume = false;
  bool ShowBLehrer = false;
  bool ShowBKlassen = false;
  qint32 KarenzZeit = 0;
  // [Kiosk], set by the administrator and never written by the monitor
  bool KioskAktiv = false;
  // The screen's hours (see app/SleepHours.h), as written: "06:30", "17:30",
  // "Mo-Fr"; empty when the key is missing
  QString KioskAn;
  QString KioskAus;
  QString KioskTage;
};

// The one instance; tests reset it with Settings = SettingsValues{}.
extern SettingsValues Settings;
