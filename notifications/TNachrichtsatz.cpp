// Reading one notification from a result row and writing it back.
#include "notifications/TNachrichtsatz.h"

#include <cassert>

#include "db/Database.h"
#include "plan/DataModule.h"
#include "platform/Logging.h"

namespace {

QString quoted(const QString& text) {
  QString doubled = text;
  doubled.replace(u'\'', QStringLiteral("''"));
  return u'\'' + doubled + u'\'';
}

QString quotedNumber(qint32 value) { return u'\'' + QString::number(value) + u'\''; }

// The record's fourteen columns as the guard compares them with the row;
// `status` is the value the row held (the record keeps only its low byte).
db::ExpectedValues columnsOf(const TNachrichtsatz& r, qint32 status) {
  return {{QStringLiteral("ID"), db::integerField(r.ID)},
          {QStringLiteral("Status"), db::integerField(status)},
          {QStringLiteral("Valid"), db::booleanField(r.Valid)},
          {QStringLiteral("SetTime"), db::dateTimeField(r.SetTime)},
          {QStringLiteral("RueckTime"), db::dateTimeField(r.RueckTime)},
          {QStringLiteral("Datum"), db::dateTimeField(r.Datum)},
          {QStringLiteral("Stunde"), db::integerField(r.Stunde)},
          {QStringLiteral("Lehrer"), db::textField(r.Lehrer)},
          {QStringLiteral("Klasse"), db::textField(r.Klasse)},
          {QStringLiteral("Fach"), db::textField(r.Fach)},
          {QStringLiteral("Bemerkung"), db::textField(r.Bemerkung)},
          {QStringLiteral("Telefon"), db::textField(r.Telefon)},
          {QStringLiteral("Kopie"), db::integerField(r.Kopie)},
          {QStringLiteral("TAN"), db::integerField(r.TAN)}};
}

// The columns in which `now` differs from `asRead`, value for value and
// bit for bit.
QStringList changedColumns(const db::ExpectedValues& asRead, const db::ExpectedValues& now) {
  assert(asRead.size() == now.size());
  QStringList changed;
  for (int i = 0; i < now.size(); ++i) {
    const db::Field& a = asRead[i].second;
    const db::Field& b = now[i].second;
    if (a.type != b.type || a.value != b.value) changed.append(now[i].first);
  }
  return changed;
}

}  // namespace

bool TNachrichtsatz::ReadFromDataSet(const db::Dataset& dataSet) {
  if (dataSet.eof()) return false;
  qint32 status = 0;
  try {
    ID = dataSet.asInteger(QStringLiteral("ID"));
    status = dataSet.asInteger(QStringLiteral("Status"));
    Status = static_cast<std::uint8_t>(status & 0xff);
    Valid = dataSet.asBoolean(QStringLiteral("Valid"));
    SetTime = dataSet.asDateTime(QStringLiteral("SetTime"));
    RueckTime = dataSet.asDateTime(QStringLiteral("RueckTime"));
    Datum = dataSet.asDateTime(QStringLiteral("Datum"));
    Stunde = dataSet.asInteger(QStringLiteral("Stunde"));
    Lehrer = dataSet.asText(QStringLiteral("Lehrer"));
    Klasse = dataSet.asText(QStringLiteral("Klasse"));
    Fach = dataSet.asText(QStringLiteral("Fach"));
    Bemerkung = dataSet.asText(QStringLiteral("Bemerkung"));
    Telefon = dataSet.asText(QStringLiteral("Telefon"));
    Kopie = dataSet.asInteger(QStringLiteral("Kopie"));
    TAN = dataSet.asInteger(QStringLiteral("TAN"));
  } catch (const db::Error& error) {
    qCInfo(lcNotifications) << "Notification row left out:" << error.message();
    return false;
  }
  m_asRead = columnsOf(*this, status);
  return true;
}

QString TNachrichtsatz::UpdateStatement() const {
  return QStringLiteral("UPDATE BenachrichtigungsTabelle SET Status=") + quotedNumber(Status) +
         QStringLiteral(", Valid=") + (Valid ? QStringLiteral("True") : QStringLiteral("False")) +
         QStringLiteral(", SetTime=") + SQLDateTime(SetTime) + QStringLiteral(", RueckTime=") + SQLDateTime(RueckTime) +
         QStringLiteral(", Datum=") + SQLDate(Datum) + QStringLiteral(", Stunde=") + quotedNumber(Stunde) +
         QStringLiteral(", Lehrer=") + quoted(Lehrer) + QStringLiteral(", Klasse=") + quoted(Klasse) +
         QStringLiteral(", Fach=") + quoted(Fach) + QStringLiteral(", Bemerkung=") + quoted(Bemerkung) +
         QStringLiteral(", Telefon=") + quoted(Telefon) + QStringLiteral(", Kopie=") + quotedNumber(Kopie) +
         QStringLiteral(", TAN=") + quotedNumber(TAN) + QStringLiteral(" WHERE ID=") + QString::number(ID);
}

bool TNachrichtsatz::SaveToDB() {
  RowChangedOnSave = false;
  SaveFailure = db::Error::Kind::Other;
  if (ID == 0) return false;
  TDM& dm = NotificationDM();
  // Its result does not matter: without a connection the command fails.
  dm.BenachrichtigungVerbindungErstellen();
  bool ok = false;
  try {
    dm.ADOBCommand.setText(UpdateStatement());
    dm.ADOBCommand.setExpectedValues(m_asRead);
    // Only what changed since the read is compared and written, on the row
    // as the file holds it then; a record never read is written whole.
    if (m_asRead.isEmpty())
      dm.ADOBCommand.clearChangedColumns();
    else
      dm.ADOBCommand.setChangedColumns(changedColumns(m_asRead, columnsOf(*this, Status)));
    dm.ADOBCommand.execute();
    ok = true;
    m_asRead = columnsOf(*this, Status);
  } catch (const db::RowChangedError& error) {
    RowChangedOnSave = true;
    SaveFailure = error.kind();
    qCInfo(lcNotifications) << "Notification" << ID << "not written, its row changed since it was read:"
                            << error.message();
  } catch (const db::Error& error) {
    SaveFailure = error.kind();
    qCInfo(lcNotifications) << "Notification" << ID << "not written:" << error.message();
  }
  dm.ADOBCommand.setExpectedValues({});
  dm.ADOBCommand.clearChangedColumns();
  dm.ConnectionBenachrichtigung.close();
  return ok;
}
