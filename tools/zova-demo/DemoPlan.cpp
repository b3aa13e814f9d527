// The demo data (see DemoPlan.h): plan days, substitution rows, day headers,
// notices and notifications of the fictitious "Gymnasium am Stadtpark".
#include "DemoPlan.h"

#include <QSet>
#include <algorithm>
#include <cassert>

namespace demo {

namespace {

using jet::Column;
using jet::ColumnType;
using jet::Row;

// A small linear congruential generator: the same seed gives the same plan.
class Dice {
 public:
  explicit Dice(uint32_t seed) : m_state(seed * 2654435761u + 12345u) {}
  int below(int n) {
    m_state = m_state * 1664525u + 1013904223u;
    return int((m_state >> 8) % uint32_t(n));
  }
  const QString& pick(const QStringList& items) { return items[below(int(items.size()))]; }

 private:
  uint32_t m_state;
};

const QStringList kClasses = {"5a", "5b", "5c", "6a", "6b", "6c", "7a", "7b", "7d", "8a", "8b",
                              "8c", "9a", "9b", "9c", "9d", "10a", "10b", "10c", "Q1", "Q2"};
const QStringList kTeachers = {"Ber", "Mül", "Sch", "Wag", "Bec", "Hof", "Kle", "Kra", "Lan", "Neu", "Obe",
                               "Pau", "Rot", "Sau", "Tho", "Vog", "Wei", "Zim", "Fri", "Gün", "Jun", "Kör"};
const QStringList kSubjects = {"D", "M", "E", "F", "L", "Bio", "Ch", "Ph", "Ek", "Ge", "Pol", "Ku", "Mu", "Sp", "Rel", "Inf"};
const QStringList kRooms = {"A101", "A102", "A204", "B12", "B14", "B21", "C3", "NW1", "NW2", "Turnhalle 1", "Aula"};
const QStringList kRemarks = {"Aufgaben im Klassenbuch", "Raumänderung", "verlegt von Mo 3. Std.", "Klausuraufsicht",
                              "Bitte Atlas mitbringen", "Arbeitsblätter im Fach", ".", "."};
const QStringList kCourses = {"Bio-Q1-2", "Ch-Q2-1", "Sp-Q1-3", "Ku-Q2-2", "Inf-Q1-1", "Mu-Q2-1", "Pol-Q1-2"};
const QStringList kWeekdays = {"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"};
const QStringList kMonths = {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli",
                             "August", "September", "Oktober", "November", "Dezember"};

// Substitution rows per plan day; the second day is long enough to page.
constexpr int kRowsPerDay[kPlanDays] = {18, 45, 7, 26};
constexpr int kLessonsPerDay = 8;

struct Substitution {
  QString klasse;
  int stunde = 1;
  QString lehrer;     // the absent teacher
  QString vertreter;  // "." when the lesson is cancelled
  QString fach;
  QString raum;
  QString bemerkung;
};

QVector<Substitution> substitutions(const QDate& day, int dayIndex, bool changed) {
  Dice dice(uint32_t(day.toJulianDay()));
  QVector<Substitution> rows;
  QSet<QString> taken;  // one row per class and lesson
  const int wanted = kRowsPerDay[dayIndex % kPlanDays];
  while (rows.size() < wanted) {
    Substitution row;
    row.klasse = dice.pick(kClasses);
    row.stunde = 1 + dice.below(kLessonsPerDay);
    const QString slot = row.klasse + "/" + QString::number(row.stunde);
    if (taken.contains(slot)) continue;
    taken.insert(slot);
    row.lehrer = dice.pick(kTeachers);
    do row.vertreter = dice.pick(kTeachers);
    while (row.vertreter == row.lehrer);
    row.fach = dice.pick(kSubjects);
    row.raum = dice.pick(kRooms);
    row.bemerkung = dice.pick(kRemarks);
    if (dice.below(6) == 0) {  // cancelled lesson: nobody, nowhere
      row.vertreter = ".";
      row.raum = ".";
      row.bemerkung = "Entfall";
    }
    rows.append(row);
  }
  std::sort(rows.begin(), rows.end(), [](const Substitution& a, const Substitution& b) {
    const int classA = int(kClasses.indexOf(a.klasse)), classB = int(kClasses.indexOf(b.klasse));
    return classA != classB ? classA < classB : a.stunde < b.stunde;
  });
  if (changed) {  // a re-export: a room and a substitute teacher changed
    Substitution& moved = rows[1];
    moved.raum = moved.raum == "B21" ? "C3" : "B21";
    moved.bemerkung = "Raumänderung (neu)";
    Substitution& replaced = rows[rows.size() / 2];
    replaced.vertreter = replaced.vertreter == "Zim" ? "Fri" : "Zim";
    replaced.bemerkung = "Vertretung geändert";
  }
  return rows;
}

QString joined(QStringList items) {
  items.removeDuplicates();
  return items.join(", ");
}

QString printText(TDateTime moment) { return zdt::toQDateTime(moment).toString("dd.MM.yyyy hh:mm"); }

struct Notice {
  QString plain;
  QString rtf;
};

// The day's notice, once as plain text and once as a Windows rich-edit
// control stores it (bold, red, a tab and umlauts as \'hh escapes).
Notice notice(int dayIndex) {
  const QString head = QStringLiteral(
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}"
      "{\\colortbl ;\\red255\\green0\\blue0;}\\viewkind4\\uc1\\pard\\f0\\fs20 ");
  if (dayIndex % 2 == 0)
    return {QStringLiteral("Bitte beachten: 3. und 4. Stunde Probealarm, alle Klassen sammeln sich auf dem "
                           "Schulhof.\tDie Räume bleiben geöffnet. Grüße, die Schulleitung"),
            head + QStringLiteral("Bitte beachten: \\b 3. und 4. Stunde Probealarm\\b0 , \\cf1 alle Klassen\\cf0  "
                                  "sammeln sich auf dem Schulhof.\\tab Die R\\'e4ume bleiben ge\\'f6ffnet. "
                                  "Gr\\'fc\\'dfe, die Schulleitung\\par\r\n}\r\n")};
  return {QStringLiteral("Bitte beachten: Elternsprechtag ab 15 Uhr in der Aula.\tDer Nachmittagsunterricht "
                         "entfällt, die Mensa schließt um 14 Uhr."),
          head + QStringLiteral("Bitte beachten: \\b Elternsprechtag\\b0  ab 15 Uhr in der \\cf1 Aula\\cf0 .\\tab "
                                "Der Nachmittagsunterricht entf\\'e4llt, die Mensa schlie\\'dft um 14 Uhr.\\par\r\n}\r\n")};
}

QVector<Column> statColumns() {
  QVector<Column> columns = {{"Datum", ColumnType::DateTime},   {"DruckZeit", ColumnType::DateTime},
                             {"Datumlang", ColumnType::Text, 60}, {"Version", ColumnType::Text, 40},
                             {"Druckdatum", ColumnType::Text, 40}, {"Ueberschrift", ColumnType::Text, 100},
                             {"Schulname", ColumnType::Text, 100}, {"Aushangort", ColumnType::Text, 100},
                             {"Gezeichnet", ColumnType::Text, 100}};
  for (int h = 1; h <= 7; ++h) columns.append({QString("H%1").arg(h), ColumnType::Text, 50});
  for (const char* memo : {"AbwKlassen", "AbwLehrer", "AbwKurse", "FehlRäume", "BetrLehrer", "BetrKlassen",
                           "BitteBeachten", "BitteRTF"})
    columns.append({QString::fromUtf8(memo), ColumnType::Memo});
  return columns;
}

QVector<Column> dynColumns() {
  QVector<Column> columns = {{"ID", ColumnType::Long}, {"Datum", ColumnType::DateTime}};
  for (int f = 1; f <= 7; ++f) columns.append({QString("F%1").arg(f), ColumnType::Text, 100});
  return columns;
}

// The header record of one plan day for pupils or for teachers.
Row statRow(const QDate& day, int dayIndex, bool teachers, TDateTime printTime, bool reprinted,
            const QVector<Substitution>& rows) {
  Dice dice(uint32_t(day.toJulianDay()) * 7u + 3u);
  QStringList absentTeachers, substitutes, classes, absentClasses, courses;
  for (const Substitution& row : rows) {
    absentTeachers << row.lehrer;
    if (row.vertreter != ".") substitutes << row.vertreter;
    classes << row.klasse;
  }
  absentTeachers << "Hof (ab 3. Std.)" << "Kle (Fortbildung)";
  std::sort(absentTeachers.begin(), absentTeachers.end());
  std::sort(substitutes.begin(), substitutes.end());
  for (const QString& klasse : kClasses)
    if (dice.below(2) == 0) absentClasses << klasse;
  absentClasses << "Q1 (Exkursion Köln)";
  for (const QString& course : kCourses)
    if (dice.below(2) == 0) courses << course;
  const Notice text = notice(dayIndex);
  const QStringList headings = teachers
      ? QStringList{"Lehrer", "Std.", "Klasse", "Fach", "Raum", "Vertretung", "Bemerkung"}
      : QStringList{"Klasse", "Std.", "Vertreter", "Fach", "Raum", "(Lehrer)", "Bemerkung"};
  Row row = {zdt::fromDate(day),
             printTime,
             longGermanDate(day),
             QString("Version %1%2").arg(day.toString("yyyy-MM-dd"), reprinted ? "b" : "a"),
             printText(printTime),
             QString("Vertretungsplan"),
             QString("Gymnasium am Stadtpark"),
             QString(teachers ? "Aushang: Lehrerzimmer" : "Aushang: Eingangshalle"),
             QString("gez. Schulleitung")};
  for (const QString& heading : headings) row.append(heading);
  row << joined(absentClasses) << joined(absentTeachers) << joined(courses)
      << QString("A204, NW1, Turnhalle 2 (Sanierung)") << joined(substitutes) << joined(classes) << text.plain
      << text.rtf;
  return row;
}

QVector<Row> pupilRows(const QVector<Substitution>& rows, TDateTime datum, int& nextId) {
  QVector<Row> result;
  for (const Substitution& s : rows)
    result.append(Row{nextId++, datum, s.klasse, QString("%1.").arg(s.stunde), s.vertreter, s.fach, s.raum, s.lehrer,
                      s.bemerkung});
  return result;
}

QVector<Row> teacherRows(QVector<Substitution> rows, TDateTime datum, int& nextId) {
  rows.erase(std::remove_if(rows.begin(), rows.end(), [](const Substitution& s) { return s.vertreter == "."; }),
             rows.end());
  std::stable_sort(rows.begin(), rows.end(), [](const Substitution& a, const Substitution& b) {
    return a.vertreter != b.vertreter ? a.vertreter < b.vertreter : a.stunde < b.stunde;
  });
  QVector<Row> result;
  for (const Substitution& s : rows)
    result.append(Row{nextId++, datum, s.vertreter, QString("%1.").arg(s.stunde), s.klasse, s.fach, s.raum,
                      QString("für %1").arg(s.lehrer), s.bemerkung});
  return result;
}

}  // namespace

QVector<QDate> planDays(const QDate& today) {
  QVector<QDate> days;
  for (QDate day = today; days.size() < kPlanDays; day = day.addDays(1))
    if (day.dayOfWeek() <= 5) days.append(day);
  return days;
}

QString longGermanDate(const QDate& date) {
  return QString("%1, %2. %3 %4")
      .arg(kWeekdays[date.dayOfWeek() - 1])
      .arg(date.day())
      .arg(kMonths[date.month() - 1])
      .arg(date.year());
}

jet::Database planDatabase(TDateTime now, bool update) {
  const QDate today = zdt::toDate(now);
  jet::Database database;
  QVector<Row> statAula, statLehrer, dynAula, dynLehrer;
  int nextAula = 1, nextLehrer = 1;
  const QVector<QDate> days = planDays(today);
  for (int i = 0; i < days.size(); ++i) {
    const bool isToday = days[i] == today;
    const bool changed = update && isToday;
    // Today's days were printed an hour ago (or just now by an update), the
    // others yesterday afternoon.
    const TDateTime printTime = changed ? now
                                : isToday ? now - 1.0 / 24.0
                                          : zdt::fromDate(today.addDays(-1)) + zdt::encodeTime(15, 10);
    const QVector<Substitution> rows = substitutions(days[i], i, changed);
    const TDateTime datum = zdt::fromDate(days[i]);
    statAula.append(statRow(days[i], i, false, printTime, changed, rows));
    statLehrer.append(statRow(days[i], i, true, printTime, changed, rows));
    dynAula += pupilRows(rows, datum, nextAula);
    dynLehrer += teacherRows(rows, datum, nextLehrer);
  }
  database.addTable("TStatTextAula", statColumns()).rows = statAula;
  database.addTable("TStatTextLehrer", statColumns()).rows = statLehrer;
  database.addTable("TDynTextAula", dynColumns()).rows = dynAula;
  database.addTable("TDynTextLehrer", dynColumns()).rows = dynLehrer;
  return database;
}

jet::Database notificationDatabase(TDateTime now) {
  const TDateTime minute = 1.0 / (24.0 * 60.0);
  const TDateTime today = zdt::dateOf(now);
  const TDateTime tomorrow = today + 1;
  jet::Database database;
  jet::Table& table = database.addTable(
      "BenachrichtigungsTabelle",
      {{"ID", ColumnType::Long, 255, true}, {"Status", ColumnType::Long}, {"Valid", ColumnType::Boolean},
       {"SetTime", ColumnType::DateTime}, {"RueckTime", ColumnType::DateTime}, {"Datum", ColumnType::DateTime},
       {"Stunde", ColumnType::Long}, {"Lehrer", ColumnType::Text, 50}, {"Klasse", ColumnType::Text, 20},
       {"Fach", ColumnType::Text, 20}, {"Bemerkung", ColumnType::Text, 255}, {"Telefon", ColumnType::Text, 40},
       {"Kopie", ColumnType::Long}, {"TAN", ColumnType::Long}});
  const auto add = [&](int id, int status, bool valid, TDateTime set, TDateTime back, TDateTime datum, int stunde,
                       const QString& lehrer, const QString& klasse, const QString& fach, const QString& bemerkung,
                       const QVariant& telefon) {
    table.rows.append(Row{id, status, valid, set, back, datum, stunde, lehrer, klasse, fach, bemerkung, telefon,
                          id % 2, 4700 + id * 13});
  };
  add(1, 2, true, now - 65 * minute, now - 65 * minute, today, 3, "Ber", "7a", "M", "Aufgaben liegen im Lehrerzimmer",
      QString("0221 123456"));
  add(2, 2, true, now - minute, now - minute, today, 5, "Mül", "9c", "E", "Raum 'A1' tauschen", QString(""));
  add(3, 3, true, now - 180 * minute, now - 180 * minute, today, 1, "Sch", "5b", "D", "Klassenarbeit verschoben",
      QString("0171 5550123"));
  add(4, 4, true, now - 120 * minute, now - 30 * minute, tomorrow, 2, "Wag", "Q1", "Bio", "Exkursion abgesagt",
      QString("02203 98765"));
  add(5, 2, false, now - 90 * minute, now - 90 * minute, tomorrow, 4, "Hof", "8b", "Sp", "zurückgezogen",
      QString("0221 654321"));
  add(6, 2, true, now - 20 * minute, now - 20 * minute, tomorrow, 6, "Kle", "10a", "Ch", "Versuch vorbereiten",
      QVariant());
  // Further days, so that the dialog heads each day: the day after tomorrow
  // (an acknowledged cancellation and an open notification), one day later
  // (a cancellation not yet acknowledged), and yesterday, which the dialog
  // lists only when it shows all notifications.
  add(7, 5, true, now - 300 * minute, now - 240 * minute, today + 2, 3, "Ber", "6b", "Ek", "Wandertag entfällt",
      QString("0221 123456"));
  add(8, 2, true, now - 45 * minute, now - 45 * minute, today + 2, 1, "Sch", "Q2", "Ph", "Abiturvorbereitung",
      QString(""));
  add(9, 4, true, now - 500 * minute, now - 15 * minute, today + 3, 4, "Mül", "8a", "Ku", "Ausstellung",
      QString("0171 5550987"));
  add(10, 2, true, now - 1440 * minute, now - 1440 * minute, today - 1, 2, "Wag", "5c", "Bio", "Heft einsammeln",
      QString(""));
  return database;
}

}  // namespace demo
