// The running monitor's status file: what its screen shows now, for
// zova-check and an administrator's monitoring.
//
// One small JSON file per settings folder in the user's runtime folder
// ($XDG_RUNTIME_DIR/zova-monitor/, a tmpfs that the login manager empties at
// logout and a reboot empties anyway), named after the settings folder. The
// monitor replaces it by rename whenever what it says changes, so a reader
// never sees half of it, and removes it when it ends. A monitor that
// crashed leaves it behind; its process id then names no running monitor,
// which readFor() tells.
//
// Nothing here touches a share: the runtime folder is local.
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

namespace runtimestatus {

// The status file of the monitor that uses `settingsFolder` (the folder of
// Zova-Monitor.ini, as Einstellungspfad names it). Empty when there is no
// runtime folder.
QString fileFor(const QString& settingsFolder);

// Writes `status` to `file` by rename when it differs from what was written
// last; false (with `error` set) when it cannot be written.
class Writer {
 public:
  explicit Writer(QString file) : m_file(std::move(file)) {}
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  bool write(const QJsonObject& status, QString* error = nullptr);
  QString file() const { return m_file; }

 private:
  QString m_file;
  QByteArray m_lastWritten;
};

// What a running monitor's status file says: the object, or nothing when
// there is no file, it cannot be read, or the process it names has ended
// (`why` says which).
std::optional<QJsonObject> readFor(const QString& settingsFolder, QString* why = nullptr);

}  // namespace runtimestatus
