// The settings file of the wall programs under tests/app that run the
// monitor's window in-process on a share (zova-bench-stall,
// zova-check-outage): automatic mode over three days at the given page time.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

inline void writeWallSettings(const QString& configHome, const QString& datenpfad, int scrollSeconds) {
  const QString folder = configHome + "/Kelvaro/Zova-Monitor/";
  QDir().mkpath(folder);
  QFile file(folder + "Zova-Monitor.ini");
  file.open(QIODevice::WriteOnly);
  file.write(QString("[Pfade]\nDatenpfad=%1/\n[Settings]\nAutoScroll=1\nScrollTime=%2\nAnzeigeTage=3\n"
                     "Width=1280\nHeight=800\n")
                 .arg(datenpfad)
                 .arg(scrollSeconds)
                 .toUtf8());
}
