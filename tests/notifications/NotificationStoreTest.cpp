// The notification store: the start-up test of the database, loading the
// valid notifications from a lower date on, and writing a record back -
// exactly, guarded against changes the issuing side made since the load,
// and read back by mdbtools and the npm reader.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

#include "db/worker/WorkerClient.h"
#include "jet/JetWriter.h"
#include "notifications/Notifications.h"
#include "notifications/TNachrichtListe.h"
#include "plan/DataModule.h"
#include "settings/SettingsValues.h"
#include "tests/db/DbFixtures.h"
#include "tests/notifications/NotificationFixture.h"
#include "tests/support/MissingTool.h"

using namespace notiftest;

namespace {

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// IDs of the list's records, in list order.
QVector<int> idsOf(const TNachrichtListe& list) {
  QVector<int> ids;
  for (int i = 0; i < list.Count(); ++i) ids << list.Items(i)->ID;
  return ids;
}

// The row with the ID as mdb-export prints it (CSV), or empty.
QByteArray exportedRow(const QString& file, int id) {
  for (const QByteArray& line : dbtest::mdbExport(file, "BenachrichtigungsTabelle").split('\n'))
    if (line.startsWith(QByteArray::number(id) + ',')) return line;
  return {};
}

// The row with the ID as the npm reader reads it, or an empty array.
QJsonArray readerRow(const QString& file, int id) {
  const QJsonDocument json = QJsonDocument::fromJson(dbtest::mdbReaderJson(file));
  for (const QJsonValue row : json["tables"][0]["rows"].toArray())
    if (row[0].toInt() == id) return row.toArray();
  return {};
}

}  // namespace

using NotificationStore = NotificationTest;

// ---------------------------------------------------------------- start-up

TEST_F(NotificationStore, Init_DatabaseOpens_SwitchesTheFeatureOnAndClosesTheConnection) {
  writeNotes({note(1, 2, 60)});
  QVector<bool> shown, timer;
  NotificationUi.setTelefonBtnVisible = [&](bool on) { shown << on; };
  NotificationUi.setBenachrichtigungstimerEnabled = [&](bool on) { timer << on; };
  InitNotifications();
  settle();
  EXPECT_TRUE(NotificationsAvailable);
  EXPECT_EQ(shown, QVector<bool>{true});
  EXPECT_EQ(timer, QVector<bool>{true});
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
  EXPECT_TRUE(messages->texts.isEmpty());
  EXPECT_TRUE(intervals.isEmpty()) << "the start-up test does not check for due notifications";
}

TEST_F(NotificationStore, Init_DatabaseMissing_ShowsTheMessageAndHidesTheButtonButKeepsChecking) {
  QVector<bool> shown, timer;
  NotificationUi.setTelefonBtnVisible = [&](bool on) { shown << on; };
  NotificationUi.setBenachrichtigungstimerEnabled = [&](bool on) { timer << on; };
  InitNotifications();
  settle();
  EXPECT_FALSE(NotificationsAvailable);
  EXPECT_EQ(shown, QVector<bool>{false});
  EXPECT_EQ(timer, QVector<bool>{true}) << "each check tries the database again";
  EXPECT_EQ(messages->texts, QStringList{QString::fromUtf8("Datenbank Benachrichtigung.mdb kann nicht geöffnet werden\r"
                                                           "Prüfen Sie Pfad und Berechtigungen!")});
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
}

TEST_F(NotificationStore, Init_NoFolder_SwitchesOffWithoutAMessage) {
  Settings.PfadBenachrichtigungen.clear();
  QVector<bool> timer;
  NotificationUi.setBenachrichtigungstimerEnabled = [&](bool on) { timer << on; };
  InitNotifications();
  EXPECT_FALSE(NotificationsAvailable);
  EXPECT_EQ(timer, QVector<bool>{false});
  EXPECT_TRUE(messages->texts.isEmpty());
}

TEST_F(NotificationStore, ConnectionString_JoinsTheFolderAsStored) {
  Settings.PfadBenachrichtigungen = "C:\\Daten";
  EXPECT_FALSE(DM->BenachrichtigungVerbindungErstellen());
  EXPECT_EQ(DM->ConnectionBenachrichtigung.connectionString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\DatenBenachrichtigungen.mdb;Mode=Share Deny None;"
            "Persist Security Info=False");
  // A folder without its trailing separator names a file beside the folder.
  writeNotes({note(1, 2, 60)});
  Settings.PfadBenachrichtigungen = m_dir.path();
  EXPECT_FALSE(DM->BenachrichtigungVerbindungErstellen());
  Settings.PfadBenachrichtigungen = folder();
  EXPECT_TRUE(DM->BenachrichtigungVerbindungErstellen());
}

// ------------------------------------------------------------------ loading

TEST_F(NotificationStore, SelectStatement_IsExactlyTheSystemsText) {
  EXPECT_EQ(TNachrichtListe::SelectStatement(0),
            "SELECT * FROM BenachrichtigungsTabelle Where Datum>= #12/08/2026#And Valid=True "
            "order by Datum,Lehrer,SetTime,RueckTime;");
  EXPECT_TRUE(TNachrichtListe::SelectStatement(14).contains("Datum>= #11/24/2026#And"));
}

TEST_F(NotificationStore, Load_TakesValidRowsFromTheLowerDayOnInQueryOrder) {
  Note invalid = note(4, 2, 60);
  invalid.valid = false;
  Note zorn = note(5, 2, 30);
  zorn.lehrer = "Zorn";
  Note alb = note(6, 2, 90);
  alb.lehrer = "Alb";
  Note albLater = note(7, 2, 10);
  albLater.lehrer = "Alb";
  writeNotes({note(1, 2, 60, 1), note(2, 2, 60, -1), note(3, 2, 60, -15), invalid, zorn, albLater, alb});
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  EXPECT_EQ(idsOf(list), (QVector<int>{6, 7, 5, 1}));  // today: Alb (by SetTime), Zorn; then tomorrow
  ASSERT_TRUE(list.LoadFromDB(14, true));
  EXPECT_EQ(idsOf(list), (QVector<int>{2, 6, 7, 5, 1}));  // yesterday too, not 15 days ago
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
}

TEST_F(NotificationStore, Load_ReadsEveryFieldAndNullsAsZeroAndEmpty) {
  Note n = note(17, 258, 45);  // only the low 8 bits of Status are kept
  n.rueckTime = QVariant();
  n.telefon = QVariant();
  n.stunde = -3;
  n.lehrer = "Bär";
  n.klasse = "10a";
  n.fach = "Ch";
  n.bemerkung = "Raum 'A1' tauschen";
  n.kopie = 1;
  n.tan = 4711;
  writeNotes({n});
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  ASSERT_EQ(list.Count(), 1);
  const TNachrichtsatz& r = *list.Items(0);
  EXPECT_EQ(r.ID, 17);
  EXPECT_EQ(r.Status, 2);
  EXPECT_TRUE(r.Valid);
  EXPECT_EQ(r.SetTime, n.setTime);
  EXPECT_EQ(r.RueckTime, 0);
  EXPECT_EQ(r.Datum, today());
  EXPECT_EQ(r.Stunde, -3);
  EXPECT_EQ(r.Lehrer, "Bär");
  EXPECT_EQ(r.Klasse, "10a");
  EXPECT_EQ(r.Fach, "Ch");
  EXPECT_EQ(r.Bemerkung, "Raum 'A1' tauschen");
  EXPECT_EQ(r.Telefon, QString());
  EXPECT_EQ(r.Kopie, 1);
  EXPECT_EQ(r.TAN, 4711);
}

TEST_F(NotificationStore, Load_RowThatCannotBeRead_IsLeftOutAndTheOthersStay) {
  // Stunde as text: "x" does not convert to an integer, "4" does.
  jet::Database db;
  jet::Table& table = db.addTable("BenachrichtigungsTabelle",
                                  {{"ID", jet::ColumnType::Long}, {"Status", jet::ColumnType::Long},
                                   {"Valid", jet::ColumnType::Boolean}, {"SetTime", jet::ColumnType::DateTime},
                                   {"RueckTime", jet::ColumnType::DateTime}, {"Datum", jet::ColumnType::DateTime},
                                   {"Stunde", jet::ColumnType::Text}, {"Lehrer", jet::ColumnType::Text},
                                   {"Klasse", jet::ColumnType::Text}, {"Fach", jet::ColumnType::Text},
                                   {"Bemerkung", jet::ColumnType::Text}, {"Telefon", jet::ColumnType::Text},
                                   {"Kopie", jet::ColumnType::Long}, {"TAN", jet::ColumnType::Long}});
  for (auto [id, stunde] : {std::pair{1, "4"}, std::pair{2, "x"}, std::pair{3, "5"}})
    table.rows.append({id, 2, true, now() - 0.1, 0.0, today(), stunde, "Mus", "7a", "M", "", "", 0, 0});
  db.write(file());
  TNachrichtListe list;
  EXPECT_TRUE(list.LoadFromDB(0, true));
  EXPECT_EQ(idsOf(list), (QVector<int>{1, 3}));
}

TEST_F(NotificationStore, Load_DatabaseMissingNotQuiet_ShowsTheMessageAndGivesAnEmptyList) {
  TNachrichtListe list;
  list.Add(std::make_unique<TNachrichtsatz>());
  EXPECT_FALSE(list.LoadFromDB(14, false));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(messages->texts, QStringList{QString::fromUtf8("Tabelle kann nicht geöffnet werden!")});
}

TEST_F(NotificationStore, Load_DatabaseMissingQuiet_FailsWithoutAMessage) {
  TNachrichtListe list;
  EXPECT_FALSE(list.LoadFromDB(0, true));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(messages->texts.isEmpty());
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
}

TEST_F(NotificationStore, Load_TableMissing_FailsWithoutAMessageEvenWhenNotQuiet) {
  jet::Database db;
  db.addTable("AndereTabelle", {{"ID", jet::ColumnType::Long}});
  db.write(file());
  TNachrichtListe list;
  EXPECT_FALSE(list.LoadFromDB(14, false));
  EXPECT_TRUE(messages->texts.isEmpty());
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
}

// ------------------------------------------------------------------ writing

TEST_F(NotificationStore, UpdateStatement_IsExactlyTheSystemsText) {
  TNachrichtsatz r;
  r.ID = 17;
  r.Status = 3;
  r.SetTime = zdt::encode(2026, 12, 8, 7, 15, 30);
  r.Datum = zdt::encode(2026, 12, 8);
  r.Stunde = 4;
  r.Lehrer = "Mus";
  r.Klasse = "7a";
  r.Fach = "M";
  EXPECT_EQ(r.UpdateStatement(),
            "UPDATE BenachrichtigungsTabelle SET Status='3', Valid=True, SetTime=#12/08/2026 07.15.30#, "
            "RueckTime=#12/30/1899 00.00.00#, Datum=#12/08/2026#, Stunde='4', Lehrer='Mus', Klasse='7a', Fach='M', "
            "Bemerkung='', Telefon='', Kopie='0', TAN='0' WHERE ID=17");
  r.Bemerkung = "Raum 'A1' tauschen";
  r.Kopie = -1;
  r.Valid = false;
  EXPECT_TRUE(r.UpdateStatement().contains("Bemerkung='Raum ''A1'' tauschen'"));
  EXPECT_TRUE(r.UpdateStatement().contains("Kopie='-1'"));
  EXPECT_TRUE(r.UpdateStatement().contains("Valid=False"));
}

TEST_F(NotificationStore, Save_RemarkWithQuotesAndNullTime_ReadBackByBothReaders) {
  Note n = note(17, 2, 45);
  n.bemerkung = "Raum 'A1' tauschen";
  n.rueckTime = QVariant();
  // The issuing program stores times with fractions of a second; the UPDATE carries whole seconds.
  n.setTime = (std::floor(n.setTime * 86400) + 0.4) / 86400;
  writeNotes({n, note(18, 2, 50)});
  const QJsonArray readBefore = readerRow(file(), 17);
  const QByteArray otherRow = exportedRow(file(), 18);
  ASSERT_FALSE(otherRow.isEmpty()) << "mdb-export is not available";
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  ASSERT_EQ(list.Count(), 2);
  TNachrichtsatz& r = *list.Items(1);  // issued after 18
  ASSERT_EQ(r.ID, 17);
  EXPECT_TRUE(r.UpdateStatement().contains("RueckTime=#12/30/1899 00.00.00#"));
  r.Status = 3;
  EXPECT_TRUE(r.SaveToDB());
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
  const QByteArray row = exportedRow(file(), 17);
  EXPECT_TRUE(row.startsWith("17,3,1,")) << row.toStdString();
  EXPECT_TRUE(row.split(',').value(4).isEmpty()) << "RueckTime stays NULL: " << row.toStdString();
  EXPECT_TRUE(row.contains("\"Raum 'A1' tauschen\"")) << row.toStdString();
  EXPECT_EQ(exportedRow(file(), 18), otherRow);
  const QJsonArray read = readerRow(file(), 17);
  if (read.isEmpty()) ZOVA_MISSING_TOOL("node with the npm reader (tools/testtools)");
  EXPECT_EQ(read[1].toInt(), 3);
  EXPECT_EQ(read[3], readBefore[3]) << "SetTime keeps its fraction of a second";
  EXPECT_TRUE(read[4].isNull());
  EXPECT_EQ(read[10].toString(), "Raum 'A1' tauschen");
}

TEST_F(NotificationStore, Save_IdZero_WritesNothing) {
  writeNotes({note(0, 2, 45)});
  const QByteArray before = fileBytes(file());
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  ASSERT_EQ(list.Count(), 1);
  list.Items(0)->Status = 3;
  EXPECT_FALSE(list.Items(0)->SaveToDB());
  EXPECT_EQ(fileBytes(file()), before);
}

TEST_F(NotificationStore, Save_RowCancelledByTheIssuerSinceTheLoad_WritesNothing) {
  writeNotes({note(17, 2, 45)});
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  // The issuing program cancels the notification meanwhile.
  Note cancelled = note(17, 4, 45);
  cancelled.rueckTime = now() - minutes(1);
  writeNotes({cancelled});
  const QByteArray before = fileBytes(file());
  TNachrichtsatz& r = *list.Items(0);
  r.Status = 3;
  EXPECT_FALSE(r.SaveToDB());
  EXPECT_TRUE(r.RowChangedOnSave);
  EXPECT_EQ(r.SaveFailure, db::Error::Kind::RowChanged);
  EXPECT_EQ(fileBytes(file()), before);
  EXPECT_FALSE(DM->ConnectionBenachrichtigung.isOpen());
  EXPECT_TRUE(messages->texts.isEmpty());
}

TEST_F(NotificationStore, Save_FileOnAReadOnlyMount_FailsQuietlyAsReadOnly) {
  writeNotes({note(17, 2, 45)});
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  const QByteArray before = fileBytes(file());
  // The database worker reads the fault from its environment: start one with it.
  qputenv("ZOVA_DB_WORKER_FAULT", "read-only-file");
  db::worker::setWorkerForTesting(QString());
  TNachrichtsatz& r = *list.Items(0);
  r.Status = 3;
  const bool saved = r.SaveToDB();
  qunsetenv("ZOVA_DB_WORKER_FAULT");
  db::worker::setWorkerForTesting(QString());
  EXPECT_FALSE(saved);
  EXPECT_FALSE(r.RowChangedOnSave);
  EXPECT_EQ(r.SaveFailure, db::Error::Kind::ReadOnly);
  EXPECT_EQ(fileBytes(file()), before);
  EXPECT_TRUE(messages->texts.isEmpty());
}

TEST_F(NotificationStore, Save_DatabaseGone_FailsQuietly) {
  writeNotes({note(17, 2, 45)});
  TNachrichtListe list;
  ASSERT_TRUE(list.LoadFromDB(0, true));
  ASSERT_TRUE(QFile::remove(file()));
  list.Items(0)->Status = 3;
  EXPECT_FALSE(list.Items(0)->SaveToDB());
  EXPECT_FALSE(list.Items(0)->RowChangedOnSave);
  EXPECT_EQ(list.Items(0)->Status, 3);
  EXPECT_TRUE(messages->texts.isEmpty());
}
