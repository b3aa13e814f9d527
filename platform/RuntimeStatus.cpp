// The status file: its place, its atomic replacement and reading it back.
#include "platform/RuntimeStatus.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <csignal>
#include <cerrno>

namespace runtimestatus {

namespace {

// The runtime folder of this user: $XDG_RUNTIME_DIR; empty when unset, since
// a folder of our own choosing elsewhere would outlive the session.
QString runtimeFolder() {
  const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return folder.isEmpty() ? QString() : folder + QStringLiteral("/zova-monitor/");
}

// Whether process `pid` still runs (it may belong to this user only).
bool processRuns(qint64 pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

QString fileFor(const QString& settingsFolder) {
  const QString folder = runtimeFolder();
  if (folder.isEmpty()) return QString();
  // The same settings folder written with or without its trailing separator,
  // or through a link, names the same file.
  QString canonical = QFileInfo(settingsFolder).canonicalFilePath();
  if (canonical.isEmpty()) canonical = QDir::cleanPath(QDir(settingsFolder).absolutePath());
  const QByteArray key = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  return folder + QStringLiteral("status-") + QString::fromLatin1(key) + QStringLiteral(".json");
}

Writer::~Writer() {
  if (m_lastWritten.isEmpty()) return;
  QFile::remove(m_file);
  // The folder goes with the last monitor of this user that leaves.
  QDir().rmdir(QFileInfo(m_file).path());
}

bool Writer::write(const QJsonObject& status, QString* error) {
  if (m_file.isEmpty()) {
    if (error) *error = QStringLiteral("no runtime folder (XDG_RUNTIME_DIR is not set)");
    return false;
  }
  const QByteArray bytes = QJsonDocument(status).toJson(QJsonDocument::Indented);
  if (bytes == m_lastWritten) return true;
  QDir().mkpath(QFileInfo(m_file).path());
  QSaveFile file(m_file);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error) *error = m_file + QStringLiteral(": ") + file.errorString();
    return false;
  }
  m_lastWritten = bytes;
  return true;
}

std::optional<QJsonObject> readFor(const QString& settingsFolder, QString* why) {
  const QString path = fileFor(settingsFolder);
  auto fail = [why](const QString& text) -> std::optional<QJsonObject> {
    if (why) *why = text;
    return std::nullopt;
  };
  if (path.isEmpty()) return fail(QStringLiteral("no runtime folder (XDG_RUNTIME_DIR is not set)"));
  QFile file(path);
  if (!file.exists()) return fail(QStringLiteral("no status file ") + path);
  if (!file.open(QIODevice::ReadOnly)) return fail(path + QStringLiteral(": ") + file.errorString());
  QJsonParseError parseError{};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
  if (!document.isObject()) return fail(path + QStringLiteral(": not a status file (") + parseError.errorString() + u')');
  const QJsonObject status = document.object();
  if (!processRuns(status.value(QStringLiteral("pid")).toInteger()))
    return fail(QStringLiteral("the monitor of %1 (process %2) has ended without removing it")
                    .arg(path)
                    .arg(status.value(QStringLiteral("pid")).toInteger()));
  return status;
}

}  // namespace runtimestatus
