// The settings file of the wall programs under tests/app that run the
// monitor's window in-process on a share (zova-bench-stall,
// zova-check-outage): automatic mode over three days at the given page time.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

// `notifications`: the PfadBenachrichtigungen folder (none when empty), with
// a grace time of one minute.
inline void writeWallSettings(const QString& configHome, const QString& datenpfad, int scrollSeconds,
                              const QString& notifications = QString()) {
  const QString folder = configHome + "/Kelvaro/Zova-Monitor/";
  QDir().mkpath(folder);
  QFile file(folder + "Zova-Monitor.ini");
  file.open(QIODevice::WriteOnly);
  const QString notificationLine =
      notifications.isEmpty() ? QString() : QString("PfadBenachrichtigungen=%1/\n").arg(notifications);
  file.write(QString("[Pfade]\nDatenpfad=%1/\n%3[Settings]\nAutoScroll=1\nScrollTime=%2\nAnzeigeTage=3\n"
                     "Width=1280\nHeight=800\nKarenzZeit=1\n")
                 .arg(datenpfad)
                 .arg(scrollSeconds)
                 .arg(notificationLine)
                 .toUtf8());
}
