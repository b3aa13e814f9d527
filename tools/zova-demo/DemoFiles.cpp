// Writing the demo files (see DemoFiles.h).
#include "DemoFiles.h"

#include "DemoPlan.h"
#include "jet/JetWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace demo {

namespace {

// The first settings of a demo installation: both databases in the data
// folder (the monitor joins folder and file name, so the folder ends with a
// separator), a window that fits a laptop screen, and a wall's look: the
// font size fits the screen, no control panel and no key-help status bar.
QByteArray settingsText(const QString& dataFolder) {
  const QString folder = QDir::toNativeSeparators(dataFolder + "/");
  return QStringLiteral("[Pfade]\nDatenpfad=%1\nPfadBenachrichtigungen=%1\n\n"
                        "[Settings]\nLeft=20\nTop=20\nWidth=1200\nHeight=760\n"
                        "Fontsize=0\nShowSteuerPanel=0\nShowStatusPanel=0\n")
      .arg(folder)
      .toUtf8();
}

void writeSettings(const QString& configHome, const QString& dataFolder) {
  const QString path = settingsFilePath(configHome);
  if (QFileInfo::exists(path)) return;  // a user's later settings survive a rerun
  if (!QDir().mkpath(QFileInfo(path).absolutePath()))
    throw DemoError(QStringLiteral("cannot create the folder %1").arg(QFileInfo(path).absolutePath()));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(settingsText(dataFolder)) < 0 || !file.commit())
    throw DemoError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

void writeDatabase(const jet::Database& database, const QString& path) {
  try {
    database.write(path);
  } catch (const jet::WriteError& error) {
    throw DemoError(QString::fromStdString(error.what()));
  }
}

}  // namespace

QString settingsFilePath(const QString& configHome) {
  return QDir(configHome).filePath("Kelvaro/Zova-Monitor/Zova-Monitor.ini");
}

void writeDemo(const QString& dataDir, const QString& configHome, bool update, TDateTime now) {
  const QString folder = QDir(dataDir).absolutePath();
  // A mistyped path must not grow a tree of folders: only the last one is made.
  const QFileInfo parent(QFileInfo(folder).absolutePath());
  if (!parent.isDir())
    throw DemoError(QStringLiteral("%1: the parent folder %2 %3")
                        .arg(folder, parent.filePath(),
                             parent.exists() ? QStringLiteral("is not a folder") : QStringLiteral("does not exist")));
  if (!QDir().mkpath(folder)) throw DemoError(QStringLiteral("cannot create the data folder %1").arg(folder));
  const QDir data(folder);
  writeDatabase(planDatabase(now, update), data.filePath(kPlanFileName));
  if (!update || !QFileInfo::exists(data.filePath(kNotificationFileName)))
    writeDatabase(notificationDatabase(now), data.filePath(kNotificationFileName));
  if (!configHome.isEmpty()) writeSettings(configHome, folder);
}

}  // namespace demo
