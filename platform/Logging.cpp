// The monitor's logging categories; below QtWarningMsg they are off unless a
// logging rule enables them. And where the monitor's lines go.
#include "platform/Logging.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcPlan, "zova.plan", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDb, "zova.db", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "zova.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNotifications, "zova.notifications", QtWarningMsg)
Q_LOGGING_CATEGORY(lcScreen, "zova.screen", QtWarningMsg)

namespace {

// Whether standard error is the stream systemd connected to the journal:
// JOURNAL_STREAM holds its "device:inode".
bool standardErrorIsJournal() {
  const QByteArray stream = qgetenv("JOURNAL_STREAM");
  const qsizetype colon = stream.indexOf(':');
  if (colon <= 0) return false;
  bool deviceOk = false, inodeOk = false;
  const qulonglong device = stream.left(colon).toULongLong(&deviceOk);
  const qulonglong inode = stream.mid(colon + 1).toULongLong(&inodeOk);
  struct stat status {};
  return deviceOk && inodeOk && ::fstat(2, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

// syslog's priorities, which the journal takes from a "<N>" before the line.
int journalPriority(QtMsgType type) {
  switch (type) {
    case QtDebugMsg: return 7;
    case QtInfoMsg: return 6;
    case QtWarningMsg: return 4;
    case QtCriticalMsg: return 3;
    case QtFatalMsg: return 2;
  }
  return 6;
}

void writeToJournal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  QByteArray line = '<' + QByteArray::number(journalPriority(type)) + '>';
  if (context.category && std::strcmp(context.category, "default") != 0) line += QByteArray(context.category) + ": ";
  // One message, one entry: a line break would start an entry of default priority.
  line += message.toUtf8().replace('\n', ' ') + '\n';
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
  std::fflush(stderr);
  if (type == QtFatalMsg) std::abort();
}

}  // namespace

void setUpMonitorLogging() {
  // Rules from QT_LOGGING_RULES or a logging configuration file come after
  // these and so take precedence.
  QLoggingCategory::setFilterRules(QStringLiteral("zova.plan.info=true\nzova.db.info=true"));
  if (standardErrorIsJournal())
    qInstallMessageHandler(writeToJournal);
  else
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{if-category}%{category}: %{endif}%{message}"));
}
