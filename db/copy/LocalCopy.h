// LocalCopy keeps a private copy of one database file current, in the
// background, so that reading the plan never waits for the file share.
//
// Each attempt runs in a worker process of the keeper's own (the only one
// that touches the share) under the deadline; the caller's thread waits in
// its event loop, never on the file. An attempt copies the file only when
// it is a complete export (db::engine::copyCompleteExport), so a copy is
// never half written; an attempt that finds the content unchanged writes
// nothing. Copies are versioned files in the private folder (PrivateFile.h):
// the newest complete copy is taken over by adopt(), and a copy stays on disk
// while a connection reads it, until it is neither adopted nor open.
//
// Read connections (Mode=Read) whose Data Source is the keeper's source read
// the adopted copy: open() takes no snapshot and starts no process, and fails
// with the keeper's last error when no copy has been adopted yet, or when the
// file has been unreachable for longer than the outage grace. An Incomplete
// latest attempt does not make open() fail (the adopted copy is whole); the
// keeper tries again by itself after kRetryAfterIncompleteMs.
//
// An outage (the file missing, not a file, its folder or share not
// answering) is bridged for kOutageGraceMs: the adopted copy stays readable,
// and the keeper tries again by itself, 1 s after the first failure and then
// twice as long each time, up to kLongestUnreachableRetryMs. Each adopted
// copy is also kept in the user's cache folder with its source path, so that
// the next run can start from it at once (adoptKeptCopy), before the file has
// answered; an outage then counts from its first attempt.
//
// Typical use on the user-interface thread: at start refreshAndWait() and
// adopt(); for each poll refresh(), and when refreshed() comes, adopt() and
// read. Not thread-safe; everything happens on the thread that owns it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "db/Database.h"
#include "db/file/PrivateFile.h"
#include "db/worker/WorkerProcess.h"

class QSocketNotifier;

namespace db {

class LocalCopy : public QObject {
  Q_OBJECT

 public:
  // The outcome of the latest attempt.
  enum class State {
    None,         // no attempt since the source was set
    Current,      // the newest complete copy is the file's content now
    Incomplete,   // the file is being written or is not whole; a retry follows by itself
    Unreachable,  // the file, its folder or the share did not answer (or the worker failed)
  };

  // How long after an Incomplete outcome the keeper tries again. An attempt
  // on a file still being written ends at its first change, so the attempt
  // that takes the finished export starts at most this long after the writer
  // ends, and the export is copied about a quiet time after that.
  static constexpr int kRetryAfterIncompleteMs = 1000;
  // A file refused as not whole again with the same content (an export cut
  // short by a crash stays so until the next export) is tried half as often
  // at each refusal, down to once in this time; other outcomes, or other
  // content, bring back kRetryAfterIncompleteMs.
  static constexpr int kLongestRetryMs = 32000;
  // No new attempt starts while this many killed workers have not ended yet
  // (they hang in the kernel on a share that does not answer).
  static constexpr int kMaxHangingWorkers = 4;
  // How long the adopted copy stands in for a file that cannot be reached.
  // Tests shorten it through ZOVA_TEST_OUTAGE_GRACE_MS.
  static constexpr int kOutageGraceMs = 15 * 60 * 1000;
  // The pauses between two attempts while the file cannot be reached: the
  // first, doubled at each failure up to the longest.
  static constexpr int kFirstUnreachableRetryMs = 1000;
  static constexpr int kLongestUnreachableRetryMs = 15000;

  explicit LocalCopy(QObject* parent = nullptr);
  // Ends a running attempt (its worker is killed, not waited for) and lets go
  // of the copies; copies still open in connections go when those close.
  ~LocalCopy() override;

  // The real database file. A new source ends a running attempt and drops
  // the old copies (state None); the same source again changes nothing.
  // Read connections use the keeper they are opened with
  // (db::Connection::open(const LocalCopy&)).
  void setSource(const QString& file);
  QString source() const { return m_source; }

  // Starts one attempt in the background; refreshed() follows when it has
  // ended (also when it could not even start). Asked for while one runs, a
  // new attempt follows that one at once (unless the file was unreachable:
  // the pauses between retries stay).
  void refresh();
  // One attempt, waiting up to the deadline (for the first load at start).
  // When an attempt runs already, waits for that one instead. Returns the
  // state; refreshed() is emitted only for attempts that ran in the background.
  // `waitMs` below the deadline leaves an attempt that has not ended by then
  // running in the background (refreshed() follows); the state is then None.
  State refreshAndWait(int waitMs = -1);
  bool isRefreshing() const { return m_attemptCopy != nullptr; }

  State state() const { return m_state; }
  // Why the latest attempt was Incomplete or Unreachable (names the file).
  QString lastError() const { return m_lastError; }
  // Why the latest attempt failed, as far as a caller may act on it:
  // Error::Kind::NoAnswer when the file gave no answer within the deadline.
  Error::Kind lastFailure() const { return m_lastFailure; }

  // True when a complete copy newer than the adopted one is waiting.
  bool hasNewerCopy() const { return m_newest && m_newest != m_adopted; }
  // The newest complete copy becomes the one read connections open; true when
  // that changed the adopted copy.
  bool adopt();
  // The adopted copy's path, empty when none.
  QString adoptedFile() const { return m_adopted ? m_adopted->path() : QString(); }

  // True while the adopted copy stands in for the file: the file has not
  // answered since the outage began, and that was less than the outage
  // grace ago.
  bool bridgingOutage() const;
  // This PC's moment (zdt::now) at which the outage being bridged began;
  // 0 when none is bridged.
  double outageSince() const { return bridgingOutage() ? m_outageSince : 0; }
  // Whether each adopted copy is also kept in the cache folder (off by
  // default: tools that only look write nothing).
  void setKeepsCopies(bool on) { m_keepsCopies = on; }
  // Adopts the copy kept from an earlier run of the same source, when there
  // is one and none is adopted yet, so that a start shows it at once; the
  // next attempt decides whether the file answers (an outage then counts
  // from that attempt). True when it was adopted.
  bool adoptKeptCopy();

  // The adopted copy for a read connection to hold while it is open; throws
  // db::Error (the last error) when the latest attempt found the file
  // unreachable, or when no copy has been adopted.
  SharedFile readableCopy() const;

 signals:
  // After every attempt in the background, whatever its outcome; also after
  // the keeper's own retries.
  void refreshed();

 private:
  bool beginAttempt();
  void answerArrived();
  void deadlinePassed();
  void timeOut(bool announce);
  void stopWatching();
  void endAttempt(State state, const QString& message, bool announce, Error::Kind failure = Error::Kind::Other);
  void takeOutcome(bool announce);
  void abandonAttempt();
  void keepAdoptedCopy() const;
  void setOutage(bool on);

  QString m_source;
  WorkerProcess m_worker;
  State m_state = State::None;
  QString m_lastError;
  Error::Kind m_lastFailure = Error::Kind::Other;
  QByteArray m_newestHash;
  SharedFile m_newest;
  SharedFile m_adopted;
  std::shared_ptr<PrivateFile> m_attemptCopy;  // the file the running attempt may write
  QSocketNotifier* m_answerNotifier = nullptr;
  QTimer m_deadline;
  QTimer m_retry;
  int m_retryMs = kRetryAfterIncompleteMs;
  QByteArray m_refusedHash;  // content of the last file refused as not whole
  QElapsedTimer m_attemptClock;
  QElapsedTimer m_outage;     // runs while an outage is bridged
  double m_outageSince = 0;   // its start on this PC's clock, for the status line
  int m_unreachableRetryMs = kFirstUnreachableRetryMs;
  bool m_keepsCopies = false;
  bool m_refreshAgain = false;  // refresh() was asked for during an attempt
};

}  // namespace db
