// zova-check's diagnosis: running the monitor's start in a check window and
// putting the report together, with the reasons behind a state text.
#include "PlanCheck.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageWriter>
#include <QJsonArray>

#include "DaysReport.h"
#include "NotificationsReport.h"
#include "PlanFileReport.h"
#include "ScreenReport.h"
#include "SettingsReport.h"
#include "app/TForm1.h"
#include "notifications/Background.h"
#include "platform/CommandLine.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeStatus.h"
#include "plan/PlanState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

namespace {

// Lets the window take its size and run its first activation, then makes the
// relayout that the monitor's one-second timer makes after a resize.
void settle(TForm1& form) {
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  if (form.ErsteAktivierung) form.FormActivate();
  if (Plan.NeuAufbau) form.Showdaten();
}

void resizeWindow(TForm1& form, const QSize& size) {
  if (form.size() == size) return;
  form.resize(size);
  settle(form);
}

// Why the page shows no connection: the likely cause first, then what the
// open said.
QString noConnectionWhy(const QJsonObject& planFile) {
  const QJsonObject copy = planFile["copy"].toObject();
  const QString datenpfad = planFile["datenpfad"].toString();
  const QString file = planFile["file"].toString();
  QString cause;
  bool causeSaysAll = false;  // the file system's own answer, nothing to add
  if (datenpfad.isEmpty()) {
    cause = QStringLiteral("Datenpfad is empty, so the monitor looks for Zova-Internet.mdb in its working folder");
  } else if (copy["deadlinePassed"].toBool()) {
    cause = QStringLiteral("the plan file did not answer within %1 s (a share that does not answer?)")
                .arg(copy["deadlineMs"].toInt() / 1000);
  } else if (planFile["missingSeparator"].toBool() && !planFile["exists"].toBool()) {
    const QJsonObject other = planFile["withSeparator"].toObject();
    cause = QStringLiteral("Datenpfad \"%1\" lacks its trailing \"/\", so the monitor opens %2; %3 %4")
                .arg(datenpfad, file, other["file"].toString(),
                     other["exists"].toBool() ? QStringLiteral("exists") : QStringLiteral("does not exist either"));
    causeSaysAll = true;
  } else if (!planFile["folderExists"].toBool()) {
    cause = QStringLiteral("the folder %1 does not exist").arg(QFileInfo(file).path());
    causeSaysAll = true;
  } else if (!planFile["exists"].toBool()) {
    cause = QStringLiteral("%1 does not exist").arg(file);
    causeSaysAll = true;
  } else if (planFile["beingWritten"].toBool()) {
    cause = QStringLiteral("the plan file is being written right now; the monitor waits for a complete export");
  }
  const QString opened = planFile["open"].toObject()["message"].toString();
  const QString attempt = copy["message"].toString();
  const QString detail = opened.isEmpty() ? attempt : opened;
  if (cause.isEmpty()) return detail;
  if (causeSaysAll) return cause;
  return detail.isEmpty() ? cause : cause + QStringLiteral(" (") + detail + u')';
}

// Why the page shows that the database holds no suitable data.
QString noDataWhy(const QJsonArray& audiences, int typ) {
  const QJsonObject audience = audiences[typ == 0 ? 0 : 1].toObject();
  const QString table = audience["table"].toString();
  if (!audience["read"].toBool())
    return QStringLiteral("%1 was not read: %2 (%3)")
        .arg(table, audience["notReadBecause"].toString(), audiences[0].toObject()["loadError"].toString());
  if (!audience["loadError"].isNull())
    return QStringLiteral("no day of the %1 could be read from %2: %3")
        .arg(audience["name"].toString(), table, audience["loadError"].toString());
  return QStringLiteral("%1 holds no plan day").arg(table);
}

QString choiceWhy(const QString& choice) {
  if (choice == QLatin1String("today")) return QStringLiteral("today's plan");
  if (choice == QLatin1String("later")) return QStringLiteral("the first day after today (no plan for today)");
  return QStringLiteral("the latest day (no plan for today or a later day)");
}

QJsonObject regionOf(const QString& name, const QRect& rect) {
  return QJsonObject{{"name", name}, {"x", rect.x()}, {"y", rect.y()}, {"width", rect.width()}, {"height", rect.height()}};
}

// The parts of the window that change by themselves on the wall: the last-
// change label while it blinks (bold, so it may grow to the left) and the
// countdown to the next poll.
QJsonArray changingRegions(const TForm1& form) {
  QJsonArray regions;
  if (form.Label6->isVisibleTo(&form)) {
    const QRect label(form.Label6->mapTo(&form, QPoint(0, 0)), form.Label6->size());
    QFont bold = form.Label6->font();
    bold.setBold(true);
    const int boldWidth = QFontMetrics(bold).horizontalAdvance(form.Label6->text());
    regions.append(regionOf(QStringLiteral("Label6"),
                            label.united(QRect(label.right() + 1 - boldWidth, label.top(), boldWidth, label.height()))));
  }
  if (form.StatusPanels[2]->isVisibleTo(&form))
    regions.append(regionOf(QStringLiteral("countdown"),
                            QRect(form.StatusPanels[2]->mapTo(&form, QPoint(0, 0)), form.StatusPanels[2]->size())));
  return regions;
}

// Goes to the audience, day and page asked for, as the audience buttons,
// the day chooser and automatic paging do, and writes the window's picture.
QJsonObject renderPicture(TForm1& form, const CheckOptions& options) {
  if (options.size) resizeWindow(form, *options.size);
  if (options.audience && *options.audience != Plan.AktuellerTyp)
    (*options.audience == 0 ? form.RadioButton3 : form.RadioButton4)->setChecked(true);
  const int typ = Plan.AktuellerTyp;
  if (options.day) {
    const TDateTime datum = zdt::fromDate(*options.day);
    int index = -1;
    QStringList days;
    for (int i = 0; i < form.DBox->count(); ++i) {
      days << dayText(form.DBoxRecord(i)->Datum);
      if (form.DBoxRecord(i)->Datum == datum) index = i;
    }
    if (index < 0)
      throw CheckProblem{true, QString(),
                         QStringLiteral("the %1 have no plan day %2; their days: %3")
                             .arg(typ == 0 ? QStringLiteral("pupils") : QStringLiteral("teachers"),
                                  options.day->toString(Qt::ISODate),
                                  days.isEmpty() ? QStringLiteral("none") : days.join(QStringLiteral(", ")))};
    const TStatItemRef record = form.DBoxRecord(index);
    // A tick first drops today from the day list once its plan has expired
    // (in the evening), so the positions and their colours are those of the
    // shortened list.
    if (Settings.AutoScroll) form.CheckAnzList();
    const qsizetype position = Plan.Tagesliste.indexOf(record);
    if (Settings.AutoScroll && position >= 0) {
      // Automatic mode reaches a day of its list by the tick from the day
      // before it, which gives the header that position's colour and leaves
      // the day chooser as it was.
      const qsizetype count = Plan.Tagesliste.size();
      Plan.AktuellerTag = Plan.Tagesliste.at((position + count - 1) % count);
      const TStatItemRef next = form.NextTag();
      form.ShowNextTag(next ? next : record);
    } else {
      // Any other day is one picked in the day chooser.
      form.DBox->setCurrentIndex(index);
      form.DBoxChange();
    }
  }
  const int page = options.page.value_or(1);
  if (page > form.AnzSeiten)
    throw CheckProblem{true, QString(),
                       QStringLiteral("%1 has %2 page(s) at %3x%4, not %5")
                           .arg(Plan.AktuellerTag ? QStringLiteral("the day") : QStringLiteral("the state text"))
                           .arg(form.AnzSeiten).arg(form.width()).arg(form.height()).arg(page)};
  if (Plan.AktuellerTag) form.ShowPage(page);
  QCoreApplication::processEvents();
  const QImage picture = form.grab().toImage();
  QImageWriter writer(options.png, "png");
  if (!writer.write(picture))
    throw CheckProblem{false, options.png, QStringLiteral("cannot be written: ") + writer.errorString()};
  QJsonObject report;
  report["file"] = QFileInfo(options.png).absoluteFilePath();
  report["window"] = QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height());
  report["audience"] = Plan.AktuellerTyp;
  report["date"] = Plan.AktuellerTag ? QJsonValue(dayText(Plan.AktuellerTag->Datum)) : QJsonValue();
  report["page"] = Plan.AktuellerTag ? page : 1;
  report["pages"] = form.AnzSeiten;
  report["changingRegions"] = changingRegions(form);
  return report;
}

// The picture of the page a running monitor shows, when the command line
// chooses none of audience, day, page and size (and asks about now).
CheckOptions pictureOfRunningPage(const CheckOptions& options, const std::optional<QJsonObject>& running) {
  CheckOptions picture = options;
  if (!running || options.at || options.audience || options.day || options.page || options.size) return picture;
  const QJsonObject screen = (*running)["screen"].toObject();
  if (screen["shows"].toString() != QLatin1String("plan")) return picture;
  picture.audience = screen["audience"].toInt();
  picture.day = QDate::fromString(screen["date"].toString(), Qt::ISODate);
  picture.page = screen["page"].toInt(1);
  const QStringList window = screen["window"].toString().split(u'x');
  if (window.size() == 2)
    picture.size = QSize(qBound(1, window[0].toInt(), kLargestWindow), qBound(1, window[1].toInt(), kLargestWindow));
  return picture;
}

}  // namespace

CheckResult runCheck(const CheckOptions& options) {
  msgbox::Recorder messages;
  if (options.at) zdt::setFixedNow(*options.at);
  QElapsedTimer clock;
  clock.start();
  TForm1 form(nullptr, TForm1::Purpose::Check);
  const qint64 startMs = clock.elapsed();
  // The start test and first check of the notifications end on their own
  // thread; the report tells what they found.
  notifications::waitForBackground();

  QJsonObject report;
  report["program"] = QStringLiteral("zova-check");
  report["version"] = cli::version();
  report["at"] = momentText(zdt::now());
  // A monitor running on these settings tells what its screen shows now.
  QString notRunning;
  const std::optional<QJsonObject> running = runtimestatus::readFor(Einstellungspfad, &notRunning);
  if (running) {
    QJsonObject status = *running;
    status["runs"] = true;
    report["running"] = status;
  } else {
    report["running"] = QJsonObject{{"runs", false}, {"why", notRunning}};
  }
  report["settings"] = settingsReport(messages.texts);
  const QJsonObject planFile = planFileReport(startMs);
  report["planFile"] = planFile;
  QJsonArray audiences = audienceDays();
  const QJsonObject tagesliste = tageslisteReport();

  // The first page, at the window size of the settings; a hand-edited size
  // beyond any screen is taken at the largest the check draws.
  const QSize settingsSize(qBound(1, Settings.Width, kLargestWindow), qBound(1, Settings.Height, kLargestWindow));
  form.setWindowState(Qt::WindowNoState);
  // No control is under the mouse pointer: the pointer stands just outside
  // the window (a control under it would be drawn highlighted).
  QCursor::setPos(0, 0);
  form.move(1, 1);
  form.resize(settingsSize);
  form.show();
  // The wall's window is the active one; some controls look different on
  // an inactive window.
  form.activateWindow();
  settle(form);
  QJsonObject screen = screenReport(form);
  const bool showsPlan = Plan.AktuellerTag != nullptr;
  const int typ = Plan.AktuellerTyp;
  if (showsPlan) {
    const QString choice = choiceOf(Plan.AktuellerTag->Datum);
    screen["choice"] = choice;
    screen["why"] = choiceWhy(choice);
  } else {
    screen["why"] = form.DBVerbunden ? noDataWhy(audiences, typ) : noConnectionWhy(planFile);
  }
  QJsonArray sizeNotes;
  if (settingsSize != QSize(Settings.Width, Settings.Height))
    sizeNotes.append(QStringLiteral("Width x Height %1x%2 is laid out as %3x%4")
                         .arg(Settings.Width).arg(Settings.Height).arg(settingsSize.width()).arg(settingsSize.height()));
  if (Settings.Vollbild)
    sizeNotes.append(QStringLiteral("Vollbild is on: the monitor fills the screen (--size gives its picture)"));
  if (Settings.WindowMax)
    sizeNotes.append(QStringLiteral("WindowMax is on: the monitor's window is maximised (--size gives its picture)"));
  screen["sizeNotes"] = sizeNotes;
  screen["automaticMode"] = Settings.AutoScroll;
  screen["ScrollTime"] = Settings.ScrollTime;
  report["screen"] = screen;
  report["notifications"] = notificationsReport(form, messages.texts);

  if (!options.png.isEmpty()) report["png"] = renderPicture(form, pictureOfRunningPage(options, running));
  resizeWindow(form, settingsSize);
  measureDays(form, audiences);
  QJsonObject days;
  days["audiences"] = audiences;
  days["Tagesliste"] = tagesliste;
  days["shown"] = showsPlan ? QJsonValue(screen["date"]) : QJsonValue();
  report["days"] = days;

  QJsonArray shown;
  for (qsizetype i = 0; i < messages.texts.size(); ++i)
    shown.append(QJsonObject{{"caption", messages.captions.value(i)}, {"text", messages.texts[i]}});
  report["messages"] = shown;
  CheckResult result;
  // What the wall shows counts: the running screen, else a fresh start's.
  const bool wallShowsPlan =
      running ? (*running)["screen"].toObject()["shows"].toString() == QLatin1String("plan") : showsPlan;
  result.status = wallShowsPlan ? 0 : 1;
  report["exitStatus"] = result.status;
  result.report = report;
  return result;
}
