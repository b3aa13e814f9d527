// The data module TDM: the database objects of both databases, the opening
// of the plan database and of the notification database, loading day
// records, and the Jet SQL date literals.
//
// Connections are never held open: each load opens ADOConn and closes it
// before it returns, also after a failure.
#pragma once

#include <QString>
#include <memory>

#include "db/Database.h"
#include "db/copy/LocalCopy.h"
#include "plan/PlanRecords.h"

class TDM {
 public:
  TDM();
  // Waits for a notification job running on it (NotificationJob).
  ~TDM();

  db::Connection ADOConn;                     // plan database
  db::Dataset ado1;                           // the one plan query, read-only
  // The local copy of the plan database that ADOConn reads, kept current in
  // the background, so that no load waits for the file share.
  db::LocalCopy PlanCopy;
  db::Connection ConnectionBenachrichtigung;  // notification database
  db::Command ADOBCommand;                    // runs the notification UPDATE

  // The connection string of the plan database for the current Datenpfad.
  static QString PlanConnectionString();

  // The plan database file for the current Datenpfad.
  static QString PlanFile();
  // The notification database file for the current PfadBenachrichtigungen;
  // on a thread running a notification job, the file of that job.
  static QString NotificationFile();
  // One job of the notification thread on DM. While it exists and active()
  // is true, NotificationFile() on the calling thread gives `file` (the job
  // reads the file it was queued for, never the settings, which the display
  // thread may be changing), and DM is not destroyed: its destructor waits
  // for the job. Inactive when there is no DM (the job must not run).
  class NotificationJob {
   public:
    explicit NotificationJob(const QString& file);
    ~NotificationJob();
    NotificationJob(const NotificationJob&) = delete;
    NotificationJob& operator=(const NotificationJob&) = delete;
    bool active() const { return m_active; }

   private:
    bool m_active = false;
  };

  // Points PlanCopy at the plan database of the current Datenpfad; a new
  // folder drops the old copies and starts taking a new one in the background.
  void FollowPlanFile();

  // Opens the plan database (its local copy as last adopted); false on any
  // failure, nothing is shown.
  bool ADOOpenRead();

  // Closes ConnectionBenachrichtigung, sets its connection string for the
  // notification database in PfadBenachrichtigungen (joined as stored, so a
  // folder without its trailing separator names another file) and opens it.
  // True when it is open afterwards; never throws, nothing is shown.
  bool BenachrichtigungVerbindungErstellen();

  // For a poll: the newest complete copy of the plan database becomes the one
  // ADOOpenRead opens. While an export is being written or refused, or the
  // file has been unreachable for less than the outage grace, the copy
  // adopted before stays and is read again. False when there is none, or
  // when the outage has lasted longer.
  bool AdoptPlanCopy();

  // Runs one plan query on ado1: close, set the SQL text, open, then sort the
  // opened result by `sortExpression`. Throws db::Error on any failure.
  void OpenSorted(const QString& sql, const QString& sortExpression);

  // Clears the list and fills it from the rows of the open ado1 result.
  // A missing column or a value that does not convert throws db::Error; the
  // records appended before it stay in the list.
  void LoadStatList(TStatList& list);
};

// The one data module, created at program start before the main window.
extern std::unique_ptr<TDM> DM;
// The data module the notification store works on: on the notification
// thread the one its job started with (DM may be on its way out then, its
// destructor waiting for the job), elsewhere DM. Precondition: there is one.
TDM& NotificationDM();

// Jet SQL literals, month first, independent of the locale:
// SQLDate -> #03/15/2007#, SQLDateTime -> #03/15/2007 14.05.09#.
QString SQLDate(TDateTime value);
QString SQLDateTime(TDateTime value);
