// zova-check's report as text. Every line is built from the report's JSON,
// so the text cannot say more or less than --json.
#include "ReportText.h"

#include <QJsonArray>
#include <QStringList>

#include "DaysReport.h"
#include "ScreenReport.h"

namespace {

class Writer {
 public:
  void line(const QString& text = QString()) { m_text += text + u'\n'; }
  // "  label   value" with the labels of a section aligned.
  void field(const QString& label, const QString& value, int width = 14) {
    line(QStringLiteral("  ") + label.leftJustified(width) + u' ' + value);
  }
  QString text() const { return m_text; }

 private:
  QString m_text;
};

QString quoted(const QString& text) { return u'"' + text + u'"'; }

QString yesNo(bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); }

QStringList strings(const QJsonArray& array) {
  QStringList list;
  for (const QJsonValue& value : array) list << value.toString();
  return list;
}

// What the running monitor's status file says, or why there is none.
void writeRunning(Writer& out, const QJsonObject& running) {
  if (!running["runs"].toBool()) {
    out.line(QStringLiteral("No monitor runs on these settings (%1).").arg(running["why"].toString()));
    out.line();
    return;
  }
  const QJsonObject screen = running["screen"].toObject();
  const QString monitor = QStringLiteral("The running monitor (version %1, process %2, since %3)")
                              .arg(running["version"].toString())
                              .arg(running["pid"].toInteger())
                              .arg(running["started"].toString());
  if (screen["shows"].toString() == QLatin1String("plan"))
    out.line(QStringLiteral("%1 shows the plan of %2 for the %3, page %4 of %5.")
                 .arg(monitor, screen["date"].toString(), screen["audienceName"].toString())
                 .arg(screen["page"].toInt())
                 .arg(screen["pages"].toInt()));
  else
    out.line(QStringLiteral("%1 shows %2.").arg(monitor, quoted(screen["stateText"].toString())));
  const QJsonObject plan = running["planFile"].toObject();
  out.field(QStringLiteral("plan file"), plan["file"].toString());
  if (screen.contains(QStringLiteral("exported")))
    out.field(QStringLiteral("export"), QStringLiteral("of %1, taken at %2")
                                            .arg(screen["exported"].toString(), plan["takenAt"].toString()));
  QString poll = plan["lastPoll"].isNull() ? QStringLiteral("none yet")
                                           : plan["lastPoll"].toString() + u' ' + plan["lastPollOutcome"].toString();
  if (!plan["lastPollError"].toString().isEmpty()) poll += QStringLiteral(": ") + plan["lastPollError"].toString();
  out.field(QStringLiteral("last poll"), poll);
  if (!plan["outageSince"].isNull())
    out.field(QStringLiteral("outage"), QStringLiteral("since %1, the last complete plan stands in")
                                            .arg(plan["outageSince"].toString()));
  const QJsonObject power = running["screenPower"].toObject();
  QString screenState = power["switchedOff"].toBool() ? QStringLiteral("off outside its hours %1").arg(power["hours"].toString())
                                                      : QStringLiteral("on");
  if (power["switchedOff"].toBool() && !power["switchable"].toBool())
    screenState = QStringLiteral("should be off outside its hours %1, but %2")
                      .arg(power["hours"].toString(), power["reason"].toString());
  if (power.contains(QStringLiteral("problem"))) screenState += QStringLiteral(" (hours ignored: %1)").arg(power["problem"].toString());
  out.field(QStringLiteral("screen"), screenState);
  out.field(QStringLiteral("kiosk mode"), yesNo(running["kiosk"].toBool()));
  const QJsonObject telephone = running["telephone"].toObject();
  out.field(QStringLiteral("telephone"), !telephone["shown"].toBool() ? QStringLiteral("not shown")
                                         : telephone["due"].toBool() ? QStringLiteral("shown, notifications due")
                                                                     : QStringLiteral("shown, nothing due"));
  if (running["restartPending"].toBool())
    out.field(QStringLiteral("restart"), QStringLiteral("the program file was replaced; it starts anew at the next quiet moment"));
  out.line();
}

void writeSummary(Writer& out, const QJsonObject& report) {
  const QJsonObject screen = report["screen"].toObject();
  out.line(QStringLiteral("zova-check %1, standing at %2").arg(report["version"].toString(), report["at"].toString()));
  out.line();
  writeRunning(out, report["running"].toObject());
  if (screen["shows"].toString() == QLatin1String("plan"))
    out.line(QStringLiteral("A monitor started now shows the plan of %1 for the %2: %3.")
                 .arg(screen["date"].toString(), screen["audienceName"].toString(), screen["why"].toString()));
  else
    out.line(QStringLiteral("A monitor started now shows %1\n  because %2.")
                 .arg(quoted(screen["stateText"].toString()), screen["why"].toString()));
}

void writeSettings(Writer& out, const QJsonObject& settings) {
  out.line();
  out.line(QStringLiteral("Settings"));
  const QString file = settings["file"].toString();
  out.field(QStringLiteral("file"), settings["exists"].toBool()
                                        ? file
                                        : file + QStringLiteral(" does not exist: every key takes its default"));
  if (!settings["readError"].isNull())
    out.field(QStringLiteral("read error"), quoted(settings["readError"].toString()) +
                                                QStringLiteral(" (every key takes its default)"));
  QString section;
  for (const QJsonValue& value : settings["keys"].toArray()) {
    const QJsonObject key = value.toObject();
    if (key["section"].toString() != section) {
      section = key["section"].toString();
      out.line(QStringLiteral("  [%1]").arg(section));
    }
    QStringList marks;
    if (key["unreadable"].toBool())
      marks << QStringLiteral("default: %1 in the file cannot be read").arg(quoted(key["inFile"].toString()));
    else if (key["default"].toBool())
      marks << QStringLiteral("default");
    if (key["outsideRange"].toBool())
      marks << QStringLiteral("outside the dialog's range %1").arg(key["dialogRange"].toString());
    const QString shown = key["value"].toString().isEmpty() ? QStringLiteral("(empty)") : key["value"].toString();
    out.line(QStringLiteral("    %1 = %2%3")
                 .arg(key["key"].toString().leftJustified(22), shown.leftJustified(marks.isEmpty() ? 0 : 24),
                      marks.isEmpty() ? QString() : QStringLiteral("  ") + marks.join(QStringLiteral("; "))));
  }
  const QJsonObject screenHours = settings["screenHours"].toObject();
  if (screenHours.contains("problem"))
    out.field(QStringLiteral("screen hours"), QStringLiteral("none, the screen stays on: ") + screenHours["problem"].toString());
  else if (screenHours.contains("on"))
    out.field(QStringLiteral("screen hours"), QStringLiteral("on %1, switched off at every other moment")
                                                  .arg(screenHours["on"].toString()));
  if (settings.contains("zovaIni")) {
    const QJsonObject zovaIni = settings["zovaIni"].toObject();
    out.field(QStringLiteral("Zova.ini"),
              zovaIni["exists"].toBool()
                  ? QStringLiteral("%1, Internetpfad %2").arg(zovaIni["file"].toString(),
                                                              quoted(zovaIni["Internetpfad"].toString()))
                  : zovaIni["file"].toString() + QStringLiteral(" does not exist"));
  }
  out.field(QStringLiteral("Datenpfad from"), settings["datenpfadFrom"].isNull()
                                                  ? QStringLiteral("nowhere: it is empty")
                                                  : settings["datenpfadFrom"].toString());
}

void writePlanFile(Writer& out, const QJsonObject& planFile) {
  out.line();
  out.line(QStringLiteral("Plan file"));
  out.field(QStringLiteral("file"), planFile["file"].toString());
  if (planFile["missingSeparator"].toBool()) {
    const QJsonObject other = planFile["withSeparator"].toObject();
    out.field(QStringLiteral("note"), QStringLiteral("Datenpfad has no trailing \"/\"") +
                                          (other.isEmpty() ? QString()
                                                           : QStringLiteral("; %1 %2").arg(
                                                                 other["file"].toString(),
                                                                 other["exists"].toBool()
                                                                     ? QStringLiteral("exists")
                                                                     : QStringLiteral("does not exist"))));
  }
  if (!planFile["lookedAt"].toBool()) {
    out.field(QStringLiteral("exists"), QStringLiteral("not looked at: the file did not answer in time"));
  } else if (planFile["exists"].toBool()) {
    out.field(QStringLiteral("exists"), QStringLiteral("yes, %1 bytes, modified %2")
                                            .arg(planFile["size"].toInteger())
                                            .arg(planFile["modified"].toString()));
  } else {
    out.field(QStringLiteral("exists"), planFile["folderExists"].toBool()
                                            ? QStringLiteral("no")
                                            : QStringLiteral("no, and its folder does not exist either"));
  }
  if (planFile["lookedAt"].toBool())
    out.field(QStringLiteral("lock file"), planFile["lockFile"].isNull() ? QStringLiteral("none")
                                                                         : planFile["lockFile"].toString());
  const QJsonObject copy = planFile["copy"].toObject();
  QString outcome = copy["outcome"].toString();
  if (!copy["message"].isNull()) outcome += QStringLiteral(": ") + copy["message"].toString();
  out.field(QStringLiteral("copy"), outcome + QStringLiteral(" (start took %1 ms; deadline %2 s)")
                                                  .arg(copy["milliseconds"].toInteger())
                                                  .arg(copy["deadlineMs"].toInt() / 1000));
  out.field(QStringLiteral("written now"), yesNo(planFile["beingWritten"].toBool()));
  out.field(QStringLiteral("Jet version"), planFile["jetVersion"].isNull() ? QStringLiteral("unknown (no copy)")
                                                                           : planFile["jetVersion"].toString());
  const QJsonObject open = planFile["open"].toObject();
  out.field(QStringLiteral("open"), open["ok"].toBool() ? QStringLiteral("ok")
                                                        : QStringLiteral("failed: ") + open["message"].toString());
  if (open.contains("tablesError")) out.field(QStringLiteral("tables"), open["tablesError"].toString());
  for (const QJsonValue& value : planFile["tables"].toArray()) {
    const QJsonObject table = value.toObject();
    QString state;
    if (!table["present"].toBool())
      state = QStringLiteral("missing");
    else if (table.contains("error"))
      state = QStringLiteral("cannot be read: ") + table["error"].toString();
    else {
      state = QStringLiteral("%1 rows").arg(table["rows"].toInt());
      const QStringList missing = strings(table["missingColumns"].toArray());
      if (!missing.isEmpty()) state += QStringLiteral(", lacks ") + missing.join(QStringLiteral(", "));
    }
    out.line(QStringLiteral("    %1 %2").arg(table["name"].toString().leftJustified(16), state));
  }
}

void writeDays(Writer& out, const QJsonObject& days) {
  out.line();
  out.line(QStringLiteral("Days"));
  for (const QJsonValue& value : days["audiences"].toArray()) {
    const QJsonObject audience = value.toObject();
    QString head = QStringLiteral("  %1 (%2)").arg(audience["name"].toString(), audience["table"].toString());
    if (!audience["read"].toBool())
      head += QStringLiteral(": not read, ") + audience["notReadBecause"].toString();
    else if (!audience["loadError"].isNull())
      head += QStringLiteral(": the load stopped: ") + audience["loadError"].toString();
    out.line(head);
    const QJsonArray list = audience["days"].toArray();
    if (list.isEmpty()) out.line(QStringLiteral("    no plan day"));
    for (const QJsonValue& entry : list) {
      const QJsonObject day = entry.toObject();
      const QString rows = !day["laidOut"].toBool()
                               ? QStringLiteral("not laid out (only the latest %1 days are)").arg(kDaysLaidOut)
                           : day["rows"].isNull()
                               ? QStringLiteral("rows not readable")
                               : QStringLiteral("%1 rows, %2 page(s)").arg(day["rows"].toInt()).arg(day["pages"].toInt());
      out.line(QStringLiteral("    %1  %2  Druckdatum %3  DruckZeit %4  %5")
                   .arg(day["weekday"].toString(), day["date"].toString(), quoted(day["Druckdatum"].toString()),
                        day["DruckZeit"].toString(), rows));
    }
  }
  const QJsonObject list = days["Tagesliste"].toObject();
  const QStringList dates = strings(list["days"].toArray());
  out.line(QStringLiteral("  Tagesliste (automatic mode: %1, AnzeigeTage %2): %3")
               .arg(list["audienceName"].toString())
               .arg(list["AnzeigeTage"].toInt())
               .arg(dates.isEmpty() ? QStringLiteral("empty") : dates.join(QStringLiteral(", "))));
  if (list["today"].toBool()) {
    const QString times = QStringLiteral("Haltbarkeit (%1) and DruckZeit + 1 h (%2)")
                              .arg(list["Haltbarkeit"].toString(), list["DruckZeitPlusOneHour"].toString());
    if (list["todayDropped"].toBool())
      out.line(QStringLiteral("    today has been dropped: both %1 have passed").arg(times));
    else if (list["onlyDay"].toBool())
      out.line(QStringLiteral("    today stays: it is the only day of the list (%1)")
                   .arg(QString(times).replace(QStringLiteral(" and "), QStringLiteral(", "))));
    else
      out.line(QStringLiteral("    today stays until both %1 have passed").arg(times));
  } else {
    out.line(QStringLiteral("    no plan for today"));
  }
}

void writeScreen(Writer& out, const QJsonObject& screen) {
  out.line();
  out.line(QStringLiteral("What a monitor started now shows (%1, %2)")
               .arg(screen["window"].toString(), screen["audienceName"].toString()));
  for (const QJsonValue& note : screen["sizeNotes"].toArray()) out.line(QStringLiteral("  note: ") + note.toString());
  if (screen["automaticMode"].toBool())
    out.line(QStringLiteral("  automatic mode: every %1 s the next page, after the last page the next day of "
                            "Tagesliste")
                 .arg(screen["ScrollTime"].toInt()));
  if (screen["shows"].toString() != QLatin1String("plan")) {
    out.line(QStringLiteral("  ") + quoted(screen["stateText"].toString()));
    out.line(QStringLiteral("  because ") + screen["why"].toString());
    return;
  }
  const QStringList header = strings(screen["header"].toArray());
  for (int i = 0; i + 1 < header.size(); i += 2)
    out.line(QStringLiteral("  %1 | %2").arg(header[i], header[i + 1]));
  for (const QJsonValue& value : screen["lists"].toArray()) {
    const QJsonObject list = value.toObject();
    const QStringList lines = strings(list["lines"].toArray());
    for (int i = 0; i < lines.size(); ++i)
      out.line(QStringLiteral("  %1 %2").arg((i == 0 ? list["caption"].toString() : QString()).leftJustified(20),
                                            lines[i]));
  }
  const QString notice = screen["notice"].toString().trimmed();
  if (!notice.isEmpty())
    out.line(QStringLiteral("  Bitte beachten: ") +
             QString(notice).replace(u'\t', u' ').split(u'\n').join(QStringLiteral("\n                  ")));
  const QJsonArray rows = screen["rows"].toArray();
  out.line(QStringLiteral("  %1 rows; %2 visible at once, %3 page(s); page %4 on screen")
               .arg(rows.size())
               .arg(screen["visibleRows"].toInt())
               .arg(screen["pages"].toInt())
               .arg(screen["page"].toInt()));
  if (!rows.isEmpty()) {
    out.line(QStringLiteral("    ") + strings(screen["columns"].toArray()).join(QStringLiteral(" | ")));
    for (const QJsonValue& row : rows) out.line(QStringLiteral("    ") + strings(row.toArray()).join(QStringLiteral(" | ")));
    out.line(QStringLiteral("    ") + screen["signature"].toString());
  }
  if (!screen["pageRow"].toString().isEmpty()) out.line(QStringLiteral("  page row: ") + screen["pageRow"].toString());
}

void writeNotifications(Writer& out, const QJsonObject& notifications) {
  out.line();
  out.line(QStringLiteral("Notifications"));
  QString state = notifications["state"].toString();
  if (notifications.contains("why")) state += QStringLiteral(": ") + notifications["why"].toString();
  out.field(QStringLiteral("state"), state);
  if (notifications.contains("file")) out.field(QStringLiteral("file"), notifications["file"].toString());
  if (notifications.contains("message"))
    out.field(QStringLiteral("message"), notifications["message"].isNull()
                                             ? QStringLiteral("none")
                                             : quoted(notifications["message"].toString().replace(u'\r', u' ')));
  if (notifications["state"].toString() != QLatin1String("on")) return;
  out.field(QStringLiteral("database"),
            notifications["loaded"].toBool()
                ? QStringLiteral("read: %1 notification(s) of today and later").arg(notifications["notifications"].toInt())
                : QStringLiteral("the query failed: ") + notifications["loadError"].toString());
  out.field(QStringLiteral("due"), QString::number(notifications["due"].toInt()));
  out.field(QStringLiteral("next check"), QStringLiteral("in %1 s").arg(notifications["nextCheckMs"].toInt() / 1000.0));
  out.field(QStringLiteral("telephone"), notifications["picture"].toString() == QLatin1String("red")
                                             ? QStringLiteral("red picture")
                                             : QStringLiteral("normal picture"));
  if (notifications["clockWarning"].toBool())
    out.field(QStringLiteral("clock"), QStringLiteral("a notification is stamped ahead of this clock: the monitor "
                                                      "warns \"Bitte die Uhrzeit mit dem Server der Datenbank "
                                                      "synchronisieren\""));
}

void writeTail(Writer& out, const QJsonObject& report) {
  out.line();
  const QJsonArray messages = report["messages"].toArray();
  out.line(messages.isEmpty() ? QStringLiteral("Message boxes the monitor would show: none")
                              : QStringLiteral("Message boxes the monitor would show:"));
  for (const QJsonValue& value : messages)
    out.line(QStringLiteral("  ") + quoted(value.toObject()["text"].toString().replace(u'\r', u'\n')));
  if (report.contains("png")) {
    const QJsonObject png = report["png"].toObject();
    out.line();
    out.line(QStringLiteral("Picture %1: %2, %3, %4, page %5 of %6")
                 .arg(png["file"].toString(), png["window"].toString(),
                      audienceName(png["audience"].toInt()),
                      png["date"].isNull() ? QStringLiteral("state text") : png["date"].toString())
                 .arg(png["page"].toInt())
                 .arg(png["pages"].toInt()));
  }
}

}  // namespace

QString reportText(const QJsonObject& report) {
  Writer out;
  writeSummary(out, report);
  writeSettings(out, report["settings"].toObject());
  writePlanFile(out, report["planFile"].toObject());
  writeDays(out, report["days"].toObject());
  writeScreen(out, report["screen"].toObject());
  writeNotifications(out, report["notifications"].toObject());
  writeTail(out, report);
  return out.text();
}
